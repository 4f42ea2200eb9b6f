// The slideshow job as Start builds it: inputs, parameter string, container row, output record
// and name, and the log lines of its failures.

#include "app/SlideshowJob.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
class SlideshowJob : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        WriteTestJpeg(temp_.File("a.jpg"), 64, 48, [](int x, int) { return std::uint32_t(x * 3) << 8; });
        settings_.Pictures = {temp_.File("a.jpg")};
        settings_.OutDir = temp_.File("out");
        std::filesystem::create_directory(settings_.OutDir);
    }
    TTempDir temp_;
    TSlideshowSettings settings_;
    TFFEncoder encoder_;
};
} // namespace

TEST_F(SlideshowJob, TaskHasTheFrameInputTheSoundtrackAndTheContainersOutputRecord) {
    WriteTestWav(temp_.File("music.wav"), 0.5);
    settings_.FrameSize = "640x480";
    settings_.FrameRate = "25:1";
    settings_.Audio = temp_.File("music.wav");
    TSlideshowJob job(encoder_);
    std::vector<std::string> log;
    job.OnLog = [&](const std::string& line) { log.push_back(line); };
    job.PrepareSequencer(settings_);
    EXPECT_EQ(job.Sequencer.FrameWidth, 640);
    EXPECT_EQ(job.Sequencer.FrameHeight, 480);
    EXPECT_EQ(job.Sequencer.HoldFrames, 125);
    EXPECT_EQ(job.Sequencer.TransitionFrames, 50);
    ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
    ASSERT_EQ(encoder_.TaskCount(), 1);
    TFFmpeg& task = encoder_.Task(job.TaskIndex());
    EXPECT_EQ(task.InputCount(), 2);
    EXPECT_TRUE(job.WithSoundtrack());
    EXPECT_EQ(job.OutputFile(), settings_.OutDir + "/slideshow-_(new).mp4");
    const TOutputOptions& out = task.OutputRecord(0);
    EXPECT_EQ(out.VideoCodec, "mpeg4");
    EXPECT_EQ(out.AudioCodec, "aac");
    EXPECT_EQ(out.FrameRate, "25/1");
    EXPECT_EQ(out.FrameSize, "640x480");
    EXPECT_EQ(out.AudioChannels, 2);
    EXPECT_EQ(out.AudioSampleRate, 44100);
    EXPECT_EQ(out.VideoBitrate, 768000);
    EXPECT_EQ(task.InputRecord(0).FileFormat, "frameinput");
    // The parameter string names this job's adapter with the rate and size of the frame input.
    std::string params = task.InputRecord(0).FileName;
    EXPECT_EQ(params, "a=" + std::to_string(job.Adapter.Id()) + ";r=25/1;s=640*480;bpp=32;t=Canvas");
    // Both inputs' information texts went to the log, each after an empty line.
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "");
    EXPECT_NE(log[1].find("Format Name: frameinput"), std::string::npos) << log[1];
    EXPECT_NE(log[3].find("Format Name: wav"), std::string::npos) << log[3];
    EXPECT_NE(log[3].find("Audio: pcm_s16le"), std::string::npos) << log[3];
}

TEST_F(SlideshowJob, SwfLeavesTheVideoCodecToTheContainerAndAMissingSoundtrackIsSkipped) {
    settings_.Format = "swf";
    settings_.Audio = temp_.File("gone.wav");
    settings_.AudioChannels = 1;
    settings_.AudioSampleRate = 0;
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
    TFFmpeg& task = encoder_.Task(job.TaskIndex());
    EXPECT_EQ(task.InputCount(), 1);
    EXPECT_FALSE(job.WithSoundtrack());
    EXPECT_EQ(task.OutputRecord(0).VideoCodec, "");
    EXPECT_EQ(task.OutputRecord(0).AudioCodec, "libmp3lame");
    EXPECT_EQ(task.OutputRecord(0).AudioChannels, 1);
    EXPECT_EQ(job.OutputFile(), settings_.OutDir + "/slideshow-_(new).swf");
}

TEST_F(SlideshowJob, AFrameSizeWithoutDigitsFailsToOpenWithTheFailureLinesAndNoTask) {
    settings_.FrameSize = "abc";
    TSlideshowJob job(encoder_);
    std::vector<std::string> log;
    job.OnLog = [&](const std::string& line) { log.push_back(line); };
    job.PrepareSequencer(settings_);
    EXPECT_EQ(job.Sequencer.FrameWidth, 320);
    EXPECT_EQ(job.Sequencer.FrameHeight, 320);
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(encoder_.TaskCount(), 0);
    EXPECT_EQ(job.LastError.rfind("File open error: ", 0), 0u) << job.LastError;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "");
    EXPECT_EQ(log[1], "***" + job.LastError);
    EXPECT_EQ(log[2], "");
}

TEST_F(SlideshowJob, AnOutputThatCannotBeSetRemovesTheTask) {
    settings_.OutDir = temp_.File("no/such/folder");
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(job.LastError.rfind("Cannot do convert, error: ", 0), 0u) << job.LastError;
    EXPECT_EQ(encoder_.TaskCount(), 0);
}
