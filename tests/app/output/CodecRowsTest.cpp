// The rows of today's codecs: their place after the classic rows, their encoder options, and
// the sizes and qualities they refuse.

#include "app/output/CodecOptions.h"
#include "app/output/FirstRunChoices.h"
#include "app/SlideshowJob.h"
#include "app/window/WindowTexts.h"

#include <gtest/gtest.h>

namespace {

bool Has(const std::string& lines, const std::string& line) {
    return ("\n" + lines + "\n").find("\n" + line + "\n") != std::string::npos;
}

TEST(CodecRows, FollowTheClassicRowsAndAreFoundByListAndCommandLineName) {
    const char* classic[] = {"mp4", "swf", "flv", "wmv", "mov"};
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(ContainerAt(i)->Name, classic[i]);
    const char* names[][3] = {{"mp4 (H.264)", "mp4-h264", "libx264"},
                              {"mp4 (H.265)", "mp4-hevc", "libx265"},
                              {"webm (VP9)", "webm-vp9", "libvpx-vp9"},
                              {"webm (AV1)", "webm-av1", "libsvtav1"}};
    for (int i = 0; i < 4; ++i) {
        const TContainerRow* row = ContainerAt(5 + i);
        ASSERT_NE(row, nullptr);
        EXPECT_STREQ(row->Name, names[i][0]);
        EXPECT_EQ(FindContainer(names[i][1]), row);
        EXPECT_EQ(FindContainer(names[i][0]), row);
        EXPECT_STREQ(row->VideoCodec, names[i][2]);
        EXPECT_STREQ(row->AudioCodec, i < 2 ? "aac" : "libopus");
    }
    EXPECT_EQ(ContainerAt(9), nullptr);
    EXPECT_EQ(ContainerAt(-1), nullptr);
}

// The choices of a first run name a row, a size and a rate the window's lists hold, at the
// positions the settings file stores; the command line's size list is the window's.
TEST(CodecRows, FirstRunChoicesAreRowsAndSizesOfTheLists) {
    const TContainerRow* row = ContainerAt(first_run::FormatPosition);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->Option, first_run::FormatOption);
    EXPECT_STREQ(row->Name, first_run::FormatRow);
    EXPECT_EQ(window_texts::Formats.at(first_run::FormatPosition), first_run::FormatRow);
    QStringList sizes;
    for (const char* size : FrameSizeNames)
        sizes << size;
    EXPECT_EQ(sizes, window_texts::VideoSizes);
    EXPECT_TRUE(window_texts::VideoSizes.contains(first_run::FrameSize));
    EXPECT_EQ(QString(first_run::FrameSize), QString("%1x%2").arg(first_run::Width).arg(first_run::Height));
    EXPECT_TRUE(window_texts::FrameRates.contains(first_run::FrameRate));
    EXPECT_EQ(QString(first_run::FrameRate), QString("%1:%2").arg(first_run::FrameRateNum).arg(first_run::FrameRateDen));
    EXPECT_EQ(FrameSizeRefusal(first_run::FormatOption, first_run::FrameSize), "");
}

TEST(CodecRows, H264LevelFitsTheFrameSizeAndRate) {
    EXPECT_EQ(H264LevelFor(1280, 720, 30), 31);
    EXPECT_EQ(H264LevelFor(1920, 1080, 30), 40);
    EXPECT_EQ(H264LevelFor(1080, 1920, 30), 40);
    EXPECT_EQ(H264LevelFor(1920, 1080, 60), 42);
    EXPECT_EQ(H264LevelFor(2560, 1440, 30), 50);
    EXPECT_EQ(H264LevelFor(3840, 2160, 30), 51);
    EXPECT_EQ(H264LevelFor(3840, 2160, 60), 52);
    EXPECT_EQ(H264LevelFor(128, 96, 30), 10);
    EXPECT_EQ(H264LevelFor(320, 240, 30), 13);
    // Long thin frames break the side limit before the area limit: 5000x16 needs level 5.
    EXPECT_EQ(H264LevelFor(5000, 16, 1), 50);
}

TEST(CodecRows, OutputOptionsFollowTheQualityChoice) {
    TSlideshowSettings s;
    s.FrameSize = "1920x1080";
    s.AudioSampleRate = 44100;
    const TContainerRow& h264 = *FindContainer("mp4-h264");
    TOutputOptions out = SlideshowOutputOptions(s, h264);
    EXPECT_EQ(out.VideoCodec, "libx264");
    EXPECT_LE(out.VideoBitrate, 0) << "constant quality sets no bit rate";
    EXPECT_TRUE(Has(out.ExtOptions, "crf=23")) << out.ExtOptions;
    EXPECT_TRUE(Has(out.ExtOptions, "preset=medium")) << out.ExtOptions;
    EXPECT_TRUE(Has(out.ExtOptions, "vlevel=40")) << out.ExtOptions;
    EXPECT_TRUE(Has(out.ExtOptions, "movflags=+faststart")) << out.ExtOptions;
    EXPECT_EQ(out.AudioSampleRate, 44100);

    s.Crf = 18;
    s.Preset = spFast;
    out = SlideshowOutputOptions(s, h264);
    EXPECT_TRUE(Has(out.ExtOptions, "crf=18")) << out.ExtOptions;
    EXPECT_TRUE(Has(out.ExtOptions, "preset=veryfast")) << out.ExtOptions;

    // Quality 0 is lossless, which High refuses: the profile that allows it comes after High's.
    EXPECT_EQ(out.ExtOptions.find("vprofile=144"), std::string::npos) << out.ExtOptions;
    s.Crf = 0;
    out = SlideshowOutputOptions(s, h264);
    EXPECT_TRUE(Has(out.ExtOptions, "crf=0")) << out.ExtOptions;
    EXPECT_GT(out.ExtOptions.find("vprofile=144"), out.ExtOptions.find("vprofile=100")) << out.ExtOptions;
    EXPECT_NE(out.ExtOptions.find("vprofile=144"), std::string::npos) << out.ExtOptions;
    EXPECT_EQ(SlideshowOutputOptions(s, *FindContainer("mp4-hevc")).ExtOptions.find("vprofile"), std::string::npos);

    s.ConstantQuality = false;
    s.VideoBitRate = 2000000;
    out = SlideshowOutputOptions(s, h264);
    EXPECT_EQ(out.VideoBitrate, 2000000);
    EXPECT_EQ(out.ExtOptions.find("crf="), std::string::npos) << out.ExtOptions;

    out = SlideshowOutputOptions(s, *FindContainer("mp4-hevc"));
    EXPECT_EQ(out.VideoTag, "hvc1");
    out = SlideshowOutputOptions(TSlideshowSettings{}, *FindContainer("webm-vp9"));
    EXPECT_EQ(out.AudioSampleRate, 48000) << "Opus takes no 44100";
    EXPECT_TRUE(Has(out.ExtOptions, "row-mt=1")) << out.ExtOptions;
    // The classic rows keep their bit rate and get none of this.
    out = SlideshowOutputOptions(TSlideshowSettings{}, *FindContainer("mp4"));
    EXPECT_EQ(out.VideoBitrate, 768000);
    EXPECT_EQ(out.ExtOptions.find("crf"), std::string::npos);
    EXPECT_EQ(out.VideoTag, "");
}

TEST(CodecRows, OddSizesAndQualitiesOutOfRangeAreRefusedWithTheReason) {
    const TContainerRow& h264 = *FindContainer("mp4-h264");
    EXPECT_EQ(FrameSizeProblem(h264, 1920, 1080), "");
    EXPECT_EQ(FrameSizeProblem(h264, 321, 240), "the frame size 321x240 has an odd width: H.264 needs an even width and height");
    EXPECT_NE(FrameSizeProblem(*FindContainer("webm-av1"), 320, 241).find("odd height"), std::string::npos);
    EXPECT_EQ(FrameSizeProblem(*FindContainer("mp4"), 321, 241), "") << "MPEG-4 part 2 takes odd sizes";
    EXPECT_EQ(QualityProblem(h264, -1), "") << "the row's default";
    EXPECT_EQ(QualityProblem(h264, 51), "");
    EXPECT_NE(QualityProblem(h264, 52).find("0 to 51"), std::string::npos);
    EXPECT_EQ(QualityProblem(*FindContainer("webm-vp9"), 63), "");
}

} // namespace
