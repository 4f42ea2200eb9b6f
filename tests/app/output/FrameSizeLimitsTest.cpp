// The frame size as Start reads it, and the sizes each container row's encoder refuses before
// any frame bitmap is made.

#include "app/output/ContainerTable.h"
#include "app/output/FrameSizeLimits.h"

#include <gtest/gtest.h>

void PrintTo(const TFrameSize& s, std::ostream* os) { *os << s.Width << "x" << s.Height; }

namespace {
TFrameSize Size(int w, int h) { return {w, h}; }

TEST(FrameSize, StartReadsTheNumbersAroundTheFirstX) {
    EXPECT_EQ(SlideshowFrameSize("640x480"), Size(640, 480));
    EXPECT_EQ(SlideshowFrameSize("abc"), Size(320, 320));
    EXPECT_EQ(SlideshowFrameSize("500x"), Size(500, 320));
    EXPECT_EQ(SlideshowFrameSize("x7"), Size(320, 7));
    EXPECT_EQ(SlideshowFrameSize("1x2x3"), Size(1, 320)); // "2x3" is no number
    EXPECT_EQ(SlideshowFrameSize("-5x10"), Size(-5, 10));
    EXPECT_EQ(SlideshowFrameSize("99999999999x5"), Size(320, 5)); // beyond an int
    EXPECT_EQ(SlideshowFrameSize(" 64x48"), Size(320, 48));
}

TEST(FrameSizeLimits, EveryContainerRowHasItsEncodersLimits) {
    for (const TContainerRow& row : Containers)
        EXPECT_NE(FindFrameSizeLimits(row.Name), nullptr) << row.Name;
    EXPECT_EQ(FindFrameSizeLimits("avi"), nullptr);
}

TEST(FrameSizeLimits, SizesNoEncoderTakesAreRefusedForEveryRow) {
    for (const TContainerRow& row : Containers) {
        SCOPED_TRACE(row.Name);
        for (const char* size : {"100000x100000", "40000x40000", "16384x16384"})
            EXPECT_NE(FrameSizeRefusal(row.Name, size).find("too large"), std::string::npos) << size;
        for (const char* size : {"0x0", "-5x10", "10x0", "640x-1"})
            EXPECT_NE(FrameSizeRefusal(row.Name, size).find("must be above 0"), std::string::npos) << size;
        EXPECT_EQ(FrameSizeRefusal(row.Name, "320x240"), "");
        EXPECT_EQ(FrameSizeRefusal(row.Name, "1280x960"), "");
        // No number at all: the slideshow draws 320 x 320 and the frame input refuses the text.
        EXPECT_EQ(FrameSizeRefusal(row.Name, "abc"), "");
    }
    // Without a row of limits only the limits of every encoder apply.
    EXPECT_EQ(FrameSizeRefusal("avi", "7x5"), "");
    EXPECT_NE(FrameSizeRefusal("avi", "40000x40000"), "");
}

TEST(FrameSizeLimits, EachEncodersOwnLimits) {
    // MPEG-4 writes each side in 13 bits.
    for (const char* row : {"mp4", "mov"}) {
        EXPECT_EQ(FrameSizeRefusal(row, "8191x16"), "") << row;
        EXPECT_EQ(FrameSizeRefusal(row, "16x8191"), "") << row;
        EXPECT_EQ(FrameSizeRefusal(row, "8192x16"),
                  "the frame size 8192x16 is too large for the mpeg4 encoder (at most 8191 on each side)")
            << row;
        EXPECT_NE(FrameSizeRefusal(row, "16x8192"), "") << row;
    }
    EXPECT_EQ(FrameSizeRefusal("mp4", "7x5"), "");
    // FLV1 in 16 bits; a long narrow frame passes the size check of every encoder.
    EXPECT_EQ(FrameSizeRefusal("flv", "65535x16"), "");
    EXPECT_NE(FrameSizeRefusal("swf", "65536x16").find("flv1 encoder (at most 65535"), std::string::npos);
    // WMV2 needs an even width only.
    EXPECT_EQ(FrameSizeRefusal("wmv", "7x5"),
              "the frame size 7x5 cannot be encoded by wmv2: the width must be a multiple of 2");
    EXPECT_EQ(FrameSizeRefusal("wmv", "8x5"), "");
    EXPECT_EQ(FrameSizeRefusal("wmv", "20000x8"), "");
}

// As measured with the encoders themselves (CodecRenderTest encodes the smallest of each).
TEST(FrameSizeLimits, TodaysCodecRowsRefuseWhatTheirEncodersRefuse) {
    for (const char* row : {"mp4-h264", "webm-vp9"}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(FrameSizeRefusal(row, "2x2"), "");
        EXPECT_EQ(FrameSizeRefusal(row, "16384x2"), "");
        EXPECT_EQ(FrameSizeRefusal(row, "2x16384"), "");
        EXPECT_NE(FrameSizeRefusal(row, "16386x2").find("(at most 16384 on each side)"), std::string::npos);
        EXPECT_NE(FrameSizeRefusal(row, "2x16386").find("(at most 16384 on each side)"), std::string::npos);
        EXPECT_NE(FrameSizeRefusal(row, "65536x2"), "");
    }
    EXPECT_EQ(FrameSizeRefusal("mp4-hevc", "16x16"), "");
    EXPECT_EQ(FrameSizeRefusal("mp4-hevc", "4216x16"), "");
    EXPECT_EQ(FrameSizeRefusal("mp4-hevc", "30x4216"), "");
    EXPECT_EQ(FrameSizeRefusal("mp4-hevc", "65536x32"), "");
    EXPECT_EQ(FrameSizeRefusal("mp4-hevc", "4218x30"),
              "the frame size 4218x30 is too large for the libx265 encoder (a side below 32 allows at most 4216 on the other)");
    EXPECT_NE(FrameSizeRefusal("mp4-hevc", "16x65536"), "");
    for (const char* size : {"2x2", "14x64", "64x14", "65536x2"})
        EXPECT_NE(FrameSizeRefusal("mp4-hevc", size).find("too small for the libx265 encoder (at least 16 on each side)"),
                  std::string::npos)
            << size;
    EXPECT_EQ(FrameSizeRefusal("webm-av1", "64x64"), "");
    EXPECT_EQ(FrameSizeRefusal("webm-av1", "16384x64"), "");
    EXPECT_EQ(FrameSizeRefusal("webm-av1", "64x8704"), "");
    for (const char* size : {"2x2", "62x64", "64x62", "65536x2"})
        EXPECT_NE(FrameSizeRefusal("webm-av1", size).find("too small for the libsvtav1 encoder (at least 64"),
                  std::string::npos)
            << size;
    for (const char* size : {"16386x64", "64x8706", "16386x8706"})
        EXPECT_EQ(FrameSizeRefusal("webm-av1", size), "the frame size " + std::string(size) +
                                                          " is too large for the libsvtav1 encoder (at most 16384 "
                                                          "wide and 8704 high)")
            << size;
}

TEST(FrameSizeLimits, ARowNeedingEvenSidesRefusesOddOnes) {
    const TFrameSizeLimits even{"h264", "libx264", 0, 2, 2};
    EXPECT_NE(FrameSizeRefusal(&even, 7, 5).find("width must be a multiple of 2"), std::string::npos);
    EXPECT_NE(FrameSizeRefusal(&even, 8, 5).find("height must be a multiple of 2"), std::string::npos);
    EXPECT_EQ(FrameSizeRefusal(&even, 8, 6), "");
    EXPECT_NE(FrameSizeRefusal(&even, 0, 6), "");
}
} // namespace
