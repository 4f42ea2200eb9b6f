// The music's choices in the document and the project file: several soundtracks reach the job in
// their order, the loop, fades and loudness come back from a saved project, and bad values are
// refused with their place.

#include "app/document/ProjectFile.h"
#include "app/document/SlideshowDocument.h"
#include "app/soundtrack/SoundtrackBuilder.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
std::string ErrorOf(const std::string& output) {
    const std::string text = "{\"format\": \"pixaroll-project\", \"version\": 1, \"output\": {" + output + "}}";
    TSlideshowData data;
    std::string error;
    EXPECT_FALSE(ReadProjectText(text, "/tmp", data, error)) << text;
    return error;
}
} // namespace

TEST(MusicChoices, SeveralSoundtracksReachTheJobInTheirOrder) {
    TSlideshowSettings settings;
    settings.Pictures = {"a.jpg"};
    settings.Audio = "one.mp3";
    settings.MoreAudio = {"two.flac", "three.wav"};
    const TSlideshowDocument doc = TSlideshowDocument::FromSettings(settings);
    ASSERT_EQ(doc.Soundtracks().size(), 3u);
    EXPECT_EQ(doc.Soundtracks()[2].File, "three.wav");
    EXPECT_TRUE(doc.Output().MoreAudio.empty()) << "inside the document the soundtracks hold them";
    const TSlideshowSettings job = doc.SettingsForJob();
    EXPECT_EQ(job.Audio, "one.mp3");
    EXPECT_EQ(job.MoreAudio, (std::vector<std::string>{"two.flac", "three.wav"}));
    EXPECT_TRUE(job == settings);
}

TEST(MusicChoices, TheProjectStoresTheMusicsChoicesAndRefusesBadOnes) {
    TTempDir dir;
    TSlideshowData data;
    data.Slides.push_back(PlainSlide(dir.File("a.jpg")));
    data.Soundtracks = {{dir.File("one.mp3")}, {dir.File("two.flac")}};
    const std::string file = dir.File("show.pixaroll");
    std::string error;
    // None chosen: the file holds none of their keys, and reads back as it was.
    ASSERT_TRUE(SaveProject(file, data, error)) << error;
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    for (const char* key : {"loopMusic", "fadeIn", "fadeOut", "loudness"})
        EXPECT_EQ(text.find(key), std::string::npos) << key;

    data.Output.LoopMusic = true;
    data.Output.FadeInSeconds = 1.5;
    for (double fadeOut : {FadeOutAuto, 2.25}) {
        data.Output.FadeOutSeconds = fadeOut;
        data.Output.Loudness = -14.5;
        ASSERT_TRUE(SaveProject(file, data, error)) << error;
        TSlideshowData back;
        ASSERT_TRUE(LoadProject(file, back, error)) << error;
        EXPECT_TRUE(back == data);
        EXPECT_EQ(back.Output.FadeOutSeconds, fadeOut);
        EXPECT_EQ(back.Soundtracks.size(), 2u);
    }

    EXPECT_EQ(ErrorOf("\"loopMusic\": 1").rfind("output.loopMusic:", 0), 0u);
    EXPECT_EQ(ErrorOf("\"fadeIn\": -1").rfind("output.fadeIn:", 0), 0u);
    EXPECT_EQ(ErrorOf("\"fadeIn\": \"2\"").rfind("output.fadeIn:", 0), 0u);
    EXPECT_EQ(ErrorOf("\"fadeOut\": \"soon\"").rfind("output.fadeOut:", 0), 0u);
    EXPECT_EQ(ErrorOf("\"fadeOut\": 100000").rfind("output.fadeOut:", 0), 0u);
    EXPECT_EQ(ErrorOf("\"loudness\": 3").rfind("output.loudness:", 0), 0u);
    EXPECT_EQ(ErrorOf("\"loudness\": \"loud\"").rfind("output.loudness:", 0), 0u);
}
