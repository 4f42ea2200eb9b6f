// Motion in project files: the run's style and zoom, a slide's own style and rectangles; absent
// keys give the defaults, wrong values are refused with their place.

#include "app/document/ProjectFile.h"

#include <gtest/gtest.h>

namespace {
const std::string Head = "{\n  \"format\": \"pixaroll-project\",\n  \"version\": 1,\n";

std::string ErrorOf(const std::string& text) {
    TSlideshowData data;
    std::string error;
    EXPECT_FALSE(ReadProjectText(text, "/tmp", data, error)) << text;
    return error;
}
} // namespace

TEST(MotionProjectTest, MotionChoicesComeBackAndDefaultWhenAbsent) {
    TSlideshowData data;
    data.Output.Motion = TMotionStyle::Pan;
    data.Output.Zoom = 1.4;
    data.Slides.push_back(PlainSlide("/tmp/a.jpg"));
    data.Slides.push_back(PlainSlide("/tmp/b.jpg"));
    data.Slides[1].Motion.Style = TMotionStyle::Rects;
    data.Slides[1].Motion.Start = {0.1, 0.2, 0.5, 0.4};
    data.Slides[1].Motion.End = {0.25, 0.5, 0.75, 0.5};
    TSlideshowData again;
    std::string error;
    ASSERT_TRUE(ReadProjectText(ProjectText(data, "/tmp"), "/tmp", again, error)) << error;
    EXPECT_EQ(again.Output.Motion, TMotionStyle::Pan);
    EXPECT_DOUBLE_EQ(again.Output.Zoom, 1.4);
    EXPECT_EQ(again.Slides, data.Slides);
    EXPECT_TRUE(again.Slides[0].IsPlain()); // a slide without motion of its own writes none

    ASSERT_TRUE(ReadProjectText(Head + "\"slides\": [{\"picture\": \"a.jpg\", \"motion\": {}}] }", "/tmp", again, error)) << error;
    EXPECT_EQ(again.Output.Motion, TMotionStyle::Off);
    EXPECT_DOUBLE_EQ(again.Output.Zoom, DefaultMotionZoom);
    EXPECT_FALSE(again.Slides[0].Motion.Style);
}

TEST(MotionProjectTest, WrongMotionValuesAreRefusedWithTheirPlace) {
    EXPECT_EQ(ErrorOf(Head + "\"output\": {\"motion\": \"wobble\"} }").rfind("output.motion:", 0), 0u);
    EXPECT_EQ(ErrorOf(Head + "\"output\": {\"motion\": \"rects\"} }").rfind("output.motion:", 0), 0u);
    EXPECT_EQ(ErrorOf(Head + "\"output\": {\"zoom\": 0.9} }").rfind("output.zoom:", 0), 0u);
    EXPECT_EQ(ErrorOf(Head + "\"output\": {\"zoom\": \"1.2\"} }").rfind("output.zoom:", 0), 0u);
    const std::string slide = Head + "\"slides\": [{\"picture\": \"a.jpg\", \"motion\": ";
    EXPECT_EQ(ErrorOf(slide + "7}] }").rfind("slides[0].motion:", 0), 0u);
    EXPECT_EQ(ErrorOf(slide + "{\"style\": \"spin\"}}] }").rfind("slides[0].motion.style:", 0), 0u);
    for (const char* rect : {"[0, 0, 1]", "[0, 0, 0, 1]", "[0.5, 0, 0.6, 1]", "[-0.1, 0, 0.5, 0.5]", "\"all\""})
        EXPECT_EQ(ErrorOf(slide + "{\"start\": " + rect + "}}] }").rfind("slides[0].motion.start:", 0), 0u) << rect;
    EXPECT_EQ(ErrorOf(slide + "{\"end\": [0, 0, 1, 2]}}] }").rfind("slides[0].motion.end:", 0), 0u);
}
