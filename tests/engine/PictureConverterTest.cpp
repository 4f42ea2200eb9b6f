// The frame input's pictures converted to planar 4:2:0 YUV: studio-range values of the
// ITU-R BT.601 matrix for known colours, chroma averaged over each 2x2 block.

#include "engine/FFPtr.h"
#include "engine/PictureConverter.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {
TFramePtr Picture(int w, int h, AVPixelFormat format) {
    TFramePtr f = NewFrame();
    f->width = w;
    f->height = h;
    f->format = format;
    EXPECT_GE(ff::av_frame_get_buffer(f.get(), 0), 0);
    return f;
}

void Put(AVFrame* f, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = f->data[0] + y * f->linesize[0] + x * 4;
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = 0x5A; // the fourth byte means nothing
}
} // namespace

TEST(EnginePictureConverter, KnownColoursGiveStudioRangeValues) {
    const struct {
        uint8_t R, G, B;
        int Y, U, V;
    } colours[] = {
        {255, 255, 255, 235, 128, 128}, {0, 0, 0, 16, 128, 128},   {255, 0, 0, 82, 90, 240},
        {0, 255, 0, 145, 54, 34},       {0, 0, 255, 41, 240, 110}, {128, 128, 128, 126, 128, 128},
    };
    for (const auto& c : colours) {
        TFramePtr in = Picture(2, 2, AV_PIX_FMT_BGRA);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                Put(in.get(), x, y, c.R, c.G, c.B);
        TFramePtr out = Picture(2, 2, AV_PIX_FMT_YUV420P);
        ASSERT_TRUE(FastConversionApplies(in.get(), 2, 2, AV_PIX_FMT_YUV420P));
        ConvertBgraToYuv420p(in.get(), out.get());
        SCOPED_TRACE(testing::Message() << int(c.R) << "," << int(c.G) << "," << int(c.B));
        EXPECT_NEAR(out->data[0][0], c.Y, 1);
        EXPECT_NEAR(out->data[0][out->linesize[0] + 1], c.Y, 1);
        EXPECT_NEAR(out->data[1][0], c.U, 1);
        EXPECT_NEAR(out->data[2][0], c.V, 1);
    }
}

TEST(EnginePictureConverter, ChromaIsTheMeanOfEachBlockAndLumaStaysPerPixel) {
    TFramePtr in = Picture(4, 2, AV_PIX_FMT_BGRA);
    // Left block: two white and two black pixels; right block: all blue.
    Put(in.get(), 0, 0, 255, 255, 255);
    Put(in.get(), 1, 0, 0, 0, 0);
    Put(in.get(), 0, 1, 0, 0, 0);
    Put(in.get(), 1, 1, 255, 255, 255);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x)
            Put(in.get(), x, y, 0, 0, 255);
    TFramePtr out = Picture(4, 2, AV_PIX_FMT_YUV420P);
    ConvertBgraToYuv420p(in.get(), out.get());
    EXPECT_EQ(out->data[0][0], 235);
    EXPECT_EQ(out->data[0][1], 16);
    EXPECT_EQ(out->data[0][out->linesize[0]], 16);
    EXPECT_NEAR(out->data[0][2], 41, 1);
    EXPECT_EQ(out->data[1][0], 128); // grey on average
    EXPECT_EQ(out->data[2][0], 128);
    EXPECT_NEAR(out->data[1][1], 240, 1);
    EXPECT_NEAR(out->data[2][1], 110, 1);
}

TEST(EnginePictureConverter, OnlyEvenSameSizeBgraToYuv420pIsTaken) {
    TFramePtr in = Picture(4, 2, AV_PIX_FMT_BGRA);
    EXPECT_FALSE(FastConversionApplies(in.get(), 2, 2, AV_PIX_FMT_YUV420P)); // scaling
    EXPECT_FALSE(FastConversionApplies(in.get(), 4, 2, AV_PIX_FMT_YUV422P)); // other format
    TFramePtr odd = Picture(3, 2, AV_PIX_FMT_BGRA);
    EXPECT_FALSE(FastConversionApplies(odd.get(), 3, 2, AV_PIX_FMT_YUV420P));
    TFramePtr rgb = Picture(4, 2, AV_PIX_FMT_RGBA);
    EXPECT_FALSE(FastConversionApplies(rgb.get(), 4, 2, AV_PIX_FMT_YUV420P));
}

// Where the processor's vector units convert sixteen pixels at a time, every value equals the
// plain conversion's: over noise, at widths that leave a remainder, and with padded rows.
TEST(EnginePictureConverter, VectorRowsGiveTheSameValuesAsThePlainOnes) {
    std::uint32_t state = 12345;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    for (int w : {2, 16, 34, 1922}) {
        SCOPED_TRACE(w);
        TFramePtr in = Picture(w, 6, AV_PIX_FMT_BGR0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t r = next() >> 8;
                // Extremes as well as noise: the sums must not overflow anywhere.
                const int kind = x % 7;
                Put(in.get(), x, y, kind == 0 ? 255 : std::uint8_t(r), kind == 0 ? 255 : std::uint8_t(r >> 8),
                    kind == 1 ? 0 : std::uint8_t(r >> 16));
            }
        TFramePtr fast = Picture(w, 6, AV_PIX_FMT_YUV420P), plain = Picture(w, 6, AV_PIX_FMT_YUV420P);
        ConvertBgraToYuv420p(in.get(), fast.get());
        ConvertBgraToYuv420p(in.get(), plain.get(), false);
        for (int p = 0; p < 3; ++p) {
            const int pw = p ? w / 2 : w, ph = p ? 3 : 6;
            for (int y = 0; y < ph; ++y)
                for (int x = 0; x < pw; ++x)
                    ASSERT_EQ(fast->data[p][y * fast->linesize[p] + x], plain->data[p][y * plain->linesize[p] + x])
                        << "plane " << p << " at " << x << "," << y;
        }
    }
}
