#include "frameinput/FrameInputParams.h"
#include "TestSupport.h"

namespace {
class FrameInputParams : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadLibraries(); }

    TFrameInputParams Parse(const std::string& text) {
        TFrameInputParams p;
        std::string error;
        EXPECT_EQ(ParseFrameInputParams(text, p, error), 0) << text << ": " << error;
        return p;
    }
    // The code and log text of a string that fails to parse or validate.
    std::pair<int, std::string> Failure(const std::string& text) {
        TFrameInputParams p;
        std::string error;
        int rc = ParseFrameInputParams(text, p, error);
        if (rc == 0)
            rc = ValidateFrameInputParams(p, error);
        return {rc, error};
    }
};

TEST_F(FrameInputParams, LongAndShortKeysInAnyCaseGiveTheSameValues) {
    TFrameInputParams a = Parse("ADAPTER=5;FrameRate=25/2;framesize=640*480;BitsPerPixel=24;InputType=data");
    TFrameInputParams b = Parse("a=5;R=25/2;s=640*480;BPP=24;t=DATA");
    for (const TFrameInputParams& p : {a, b}) {
        EXPECT_EQ(p.AdapterId, 5);
        EXPECT_EQ(p.TimeBase.num, 2);  // the rate turned over
        EXPECT_EQ(p.TimeBase.den, 25);
        EXPECT_EQ(p.Width, 640);
        EXPECT_EQ(p.Height, 480);
        EXPECT_EQ(p.BitsPerPixel, 24);
        EXPECT_EQ(p.InputType, itData);
    }
}

TEST_F(FrameInputParams, DefaultsOverridesUnknownKeysAndEmptyItems) {
    TFrameInputParams p = Parse("");
    EXPECT_EQ(p.InputType, itYUV);
    EXPECT_EQ(p.PixelFormat, AV_PIX_FMT_YUV420P);

    p = Parse(";;a=1;colour=blue;flag;;a=7;t=canvas;t=dc;");
    EXPECT_EQ(p.AdapterId, 7);
    EXPECT_EQ(p.InputType, itDC);

    EXPECT_EQ(Parse("t=CANVAS").InputType, itCanvas);
    EXPECT_EQ(Parse("t=Data").InputType, itData);
    EXPECT_EQ(Parse("t=rgb").InputType, itYUV);
    EXPECT_EQ(Parse("t").InputType, itYUV);
}

TEST_F(FrameInputParams, RateAndSizeAcceptTheWindowSeparators) {
    TFrameInputParams colon = Parse("r=30:1;s=320x240");
    TFrameInputParams slash = Parse("r=30/1;s=320*240");
    EXPECT_EQ(colon.TimeBase.num, 1);
    EXPECT_EQ(colon.TimeBase.den, 30);
    EXPECT_EQ(slash.TimeBase.num, 1);
    EXPECT_EQ(slash.TimeBase.den, 30);
    EXPECT_EQ(colon.Width, 320);
    EXPECT_EQ(colon.Height, 240);
    EXPECT_EQ(slash.Width, 320);
    EXPECT_EQ(slash.Height, 240);
    // Only the first separator is converted.
    EXPECT_EQ(Failure("s=320xx240").first, AVERROR(EINVAL));
}

TEST_F(FrameInputParams, NumbersThatDoNotReadAsIntegersAreInvalidArguments) {
    for (const char* text : {"a=abc", "r=30", "r=/1", "s=320", "s=320*", "bpp=3 2", "a=99999999999", "a"}) {
        auto [rc, error] = Failure(text);
        EXPECT_EQ(rc, AVERROR(EINVAL)) << text;
        EXPECT_NE(error.find("is not a valid integer value"), std::string::npos) << text << ": " << error;
    }
    EXPECT_EQ(Parse("a= 12 ").AdapterId, 12);
    EXPECT_EQ(Parse("a=-3").AdapterId, -3);
}

TEST_F(FrameInputParams, PixelFormatNamesAreLookedUpLowerCased) {
    EXPECT_EQ(Parse("pf=YUV420P").PixelFormat, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(Parse("pf=Nv12").PixelFormat, AV_PIX_FMT_NV12);
    // An unknown name fails at once, before any other check.
    auto [rc, error] = Failure("a=0;r=0/1;pf=nosuchformat");
    EXPECT_EQ(rc, AVERROR(EINVAL));
    EXPECT_EQ(error, "Unknown pixel format requested\n");
}

TEST_F(FrameInputParams, ChecksRunInOrderWithTheirMessages) {
    const struct {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"a=0;r=30/1;s=320*240;bpp=32;t=Canvas", "Invalid FrameInputAdapter\n"},
        {"r=0/1;s=0*0;bpp=3;t=dc", "Invalid FrameInputAdapter\n"},
        {"a=1;r=0/1;s=0*0;bpp=3;t=dc", "Invalid frame rate\n"},
        {"a=1;r=30/0;s=320*240", "Invalid frame rate\n"},
        {"a=1;r=-30/1;s=320*240", "Invalid frame rate\n"},
        {"a=1;r=30/1;s=0x240;bpp=3;t=dc", "Invalid frame size\n"},
        {"a=1;r=30/1;s=320x-1", "Invalid frame size\n"},
        {"a=1;r=30/1;s=320x240;bpp=12;t=dc", "Invalid BitsPerPixel\n"},
        {"a=1;r=30/1;s=320x240;t=canvas", "Invalid BitsPerPixel\n"},
        {"a=1;r=30/1;s=40000x40000;bpp=32;t=canvas", "Invalid frame size\n"},
    };
    for (const auto& c : cases) {
        auto [rc, error] = Failure(c.Text);
        EXPECT_EQ(rc, AVERROR(EINVAL)) << c.Text;
        EXPECT_EQ(error, c.Message) << c.Text;
    }
}

TEST_F(FrameInputParams, BitmapTypesTakeThePixelFormatOfTheirDepth) {
    const struct {
        int Bits;
        AVPixelFormat Format;
    } rows[] = {{8, AV_PIX_FMT_PAL8}, {16, AV_PIX_FMT_RGB555LE}, {24, AV_PIX_FMT_BGR24}, {32, AV_PIX_FMT_BGRA}};
    for (const auto& row : rows) {
        TFrameInputParams p = Parse("a=1;r=30/1;s=8*8;pf=nv12;t=data;bpp=" + std::to_string(row.Bits));
        std::string error;
        ASSERT_EQ(ValidateFrameInputParams(p, error), 0) << error;
        EXPECT_EQ(p.PixelFormat, row.Format) << row.Bits;
    }
    // The YUV type keeps its own format and does not check the depth.
    TFrameInputParams yuv = Parse("a=1;r=30/1;s=8*8;bpp=12;t=yuv;pf=nv12");
    std::string error;
    ASSERT_EQ(ValidateFrameInputParams(yuv, error), 0) << error;
    EXPECT_EQ(yuv.PixelFormat, AV_PIX_FMT_NV12);
}

TEST_F(FrameInputParams, ApplicationStringReadsBack) {
    std::string text = FrameInputParamString(42, "30:1", "320x240");
    EXPECT_EQ(text, "a=42;r=30/1;s=320*240;bpp=32;t=Canvas");
    TFrameInputParams p = Parse(text);
    EXPECT_EQ(p.AdapterId, 42);
    EXPECT_EQ(p.TimeBase.den, 30);
    EXPECT_EQ(p.Width, 320);
    EXPECT_EQ(p.InputType, itCanvas);
    EXPECT_EQ(PaddedLineSize(3, 24), 12);
    EXPECT_EQ(PaddedLineSize(5, 8), 8);
    EXPECT_EQ(PaddedLineSize(320, 32), 1280);
}
} // namespace
