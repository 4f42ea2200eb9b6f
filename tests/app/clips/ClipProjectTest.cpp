// A clip slide's in and out points and sound choice in the project file.

#include "app/document/ProjectFile.h"

#include <gtest/gtest.h>

namespace {
const std::string Head = "{\"format\": \"pixaroll-project\", \"version\": 1, \"slides\": [ {\"picture\": \"a.jpg\"}, ";

std::string ErrorOf(const std::string& clip) {
    TSlideshowData data;
    std::string error;
    EXPECT_FALSE(ReadProjectText(Head + "{\"picture\": \"c.mp4\", \"clip\": " + clip + "} ] }", "/p", data, error)) << clip;
    return error;
}
} // namespace

TEST(ClipProject, InOutAndSoundComeBackAndDefaultsStayOut) {
    TSlideshowData data;
    TSlide clip = PlainSlide("/p/c.mp4");
    clip.Clip.In = 1.5;
    clip.Clip.Out = 4.25;
    clip.Clip.Sound = TClipSound::Alone;
    TSlide muted = PlainSlide("/p/d.mov");
    muted.Clip.Sound = TClipSound::Mute;
    data.Slides = {PlainSlide("/p/a.jpg"), clip, muted, PlainSlide("/p/e.mkv")};
    const std::string text = ProjectText(data, "/p");
    TSlideshowData back;
    std::string error;
    ASSERT_TRUE(ReadProjectText(text, "/p", back, error)) << error;
    EXPECT_EQ(back.Slides, data.Slides);
    // A slide at the defaults writes no clip object.
    std::size_t objects = 0;
    for (std::size_t p = text.find("\"clip\""); p != std::string::npos; p = text.find("\"clip\"", p + 1))
        ++objects;
    EXPECT_EQ(objects, 2u);

    ASSERT_TRUE(ReadProjectText(Head + "{\"picture\": \"c.mp4\", \"clip\": {}} ] }", "/p", back, error)) << error;
    EXPECT_EQ(back.Slides[1].Clip, TSlideClip{});
}

TEST(ClipProject, BadValuesAreRefusedWithTheirPlace) {
    EXPECT_EQ(ErrorOf("{\"in\": -1}").rfind("slides[1].clip.in:", 0), 0u) << ErrorOf("{\"in\": -1}");
    EXPECT_EQ(ErrorOf("{\"in\": \"soon\"}").rfind("slides[1].clip.in:", 0), 0u);
    EXPECT_EQ(ErrorOf("{\"out\": 1e9}").rfind("slides[1].clip.out:", 0), 0u);
    EXPECT_EQ(ErrorOf("{\"in\": 3, \"out\": 2}").rfind("slides[1].clip.out:", 0), 0u);
    EXPECT_EQ(ErrorOf("{\"sound\": \"loud\"}").rfind("slides[1].clip.sound:", 0), 0u);
    EXPECT_EQ(ErrorOf("{\"sound\": 1}").rfind("slides[1].clip.sound:", 0), 0u);
    EXPECT_EQ(ErrorOf("[1]").rfind("slides[1].clip:", 0), 0u);
}
