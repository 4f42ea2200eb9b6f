// The option vocabulary: values that are refused with their messages, values that are taken,
// and the settings they leave behind.

#include "tests/engine/EngineTestSupport.h"
#include "medialib/FFLog.h"

#include <gtest/gtest.h>

TEST(EngineOptions, RefusedValuesRaiseTheirMessages) {
    TCustomFFmpeg job(1);
    const struct {
        const char* Name;
        const char* Value;
        const char* Message;
    } cases[] = {
        {"qscale", "0", "qscale must be > 0.0 and <= 255"},
        {"qscale", "256", "qscale must be > 0.0 and <= 255"},
        {"pass", "3", "pass number can be only 1 or 2"},
        {"r", "fast", "Incorrect frame rate"},
        {"s", "big", "Incorrect frame size"},
        {"aspect", "4:0", "Incorrect aspect ratio specification."},
        {"pix_fmt", "nosuchformat", "Unknown pixel format requested: nosuchformat"},
        {"sample_fmt", "nosuchformat", "Invalid sample format \"nosuchformat\""},
        {"croptop", "10", "Removed, use the crop filter instead"},
        {"padcolor", "000000", "Removed, use the pad filter instead"},
        {"vtag", "abc", "tag parameter must be 4 chars or int value"},
        {"streamid", "3", "Invalid value \"3\" for option \"streamid\", required syntax is \"index:value\""},
        {"streamid", "20:5", "stream index over MAX_STREAMS(20)"},
        {"streamid", "-1:5", "stream index over MAX_STREAMS(20)"},
        {"itsscale", "25:1.5", "stream index over MAX_STREAMS(20)"},
        {"intra_matrix", "8,9,10", "Syntax error in matrix \"8,9,10\" at coeff 2"},
        {"metadata", "title", "Missing ="},
        {"metadata", "=x", "wrong parameter of metadata"},
        {"ss", "soon", "Invalid duration specification for ss: soon"},
        {"timestamp", "someday", "Invalid date specification for timestamp: someday"},
        {"newvideo", "", "At least one output file must be specified"},
        {"threads", "two", "'two' is not a valid integer value"},
        {"muxdelay", "1,5", "'1,5' is not a valid floating point value"},
        {"vbsf", "nosuchfilter", "Unknown bitstream filter nosuchfilter"},
        {"nosuchoption", "1", "Unrecognized option \"nosuchoption\""},
        {"g", "many", "Invalid value \"many\" for option \"g\""},
        {"target", "pal-laserdisc", "Unknown target type"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OptionError(job, c.Name, c.Value), c.Message) << c.Name << " " << c.Value;
}

TEST(EngineOptions, TakenValuesLandInTheSettings) {
    TCustomFFmpeg job(1);
    const TJobSettings& s = job.Settings();
    job.ApplyOption("vtag", "mp4v");
    EXPECT_EQ(s.VideoTag, uint32_t('m' | 'p' << 8 | '4' << 16 | 'v' << 24));
    job.ApplyOption("atag", "123");
    EXPECT_EQ(s.AudioTag, 123u);
    job.ApplyOption("ac", "0");
    job.ApplyOption("ar", "-5");
    EXPECT_EQ(s.AudioChannels, 2);
    EXPECT_EQ(s.AudioSampleRate, 44100);
    job.ApplyOption("qscale", "255");
    EXPECT_EQ(s.VideoQScale, 255.0f);
    job.ApplyOption("r", "30000/1001");
    EXPECT_EQ(s.FrameRate.num, 30000);
    EXPECT_EQ(s.FrameRate.den, 1001);
    job.ApplyOption("s", "320x240");
    EXPECT_EQ(s.FrameWidth, 320);
    EXPECT_EQ(s.FrameHeight, 240);
    job.ApplyOption("aspect", "16:9");
    EXPECT_DOUBLE_EQ(s.FrameAspectRatio, 16.0 / 9.0);
    job.ApplyOption("ss", "1.5");
    EXPECT_EQ(s.StartTime, 1500000);
    job.ApplyOption("t", "00:01:02");
    EXPECT_EQ(s.RecordingTime, 62000000);
    EXPECT_EQ(job.ExpectedDuration(), 62000000);
    job.ApplyOption("map", "1:0:0:2");
    ASSERT_EQ(s.StreamMaps.size(), 1u);
    EXPECT_EQ(s.StreamMaps[0].File, 1);
    EXPECT_EQ(s.StreamMaps[0].SyncStream, 2);
    job.ApplyOption("map", "0.1");
    EXPECT_EQ(s.StreamMaps[1].SyncFile, 0);
    EXPECT_EQ(s.StreamMaps[1].SyncStream, 1);
    job.ApplyOption("streamid", "19:7");
    ASSERT_EQ(s.StreamIds.count(19), 1u) << "the last stream index is taken";
    EXPECT_EQ(s.StreamIds.at(19), 7);
    job.ApplyOption("vcodec", "copy");
    EXPECT_TRUE(s.VideoStreamCopy);
    EXPECT_EQ(s.VideoCodecName, "");
    job.ApplyOption("vcodec", "mpeg4");
    EXPECT_FALSE(s.VideoStreamCopy);
    EXPECT_EQ(s.VideoCodecName, "mpeg4");
}

TEST(EngineOptions, BooleansAreOffOnlyForZero) {
    TCustomFFmpeg job(1);
    for (const char* on : {"1", "yes", ""}) {
        job.ApplyOption("shortest", "0");
        EXPECT_FALSE(job.Settings().Shortest);
        job.ApplyOption("shortest", on);
        EXPECT_TRUE(job.Settings().Shortest) << '"' << on << '"';
    }
}

TEST(EngineOptions, LowBitRateWarnsButIsKept) {
    {
        TLogCapture log;
        TCustomFFmpeg job(1);
        job.ApplyOption("b", "500");
        EXPECT_TRUE(log.Contains("WARNING: The bitrate parameter is set too low"));
    }
    TLogCapture quiet;
    TCustomFFmpeg other(1);
    other.ApplyOption("vb", "768000");
    EXPECT_FALSE(quiet.Contains("bitrate parameter is set too low"));
}

TEST(EngineOptions, RejectedGenericOptionRaisesOnlyWithTheRaiseFlag) {
    TCustomFFmpeg job(1);
    job.RaiseOnOptionError = false;
    EXPECT_NO_THROW(job.ApplyOption("nosuchoption", "1"));
    job.RaiseOnOptionError = true;
    EXPECT_THROW(job.ApplyOption("nosuchoption", "1"), FFmpegException);
}

TEST(EngineOptions, CapacityMustBeWithinOneTo512) {
    EXPECT_THROW(TCustomFFmpeg(0), std::logic_error);
    EXPECT_THROW(TCustomFFmpeg(513), std::logic_error);
    EXPECT_NO_THROW(TCustomFFmpeg(1));
    EXPECT_NO_THROW(TCustomFFmpeg(512));
}

TEST(EngineOptions, LogLevelSetsTheLoggersThresholdByNameOrNumber) {
    TCustomFFmpeg job(1);
    const struct {
        const char* Value;
        TLogLevel Level;
        int FFmpegLevel;
    } cases[] = {{"error", llError, 16}, {"Debug", llDebug, 48}, {"40", llVerbose, 40}, {"quiet", llQuiet, -8}};
    for (const auto& c : cases) {
        job.ApplyOption("loglevel", c.Value);
        EXPECT_EQ(GetFFLogger().LogLevel(), c.Level) << c.Value;
        EXPECT_EQ(ff::av_log_get_level(), c.FFmpegLevel) << c.Value;
    }
    EXPECT_THROW(job.ApplyOption("loglevel", "loud"), FFmpegException);
    GetFFLogger().SetLogLevel(llQuiet);
}
