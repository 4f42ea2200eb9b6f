#include "medialib/FormatConverter.h"
#include "TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {
struct TFrameFree {
    void operator()(AVFrame* f) const { ff::av_frame_free(&f); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;

TFramePtr MakeFrame(AVPixelFormat format, int width, int height, int align = 32) {
    TFramePtr frame(ff::av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(ff::av_frame_get_buffer(frame.get(), align), 0);
    return frame;
}

void FillYuv(AVFrame* f, int y, int u, int v) {
    for (int r = 0; r < f->height; ++r)
        std::memset(f->data[0] + r * f->linesize[0], y, f->width);
    for (int r = 0; r < f->height / 2; ++r) {
        std::memset(f->data[1] + r * f->linesize[1], u, f->width / 2);
        std::memset(f->data[2] + r * f->linesize[2], v, f->width / 2);
    }
}

class FormatConverter : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadLibraries(); }
    TFormatConverter converter_;
};

TEST_F(FormatConverter, LayoutsFollowTheBitsTable) {
    EXPECT_EQ(converter_.BitsPixel(), 24);
    EXPECT_EQ(converter_.BitmapPixelFormat(), AV_PIX_FMT_BGR24);
    converter_.SetBitsPixel(15);
    EXPECT_EQ(converter_.BitmapPixelFormat(), AV_PIX_FMT_BGR555LE);
    converter_.SetBitsPixel(16);
    EXPECT_EQ(converter_.BitmapPixelFormat(), AV_PIX_FMT_BGR565LE);
    converter_.SetBitsPixel(8);
    EXPECT_EQ(converter_.BitmapPixelFormat(), AV_PIX_FMT_BGR8);
    converter_.SetBitsPixel(32);
    EXPECT_EQ(converter_.BitmapPixelFormat(), AV_PIX_FMT_BGRA);
    try {
        converter_.SetBitsPixel(12);
        FAIL() << "12 bits accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Invalid BitsPixel 12");
    }
    EXPECT_EQ(converter_.BitsPixel(), 32);
}

TEST_F(FormatConverter, CopiesNeedAConvertedPicture) {
    EXPECT_THROW(converter_.CopyToBitmap(), std::logic_error);
    EXPECT_THROW(converter_.CopyFromBitmap(), std::logic_error);
    TPicture target;
    EXPECT_THROW(converter_.FromRGB(target, AV_PIX_FMT_YUV420P, 2, 2), std::logic_error);
}

TEST_F(FormatConverter, PictureInTheBitmapLayoutIsUsedWithoutConversion) {
    // 8 pixels of BGR24 are 24 bytes a row: already a multiple of 32 bits.
    TFramePtr frame = MakeFrame(AV_PIX_FMT_BGR24, 8, 4, 4);
    ASSERT_EQ(frame->linesize[0], 24);
    frame->data[0][2 * 24 + 3 * 3 + 2] = 0x77; // red of pixel (3, 2)
    ASSERT_TRUE(converter_.ToRGB(frame.get(), true));
    EXPECT_TRUE(converter_.PictureIsCallers());
    EXPECT_EQ(converter_.ConvertedPicture().Data[0], nullptr);
    EXPECT_EQ(converter_.BitmapInfo().Bits, frame->data[0]);
    EXPECT_EQ(converter_.BitmapBits()[2 * 24 + 3 * 3 + 2], 0x77);
    // Drawing on the bitmap reaches the frame without a scaler.
    converter_.BitmapBits()[0] = 0x11;
    converter_.CopyFromBitmap();
    EXPECT_TRUE(converter_.FromRGB(frame.get()));
    EXPECT_EQ(frame->data[0][0], 0x11);
}

TEST_F(FormatConverter, OddWidthsAndOtherFormatsAreConverted) {
    TFramePtr odd = MakeFrame(AV_PIX_FMT_BGR24, 7, 4, 4);
    ASSERT_TRUE(converter_.ToRGB(odd.get(), false));
    EXPECT_FALSE(converter_.PictureIsCallers());
    EXPECT_EQ(converter_.BitmapStride(), 24); // 21 bytes padded

    TFramePtr yuv = MakeFrame(AV_PIX_FMT_YUV420P, 16, 8);
    FillYuv(yuv.get(), 235, 128, 128); // studio white
    ASSERT_TRUE(converter_.ToRGB(yuv.get(), true));
    EXPECT_FALSE(converter_.PictureIsCallers());
    EXPECT_EQ(converter_.BitmapInfo().Width, 16);
    EXPECT_EQ(converter_.BitmapInfo().WidthBytes, 48);
    const std::uint8_t* mid = converter_.BitmapBits() + 5 * converter_.BitmapStride() + 9 * 3;
    EXPECT_GE(mid[0], 250);
    EXPECT_GE(mid[1], 250);
    EXPECT_GE(mid[2], 250);
    FillYuv(yuv.get(), 16, 128, 128); // studio black
    ASSERT_TRUE(converter_.ToRGB(yuv.get(), true));
    EXPECT_LE(mid[0], 5);
    EXPECT_LE(mid[2], 5);
}

TEST_F(FormatConverter, TheDescriptionGivesTheBitsAPixelTakesInMemory) {
    TFramePtr yuv = MakeFrame(AV_PIX_FMT_YUV420P, 16, 8);
    FillYuv(yuv.get(), 128, 128, 128);
    const struct {
        int Bits, MemoryBits;
    } layouts[] = {{15, 16}, {16, 16}, {8, 8}, {32, 32}};
    for (const auto& layout : layouts) {
        converter_.SetBitsPixel(layout.Bits);
        ASSERT_TRUE(converter_.ToRGB(yuv.get(), true)) << layout.Bits;
        EXPECT_EQ(converter_.BitmapInfo().BitsPixel, layout.MemoryBits) << layout.Bits;
        EXPECT_EQ(converter_.BitmapInfo().WidthBytes, 16 * layout.MemoryBits / 8) << layout.Bits;
        EXPECT_EQ(converter_.BitmapInfo().Planes, 1);
    }
}

TEST_F(FormatConverter, BgraRoundTripThroughYuv420pKeepsTheColours) {
    converter_.SetBitsPixel(32);
    const int w = 32, h = 16;
    TFramePtr yuv = MakeFrame(AV_PIX_FMT_YUV420P, w, h);
    FillYuv(yuv.get(), 16, 128, 128);
    ASSERT_TRUE(converter_.ToRGB(yuv.get(), false));
    ASSERT_EQ(converter_.BitmapStride(), w * 4);
    // Four flat quadrants, so chroma subsampling loses nothing away from the seams.
    auto colourAt = [](int x, int y) -> std::uint32_t {
        static const std::uint32_t quad[4] = {0x00C83C28, 0x0028B450, 0x003C50DC, 0x00D2D2D2};
        return quad[(y >= 8) * 2 + (x >= 16)];
    };
    auto* bits = reinterpret_cast<std::uint32_t*>(converter_.BitmapBits());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bits[y * w + x] = colourAt(x, y);
    converter_.CopyFromBitmap();
    ASSERT_TRUE(converter_.FromRGB(yuv.get()));

    std::fill(bits, bits + w * h, 0u);
    ASSERT_TRUE(converter_.ToRGB(yuv.get(), true));
    for (auto [x, y] : {std::pair{4, 3}, std::pair{24, 2}, std::pair{5, 12}, std::pair{27, 13}}) {
        std::uint32_t want = colourAt(x, y), got = bits[y * w + x];
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((got >> shift) & 0xFF), int((want >> shift) & 0xFF), 4)
                << "pixel " << x << "," << y << " byte " << shift / 8;
    }
}
} // namespace
