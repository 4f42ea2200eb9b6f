// Block copy, nearest-neighbour stretch, region copy and roll shading.

#include "effects/Primitives.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Every pixel different: the bitmap's tag in the fourth byte, y and x below it.
TFrameBitmap Numbered(int width, int height, std::uint32_t tag) {
    TFrameBitmap bmp(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.SetPixel(x, y, (tag << 24) | (std::uint32_t(y) << 12) | std::uint32_t(x));
    return bmp;
}

std::uint32_t At(std::uint32_t tag, int x, int y) { return (tag << 24) | (std::uint32_t(y) << 12) | std::uint32_t(x); }

// Pixel-by-pixel models of the two block primitives, written from their rules: a destination
// pixel inside the block takes the source pixel its position maps to, if that lies inside the
// source (read as it was before the call).
TFrameBitmap ModelCopy(const TFrameBitmap& display, int x, int y, int w, int h, const TFrameBitmap& source, int sx,
                       int sy) {
    TFrameBitmap out = display;
    for (int Y = 0; Y < out.Height(); ++Y)
        for (int X = 0; X < out.Width(); ++X) {
            if (X < x || X >= x + w || Y < y || Y >= y + h)
                continue;
            const int SX = sx + X - x, SY = sy + Y - y;
            if (SX >= 0 && SX < source.Width() && SY >= 0 && SY < source.Height())
                out.SetPixel(X, Y, source.Pixel(SX, SY));
        }
    return out;
}

// Index along the block of a destination position, or -1 outside it.
int BlockIndex(int pos, int start, int size) {
    const int i = size > 0 ? pos - start : start - pos;
    return i >= 0 && i < std::abs(size) ? i : -1;
}

TFrameBitmap ModelStretch(const TFrameBitmap& display, int x, int y, int w, int h, const TFrameBitmap& source, int sx,
                          int sy, int sw, int sh) {
    TFrameBitmap out = display;
    if (sw <= 0 || sh <= 0)
        return out;
    for (int Y = 0; Y < out.Height(); ++Y)
        for (int X = 0; X < out.Width(); ++X) {
            const int i = BlockIndex(X, x, w), j = BlockIndex(Y, y, h);
            if (i < 0 || j < 0)
                continue;
            const int SX = sx + (2 * i + 1) * sw / (2 * std::abs(w));
            const int SY = sy + (2 * j + 1) * sh / (2 * std::abs(h));
            if (SX >= 0 && SX < source.Width() && SY >= 0 && SY < source.Height())
                out.SetPixel(X, Y, source.Pixel(SX, SY));
        }
    return out;
}

bool SamePixels(const TFrameBitmap& a, const TFrameBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.Pixels(), a.Pixels() + a.Width() * a.Height(), b.Pixels());
}

std::vector<std::uint32_t> RowOf(const TFrameBitmap& bmp, int y) { return {bmp.Row(y), bmp.Row(y) + bmp.Width()}; }

} // namespace

TEST(Copy, ClipsToBothBitmaps) {
    TFrameBitmap display = Numbered(6, 4, 0xA0);
    const TFrameBitmap image = Numbered(6, 4, 0xB0);
    Copy(display, -2, 3, 5, 5, image, 1, 0); // 2 columns off the left, 2 rows off the bottom
    EXPECT_EQ(display.Pixel(0, 3), At(0xB0, 3, 0));
    EXPECT_EQ(display.Pixel(2, 3), At(0xB0, 5, 0)); // source column 6 would be outside
    EXPECT_EQ(display.Pixel(3, 3), At(0xA0, 3, 3));
    EXPECT_EQ(display.Pixel(0, 2), At(0xA0, 0, 2));
    Copy(display, 0, 0, 6, 4, image, -6, 0); // entirely outside the source
    Copy(display, 0, 0, 0, 4, image, 0, 0);
    EXPECT_EQ(display.Pixel(0, 0), At(0xA0, 0, 0));
}

TEST(Copy, WithinTheDisplayReadsTheSourceBeforeWriting) {
    TFrameBitmap d = Numbered(10, 6, 0xA0);
    Copy(d, 3, 0, 7, 6, d, 0, 0); // right, overlapping within each row
    EXPECT_EQ(d.Pixel(3, 2), At(0xA0, 0, 2));
    EXPECT_EQ(d.Pixel(9, 2), At(0xA0, 6, 2));
    EXPECT_EQ(d.Pixel(2, 2), At(0xA0, 2, 2));

    d = Numbered(10, 6, 0xA0);
    Copy(d, 0, 2, 10, 4, d, 0, 0); // down, overlapping rows
    EXPECT_EQ(d.Pixel(4, 5), At(0xA0, 4, 3));
    EXPECT_EQ(d.Pixel(4, 2), At(0xA0, 4, 0));
    EXPECT_EQ(d.Pixel(4, 1), At(0xA0, 4, 1));

    d = Numbered(10, 6, 0xA0);
    Copy(d, 0, 0, 9, 5, d, 1, 1); // up and left
    EXPECT_EQ(d.Pixel(0, 0), At(0xA0, 1, 1));
    EXPECT_EQ(d.Pixel(8, 4), At(0xA0, 9, 5));
}

TEST(Stretch, SamplesPixelCentres) {
    const TFrameBitmap image = Numbered(8, 8, 0xB0);
    TFrameBitmap d = Numbered(8, 8, 0xA0);
    Stretch(d, 0, 0, 4, 1, image, 0, 0, 2, 1); // enlarge 2 -> 4: 0 0 1 1
    EXPECT_EQ(RowOf(d, 0)[0], At(0xB0, 0, 0));
    EXPECT_EQ(RowOf(d, 0)[1], At(0xB0, 0, 0));
    EXPECT_EQ(RowOf(d, 0)[2], At(0xB0, 1, 0));
    EXPECT_EQ(RowOf(d, 0)[3], At(0xB0, 1, 0));
    EXPECT_EQ(RowOf(d, 0)[4], At(0xA0, 4, 0));
    Stretch(d, 0, 1, 2, 1, image, 0, 0, 8, 1); // shrink 8 -> 2: columns 2 and 6
    EXPECT_EQ(d.Pixel(0, 1), At(0xB0, 2, 0));
    EXPECT_EQ(d.Pixel(1, 1), At(0xB0, 6, 0));
    Stretch(d, 0, 2, 3, 3, image, 0, 0, 8, 8); // 8 -> 3: 1, 4, 6 both ways
    EXPECT_EQ(d.Pixel(0, 2), At(0xB0, 1, 1));
    EXPECT_EQ(d.Pixel(1, 3), At(0xB0, 4, 4));
    EXPECT_EQ(d.Pixel(2, 4), At(0xB0, 6, 6));
}

TEST(Stretch, NegativeSizesMirrorFromTheNamedEdge) {
    const TFrameBitmap image = Numbered(8, 8, 0xB0);
    TFrameBitmap d = Numbered(8, 8, 0xA0);
    Stretch(d, 5, 0, -4, 1, image, 0, 0, 4, 1); // columns 2..5, column 5 shows source 0
    EXPECT_EQ(d.Pixel(5, 0), At(0xB0, 0, 0));
    EXPECT_EQ(d.Pixel(2, 0), At(0xB0, 3, 0));
    EXPECT_EQ(d.Pixel(1, 0), At(0xA0, 1, 0));
    EXPECT_EQ(d.Pixel(6, 0), At(0xA0, 6, 0));
    Stretch(d, 0, 7, 1, -2, image, 3, 0, 1, 2); // rows 6..7, row 7 shows source row 0
    EXPECT_EQ(d.Pixel(0, 7), At(0xB0, 3, 0));
    EXPECT_EQ(d.Pixel(0, 6), At(0xB0, 3, 1));
    EXPECT_EQ(d.Pixel(0, 5), At(0xA0, 0, 5));
}

TEST(Stretch, LeavesPixelsWhoseSampleIsOutsideTheSource) {
    const TFrameBitmap image = Numbered(8, 4, 0xB0);
    TFrameBitmap d = Numbered(8, 4, 0xA0);
    Stretch(d, 0, 0, 4, 1, image, -1, 0, 4, 1); // column 0 would sample -1
    EXPECT_EQ(d.Pixel(0, 0), At(0xA0, 0, 0));
    EXPECT_EQ(d.Pixel(1, 0), At(0xB0, 0, 0));
    Stretch(d, 0, 1, 4, 1, image, 0, 0, 0, 1); // zero-size source: nothing
    EXPECT_EQ(d.Pixel(0, 1), At(0xA0, 0, 1));
}

// The optimised primitives (clipping, column tables, row reuse, overlap handling) against the
// models above over many blocks, including blocks reaching outside and the display as source.
TEST(Primitives, MatchThePixelModelsForRandomBlocks) {
    std::mt19937 gen(2024);
    auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    const TFrameBitmap image = Numbered(13, 9, 0xB0);
    for (int n = 0; n < 3000; ++n) {
        TFrameBitmap d = Numbered(13, 9, 0xA0);
        const bool self = n % 3 == 0;
        const TFrameBitmap& source = self ? d : image;
        const int x = coord(-8, 16), y = coord(-8, 12), w = coord(-20, 30), h = coord(-14, 22);
        const int sx = coord(-4, 14), sy = coord(-4, 10), sw = coord(0, 18), sh = coord(0, 12);
        if (n % 2 == 0) {
            const TFrameBitmap expected = ModelStretch(d, x, y, w, h, source, sx, sy, sw, sh);
            Stretch(d, x, y, w, h, source, sx, sy, sw, sh);
            ASSERT_TRUE(SamePixels(d, expected)) << "stretch " << x << "," << y << " " << w << "x" << h << " <- " << sx
                                                 << "," << sy << " " << sw << "x" << sh << (self ? " self" : "");
        } else {
            const TFrameBitmap expected = ModelCopy(d, x, y, w, h, source, sx, sy);
            Copy(d, x, y, w, h, source, sx, sy);
            ASSERT_TRUE(SamePixels(d, expected))
                << "copy " << x << "," << y << " " << w << "x" << h << " <- " << sx << "," << sy << (self ? " self" : "");
        }
    }
}

TEST(Stretch, SqueezesTheDisplayIntoItself) {
    // The push-and-squeeze shapes: the whole frame into a part of itself, both ways and axes.
    struct Case { int x, y, w, h; } cases[] = {{3, 0, 9, 9}, {0, 0, 9, 9}, {0, 4, 13, 5}, {0, 0, 13, 5}, {0, 0, -13, -9}};
    for (const Case& c : cases) {
        TFrameBitmap d = Numbered(13, 9, 0xA0);
        const TFrameBitmap expected = ModelStretch(d, c.x, c.y, c.w, c.h, d, 0, 0, 13, 9);
        Stretch(d, c.x, c.y, c.w, c.h, d, 0, 0, 13, 9);
        EXPECT_TRUE(SamePixels(d, expected)) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    }
}

TEST(ClipAndCopy, CopiesInsideTheRegionOnly) {
    const TFrameBitmap image = Numbered(6, 5, 0xB0);
    TFrameBitmap d = Numbered(6, 5, 0xA0);
    ClipAndCopy(d, image, TRegion());
    EXPECT_TRUE(SamePixels(d, Numbered(6, 5, 0xA0)));
    ClipAndCopy(d, image, TRegion(TRect{4, -3, 10, 2})); // reaches outside the frame
    EXPECT_EQ(d.Pixel(4, 0), At(0xB0, 4, 0));
    EXPECT_EQ(d.Pixel(5, 1), At(0xB0, 5, 1));
    EXPECT_EQ(d.Pixel(3, 1), At(0xA0, 3, 1));
    EXPECT_EQ(d.Pixel(4, 2), At(0xA0, 4, 2));
}

namespace {
TFrameBitmap Grey(int width, int height, std::uint8_t level) {
    TFrameBitmap bmp(width, height);
    bmp.Fill(0x7F000000u | TFrameBitmap::MakePixel(level, level, level));
    return bmp;
}
std::uint32_t GreyPixel(int level) {
    const auto c = std::uint8_t(std::clamp(level, 0, 255));
    return 0x7F000000u | TFrameBitmap::MakePixel(c, c, c);
}
} // namespace

TEST(Shade, ColumnsDarkenTowardsTheEdgesOfTheRoll) {
    // 20 columns, amount 64: half 10 < 64, so steps of 6 every column, turning after column 10.
    TFrameBitmap d = Grey(30, 3, 128);
    ShadeColumns(d, 64, 5, 20);
    EXPECT_EQ(d.Pixel(4, 1), GreyPixel(128));
    EXPECT_EQ(d.Pixel(5, 1), GreyPixel(128 - 64));
    EXPECT_EQ(d.Pixel(6, 1), GreyPixel(128 - 58));
    EXPECT_EQ(d.Pixel(15, 1), GreyPixel(128 - 4)); // k = 10, last rising step
    EXPECT_EQ(d.Pixel(16, 1), GreyPixel(128 - 10));
    EXPECT_EQ(d.Pixel(24, 2), GreyPixel(128 - 58));
    EXPECT_EQ(d.Pixel(25, 1), GreyPixel(128));

    // 60 columns, amount 10: half 30 >= 10, one step every third column, turning at 30.
    d = Grey(60, 1, 20);
    ShadeColumns(d, 10, 0, 60);
    EXPECT_EQ(d.Pixel(2, 0), GreyPixel(10));
    EXPECT_EQ(d.Pixel(3, 0), GreyPixel(11));
    EXPECT_EQ(d.Pixel(29, 0), GreyPixel(19));
    EXPECT_EQ(d.Pixel(30, 0), GreyPixel(18));
    EXPECT_EQ(d.Pixel(59, 0), GreyPixel(9));
}

TEST(Shade, RowsCountFromTheBottomAndClamp) {
    // 20 rows, amount 64: the turn point is 10 for rows, so the top row ends darker than 64.
    TFrameBitmap d = Grey(2, 30, 40);
    ShadeRows(d, 64, 5, 20);
    EXPECT_EQ(d.Pixel(0, 24), GreyPixel(0));  // 40 - 64 clamps
    EXPECT_EQ(d.Pixel(0, 15), GreyPixel(30)); // k = 9: -10
    EXPECT_EQ(d.Pixel(0, 14), GreyPixel(24)); // k = 10: -16
    EXPECT_EQ(d.Pixel(1, 5), GreyPixel(0));   // k = 19: -70
    EXPECT_EQ(d.Pixel(1, 4), GreyPixel(40));
    EXPECT_EQ(d.Pixel(1, 25), GreyPixel(40));

    d = Grey(2, 4, 200); // nothing for fewer than two rows or no amount
    ShadeRows(d, 64, 0, 1);
    ShadeColumns(d, 0, 0, 4);
    EXPECT_EQ(d.Pixel(0, 0), GreyPixel(200));
}
