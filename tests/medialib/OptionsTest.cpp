#include "medialib/FFLoad.h"
#include "medialib/FFOptions.h"
#include "tests/medialib/LogCollector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
class OptionsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FFLoader().LibraryPath.clear();
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    }
    void SetUp() override { GetFFLogger().SetLogLevel(llInfo); }

    struct TCodecFree {
        void operator()(AVCodecContext* c) const { ff::avcodec_free_context(&c); }
    };
    using TCodecPtr = std::unique_ptr<AVCodecContext, TCodecFree>;
    static TCodecPtr Encoder(const char* name) {
        const AVCodec* codec = ff::avcodec_find_encoder_by_name(name);
        return TCodecPtr(codec ? ff::avcodec_alloc_context3(codec) : nullptr);
    }
};
} // namespace

TEST_F(OptionsTest, KnownNamesAreSetPerMediaTypeAndTheFirstLetterSelectsATypeWhenNeeded) {
    TOptionContext ctx;
    ASSERT_TRUE(SetGenericOption(ctx, "b", "1000000")) << OptionErrorMsg();
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_VIDEO)->bit_rate, 1000000);
    ASSERT_TRUE(SetGenericOption(ctx, "ab", "96000")) << OptionErrorMsg();
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_AUDIO)->bit_rate, 96000);
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_VIDEO)->bit_rate, 1000000) << "\"ab\" must not reach the video context";
    ASSERT_TRUE(SetGenericOption(ctx, "g", "25"));
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_VIDEO)->gop_size, 25);
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_AUDIO)->gop_size, 12) << "a video-only option stays off the audio context";
    ASSERT_TRUE(SetGenericOption(ctx, "ag", "7")) << "known nowhere: the first letter picks the audio context";
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_AUDIO)->gop_size, 7);
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_VIDEO)->gop_size, 25);
    ASSERT_TRUE(SetGenericOption(ctx, "probesize", "5000000")); // format context
    EXPECT_EQ(ctx.Format()->probesize, 5000000);
    ASSERT_TRUE(SetGenericOption(ctx, "sws_flags", "bilinear")); // scaler context
    ASSERT_TRUE(SetGenericOption(ctx, "crf", "23")) << "a codec's private option is accepted";
    ASSERT_TRUE(SetGenericOption(ctx, "movflags", "+faststart")) << "a muxer's private option is accepted";

    std::vector<std::string> names;
    for (const auto& r : ctx.Recorded())
        names.push_back(r.Name + "=" + r.Value.value_or("*"));
    EXPECT_THAT(names, ::testing::ElementsAre("b=*", "ab=*", "g=*", "g=*", "probesize=*", "sws_flags=*", "crf=23",
                                              "movflags=+faststart"));
}

TEST_F(OptionsTest, RejectionsGiveTheExactTextsAndRecordNothing) {
    TOptionContext ctx;
    TLogCollector log;
    EXPECT_FALSE(SetGenericOption(ctx, "nosuchoption", "1"));
    EXPECT_EQ(OptionErrorMsg(), "Unrecognized option \"nosuchoption\"");
    EXPECT_FALSE(SetGenericOption(ctx, "b", "fast"));
    EXPECT_EQ(OptionErrorMsg(), "Invalid value \"fast\" for option \"b\"");
    EXPECT_FALSE(SetGenericOption(ctx, "ab", "loud"));
    EXPECT_EQ(OptionErrorMsg(), "Invalid value \"loud\" for option \"ab\"");
    // FFmpeg explains a bad value in lines of its own first; ours come after them.
    EXPECT_THAT(log.Texts(), ::testing::IsSupersetOf({"Unrecognized option \"nosuchoption\"",
                                                    "Invalid value \"fast\" for option \"b\"",
                                                    "Invalid value \"loud\" for option \"ab\""}));
    EXPECT_FALSE(SetGenericOption(ctx, "  ", "1"));
    EXPECT_EQ(OptionErrorMsg(), "Invalid value \"loud\" for option \"ab\"") << "a blank name leaves the text";
    EXPECT_TRUE(ctx.Recorded().empty());
}

TEST_F(OptionsTest, DebugOptionRaisesTheLogLevel) {
    TOptionContext ctx;
    ASSERT_TRUE(SetGenericOption(ctx, "debug", "pict"));
    EXPECT_EQ(GetFFLogger().LogLevel(), llDebug);
}

TEST_F(OptionsTest, AppliesRecordedOptionsByKindFlagsAndPrivateClass) {
    TOptionContext ctx;
    ASSERT_TRUE(SetGenericOption(ctx, "b", "1500000"));
    ASSERT_TRUE(SetGenericOption(ctx, "ab", "64000"));
    ASSERT_TRUE(SetGenericOption(ctx, "g", "30"));
    ASSERT_TRUE(SetGenericOption(ctx, "crf", "31"));

    TCodecPtr video = Encoder("libx264");
    if (!video)
        video = Encoder("mpeg4");
    ASSERT_TRUE(video);
    video->codec_type = AVMEDIA_TYPE_VIDEO;
    ApplyGenericOptions(ctx, video.get(), AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM, video->codec);
    EXPECT_EQ(video->bit_rate, 1500000);
    EXPECT_EQ(video->gop_size, 30);
    if (std::string(video->codec->name) == "libx264") {
        char* text = nullptr;
        ASSERT_GE(ff::av_opt_get(video->priv_data, "crf", 0, reinterpret_cast<uint8_t**>(&text)), 0);
        const double crf = std::atof(text);
        ff::av_free(text);
        EXPECT_DOUBLE_EQ(crf, 31);
    }

    TCodecPtr audio = Encoder("aac");
    ASSERT_TRUE(audio);
    ApplyGenericOptions(ctx, audio.get(), AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM, audio->codec);
    EXPECT_EQ(audio->bit_rate, 64000);
    EXPECT_NE(audio->gop_size, 30) << "video-only options stay off an audio target";
}

TEST_F(OptionsTest, TheBitRateWithoutPrefixIsTheVideosAlone) {
    TOptionContext ctx;
    TCodecPtr untouched = Encoder("aac");
    ASSERT_TRUE(untouched);
    ASSERT_TRUE(SetGenericOption(ctx, "b", "3000000"));
    EXPECT_EQ(ctx.Codec(AVMEDIA_TYPE_VIDEO)->bit_rate, 3000000);
    EXPECT_NE(ctx.Codec(AVMEDIA_TYPE_AUDIO)->bit_rate, 3000000);

    TCodecPtr audio = Encoder("aac");
    ApplyGenericOptions(ctx, audio.get(), AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM, audio->codec);
    EXPECT_EQ(audio->bit_rate, untouched->bit_rate) << "the audio encoder keeps its own rate";
    TCodecPtr video = Encoder("mpeg4");
    ASSERT_TRUE(video);
    ApplyGenericOptions(ctx, video.get(), AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM, video->codec);
    EXPECT_EQ(video->bit_rate, 3000000);
}
