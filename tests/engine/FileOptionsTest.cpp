// The input and output records of the encoder component, applied as option settings.

#include "engine/FFmpeg.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

TEST(EngineFileOptions, ExtOptionsTextIsSplitIntoLowerCaseNamesAndValues) {
    std::vector<TExtOption> lines = ParseExtOptions("  Threads=2<CRLF>vcodec=mpeg4\r\nmetadata=title=a=b\r\n\nan  ");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].Name, "threads");
    EXPECT_EQ(lines[0].Value, "2");
    EXPECT_EQ(lines[1].Name, "vcodec");
    EXPECT_EQ(lines[2].Name, "metadata");
    EXPECT_EQ(lines[2].Value, "title=a=b");
    EXPECT_EQ(lines[3].Name, "an");
    EXPECT_EQ(lines[3].Value, "");
}

TEST(EngineFileOptions, OutputExtOptionsApplyAtOnceAndGiveStreamDefaults) {
    TFFmpeg job(2);
    TOutputOptions o;
    o.ExtOptions = "threads=2<CRLF>vcodec=mpeg4";
    o.FrameSize = "96x64";
    o.VideoBitrate = 300000;
    job.ApplyOutputOptions(o);
    EXPECT_EQ(job.Settings().ThreadCount, 2);
    EXPECT_EQ(job.Settings().VideoCodecName, "mpeg4");
    EXPECT_EQ(job.Settings().FrameWidth, 96);
    EXPECT_EQ(job.Settings().VideoSync, -1);
    EXPECT_EQ(job.Settings().AudioChannels, 2); // -1 leaves the setting alone

    TFFmpeg other(1);
    TOutputOptions bad;
    bad.FrameRate = "thirty";
    EXPECT_THROW(other.ApplyOutputOptions(bad), FFmpegException);
}

TEST(EngineFileOptions, SlideshowTaskFromRecordsRendersTheRequestedVideo) {
    TTempDir dir;
    TFFmpeg job(2);
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(128, 96, 25, 10))) << job.LastError;

    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.AudioCodec = "aac";
    out.FrameRate = "25/1";
    out.FrameSize = "64x48";
    out.AudioChannels = 2;
    out.AudioSampleRate = 44100;
    out.VideoBitrate = 768000;
    out.Metadata.Title = "Holiday";
    job.ApplyOutputOptions(out);
    std::string file = dir.File("slideshow-_(new).mp4");
    ASSERT_EQ(job.OpenOutputFile(file), 1) << job.LastError;
    job.ApplyOutputOptionsAfterOpen(0);
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();

    TProbe p = ProbeVideo(file);
    EXPECT_EQ(p.Codec, "mpeg4");
    EXPECT_EQ(p.Width, 64);
    EXPECT_EQ(p.Height, 48);
    EXPECT_EQ(p.FrameRate, "25/1");
    EXPECT_EQ(p.Packets, 10);
    EXPECT_NE(RunCommand("ffprobe -v error -show_entries format_tags=title -of csv=p=0 '" + file + "'").find("Holiday"),
              std::string::npos);
    // No audio input: the container's audio codec gives no stream.
    EXPECT_EQ(RunCommand("ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 '" + file + "'"), "");
}

TEST(EngineFileOptions, NewVideoLinesAddStreamsWithTheirOwnKeys) {
    TTempDir dir;
    TFFmpeg job(1);
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 4)));
    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.FrameRate = "25";
    out.FrameSize = "64x48";
    out.ExtOptions = "vcodec=mjpeg<CRLF>s=32x24<CRLF>newvideo=";
    job.ApplyOutputOptions(out);
    std::string file = dir.File("two.mkv");
    ASSERT_EQ(job.OpenOutputFile(file), 1) << job.LastError;
    job.ApplyOutputOptionsAfterOpen(0);
    ASSERT_EQ(job.OutputContext(0)->nb_streams, 2u);
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    std::string streams =
        RunCommand("ffprobe -v error -show_entries stream=codec_name,width -of csv=p=0 '" + file + "'");
    EXPECT_EQ(streams, "mpeg4,64\nmjpeg,32\n");
}
