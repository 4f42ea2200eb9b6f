// Video clips among the pictures of pixaroll-cli render: the written video read back frame by
// frame, the per-slide clip options, and clips that fail in the middle of a run.

#include "tests/support/AudioAnalysis.h"
#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {
class ClipRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TTempDir;
        std::string error;
        ASSERT_TRUE(MakeTestClip(dir_->File("clip.mp4"), TTestClip{}, error)) << error;
        WriteTestJpeg(dir_->File("a.jpg"), 320, 240, [](int, int) { return 0x2040C0u; });
        WriteTestJpeg(dir_->File("b.jpg"), 320, 240, [](int, int) { return 0xC04020u; });
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        out_ = dir_->File("out-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(out_);
    }
    TRunResult Render(const std::string& clip, const std::string& options = "") {
        return RunCli("render --quiet --pictures " + dir_->File("a.jpg") + " " + clip + " " + dir_->File("b.jpg") +
                      " --out-dir " + out_ + " --format mp4 --size 320x240 --rate 25:1 --hold 1 --transition 0.4 --sequential " + options);
    }
    std::string Output() const { return out_ + "/slideshow-_(new).mp4"; }
    static TTempDir* dir_;
    std::string out_;
};
TTempDir* ClipRender::dir_ = nullptr;

constexpr int FrameBytes = 320 * 240;
} // namespace

TEST_F(ClipRender, ClipFramesPlayInOrderBetweenThePhotos) {
    TRunResult r = Render(dir_->File("clip.mp4"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    // fade-in 10, photo 25 + 10, clip 75 + 10, photo 25 + 10, two black frames.
    const TStreamProbe video = ProbeStream(Output(), "v");
    EXPECT_EQ(video.Packets, 167);
    EXPECT_NEAR(video.End, 167 / 25.0, 0.05);
    TRunResult frames = RunShell("ffmpeg -v error -i '" + Output() + "' -f rawvideo -pix_fmt gray -");
    ASSERT_EQ(frames.Status, 0);
    ASSERT_EQ(frames.Output.size(), std::size_t(167 * FrameBytes));
    const auto* grey = reinterpret_cast<const std::uint8_t*>(frames.Output.data());
    for (int h = 0; h < 75; ++h)
        EXPECT_EQ(ReadClipCounter(grey + std::size_t(45 + h) * FrameBytes, 320, 0, 0, 320, 240), int(std::floor(h * 1.2 + 1e-9)))
            << "hold frame " << h;
}

TEST_F(ClipRender, InAndOutPointsAndTheirMistakes) {
    TRunResult r = Render(dir_->File("clip.mp4"), "--clip-in 2=1 --clip-out 2=2.2 --clip-sound 2=mute");
    ASSERT_EQ(r.Status, 0) << r.Output;
    // The clip plays 1.2 s: 30 frames.
    EXPECT_EQ(ProbeStream(Output(), "v").Packets, 167 - 75 + 30);
    TRunResult frames = RunShell("ffmpeg -v error -i '" + Output() + "' -f rawvideo -pix_fmt gray -");
    const auto* grey = reinterpret_cast<const std::uint8_t*>(frames.Output.data());
    ASSERT_GE(frames.Output.size(), std::size_t(80 * FrameBytes));
    EXPECT_EQ(ReadClipCounter(grey + std::size_t(45) * FrameBytes, 320, 0, 0, 320, 240), 30);

    TRunResult notClip = Render(dir_->File("clip.mp4"), "--clip-in 1=1");
    EXPECT_NE(notClip.Status, 0);
    EXPECT_NE(notClip.Output.find("is no video clip"), std::string::npos) << notClip.Output;
    TRunResult noSlide = Render(dir_->File("clip.mp4"), "--clip-out 9=1");
    EXPECT_NE(noSlide.Status, 0);
    EXPECT_NE(noSlide.Output.find("no slide 9"), std::string::npos) << noSlide.Output;
    TRunResult backwards = Render(dir_->File("clip.mp4"), "--clip-in 2=2 --clip-out 2=1");
    EXPECT_NE(backwards.Status, 0);
    EXPECT_NE(backwards.Output.find("after its in point"), std::string::npos) << backwards.Output;
    TRunResult form = Render(dir_->File("clip.mp4"), "--clip-in 1.5");
    EXPECT_EQ(form.Status, 2) << form.Output;
    // None of the refused runs left a file.
    EXPECT_FALSE(std::filesystem::exists(out_ + "/slideshow-_(new_1).mp4"));
}

// In and out points that leave nothing to play would make the slide no clip at all (read as a
// picture in the middle of the run): refused before anything is written, naming slide and clip.
TEST_F(ClipRender, PointsThatLeaveNothingToPlayAreRefusedBeforeAnythingIsWritten) {
    const std::string clip = dir_->File("clip.mp4"); // 3 s
    for (const char* options : {"--clip-out 2=0", "--clip-in 2=3.5 --clip-out 2=9", "--clip-in 2=3 --clip-out 2=3.5"}) {
        SCOPED_TRACE(options);
        TRunResult r = Render(clip, options);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find("Slide 2: Cannot play clip \"" + clip + "\""), std::string::npos) << r.Output;
        EXPECT_EQ(r.Output.find("JPEG"), std::string::npos) << r.Output;
        EXPECT_TRUE(std::filesystem::is_empty(out_)) << r.Output;
    }
    // The same from a project, for frames as for render.
    const std::string project = dir_->File("out0.pixaroll");
    {
        std::ofstream(project) << R"({"format": "pixaroll-project", "version": 1, "slides": [{"picture": ")" +
                                      dir_->File("a.jpg") + R"("}, {"picture": ")" + clip + R"(", "clip": {"out": 0}}]})";
    }
    for (const std::string& command : {"frames --every 0 --project " + project,
                                       "render --quiet --project " + project + " --out-dir " + out_}) {
        TRunResult r = RunCli(command);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find("Slide 2: Cannot play clip \"" + clip + "\": its out point 0 s leaves nothing to play"),
                  std::string::npos)
            << r.Output;
    }
    EXPECT_TRUE(std::filesystem::is_empty(out_));
}

TEST_F(ClipRender, ClipThatCannotBePlayedIsNamedBeforeAnythingIsWritten) {
    TRunResult made = RunShell("ffmpeg -v error -f lavfi -i sine=duration=1 -c:a aac -y '" + dir_->File("sound.mp4") + "'");
    ASSERT_EQ(made.Status, 0) << made.Output;
    TRunResult r = Render(dir_->File("sound.mp4"));
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Output.find(dir_->File("sound.mp4")), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("no video stream"), std::string::npos) << r.Output;
    EXPECT_TRUE(std::filesystem::is_empty(out_));
}

TEST_F(ClipRender, ClipCutShortEndsTheRunWithItsNameAndTheVideoSoFarPlays) {
    TTestClip mkv;
    mkv.Tone = false;
    std::string error;
    ASSERT_TRUE(MakeTestClip(dir_->File("long.mkv"), mkv, error)) << error;
    const std::string cut = dir_->File("cut.mkv");
    std::filesystem::copy_file(dir_->File("long.mkv"), cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(dir_->File("long.mkv")) / 2);
    TRunResult r = Render(cut);
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Output.find(cut), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("cut short"), std::string::npos) << r.Output;
    // What was written up to the failure is a video that plays: the photo and part of the clip.
    ASSERT_TRUE(std::filesystem::exists(Output())) << r.Output;
    TRunResult frames = RunShell("ffmpeg -v error -i '" + Output() + "' -f rawvideo -pix_fmt gray -");
    EXPECT_EQ(frames.Status, 0);
    EXPECT_GT(frames.Output.size(), std::size_t(50 * FrameBytes));
}

TEST_F(ClipRender, FramesCommandDrawsClipsAndNamesOnesItCannotPlay) {
    TRunResult r = RunCli("frames --pictures " + dir_->File("clip.mp4") + " --size 160x120 --rate 10:1 --hold 1 "
                          "--transition 0.2 --sequential --every 0");
    EXPECT_EQ(r.Status, 0) << r.Output;
    TRunResult bad = RunCli("frames --pictures " + dir_->File("gone.mkv") + " --size 160x120 --every 0");
    EXPECT_NE(bad.Status, 0);
    EXPECT_NE(bad.Output.find(dir_->File("gone.mkv")), std::string::npos) << bad.Output;
    EXPECT_NE(bad.Output.find("Slide 1"), std::string::npos) << bad.Output;
}

// The whole way of a clip's sound: its tone is heard under its hold, over the music, which ducks
// there and comes back after; a muted clip leaves the music alone.
TEST_F(ClipRender, TheClipsToneIsHeardWhileTheMusicDucksUnderIt) {
    const std::string music = dir_->File("music.wav");
    WriteTestWav(music, 10, 44100, 2, 220);
    TRunResult r = Render(dir_->File("clip.mp4"), "--audio " + music);
    ASSERT_EQ(r.Status, 0) << r.Output;
    ASSERT_FALSE(ProbeStream(Output(), "a").Codec.empty());
    constexpr int Rate = 44100;
    const std::vector<float> s = DecodeMono(Output(), Rate);
    // Fade-in 0.4 s, photo 1 s, transition 0.4 s: the clip's hold runs from 1.8 s for 3 s.
    auto level = [&](double frequency, double at) {
        return ToneLevel(s, Rate, frequency, std::llround(at * Rate), Rate / 5);
    };
    const double before = level(220, 1.0), during = level(220, 3.2), after = level(220, 5.6);
    EXPECT_GT(level(1000, 3.2), 0.05) << "the clip's tone under its hold";
    EXPECT_LT(level(1000, 1.0), 0.01) << "no clip sound before the clip";
    EXPECT_NEAR(20 * std::log10(during / before), -12, 2) << before << " " << during;
    EXPECT_NEAR(after / before, 1, 0.15) << "the music comes back after the clip";

    std::filesystem::remove(Output());
    r = Render(dir_->File("clip.mp4"), "--audio " + music + " --clip-sound 2=mute");
    ASSERT_EQ(r.Status, 0) << r.Output;
    const std::vector<float> muted = DecodeMono(Output(), Rate);
    EXPECT_LT(ToneLevel(muted, Rate, 1000, std::llround(3.2 * Rate), Rate / 5), 0.01);
}
