// The wipes drawn through the transition call, checked pixel by pixel against what each row
// should show: which picture every pixel comes from, and from where in it. Both pictures carry
// their own coordinates in every pixel, so a pixel names its origin.

#include "effects/Effects.h"
#include "effects/Transition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

namespace {

constexpr std::uint32_t OldTag = 0xA0, NewTag = 0xB0;

std::uint32_t Encode(std::uint32_t tag, int x, int y) { return (tag << 24) | (std::uint32_t(y) << 12) | std::uint32_t(x); }

TFrameBitmap Numbered(int width, int height, std::uint32_t tag) {
    TFrameBitmap bmp(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.SetPixel(x, y, Encode(tag, x, y));
    return bmp;
}

struct TOrigin {
    std::uint32_t Tag;
    int X, Y;
};
TOrigin Old(int x, int y) { return {OldTag, x, y}; }
TOrigin New(int x, int y) { return {NewTag, x, y}; }

std::string Describe(std::uint32_t v) {
    std::ostringstream s;
    s << ((v >> 24) == OldTag ? "old" : (v >> 24) == NewTag ? "new" : "?") << "(" << (v & 0xFFF) << ","
      << ((v >> 12) & 0xFFF) << ")";
    return s.str();
}

TFrameBitmap Draw(int row, int width, int height, int percent) {
    const TFrameBitmap oldPicture = Numbered(width, height, OldTag);
    const TFrameBitmap newPicture = Numbered(width, height, NewTag);
    TFrameBitmap display(width, height);
    DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
    return display;
}

// Draws row at percent and compares every pixel with the origin the rule names.
void ExpectFrame(int row, int width, int height, int percent, const std::function<TOrigin(int, int)>& rule) {
    const TFrameBitmap d = Draw(row, width, height, percent);
    int failures = 0;
    for (int y = 0; y < height && failures < 5; ++y)
        for (int x = 0; x < width && failures < 5; ++x) {
            const TOrigin o = rule(x, y);
            const std::uint32_t want = Encode(o.Tag, o.X, o.Y);
            if (d.Pixel(x, y) != want) {
                ++failures;
                ADD_FAILURE() << "row " << row << " at " << percent << "%, pixel (" << x << "," << y << "): got "
                              << Describe(d.Pixel(x, y)) << ", want " << Describe(want);
            }
        }
}

// Pixels inside the uncovered area show the new picture in place, all others the old one.
void ExpectRevealed(int row, int width, int height, int percent, const std::function<bool(int, int)>& uncovered) {
    ExpectFrame(row, width, height, percent,
                [&](int x, int y) { return uncovered(x, y) ? New(x, y) : Old(x, y); });
}

// Nearest-neighbour sample of destination offset i when src pixels are spread over dst.
int Near(int i, int src, int dst) { return (2 * i + 1) * src / (2 * dst); }

bool In(int v, int lo, int hi) { return v >= lo && v < hi; }

// The landscape test frame: at 25% w = 10, h = 5; at 50% w = 20, h = 10.
constexpr int W = 40, H = 20;

} // namespace

TEST(Wipes, RevealsUncoverInPlace) {
    ExpectRevealed(5, W, H, 25, [](int x, int) { return x < 10; });
    ExpectRevealed(6, W, H, 25, [](int x, int) { return x >= 30; });
    ExpectRevealed(11, W, H, 25, [](int x, int) { return In(x, 15, 25); });
    ExpectRevealed(12, W, H, 25, [](int x, int) { return x < 5 || x >= 35; });
    ExpectRevealed(22, W, H, 25, [](int, int y) { return y < 5; });
    ExpectRevealed(23, W, H, 25, [](int, int y) { return y >= 15; });
    ExpectRevealed(28, W, H, 25, [](int, int y) { return In(y, 7, 12); });
    ExpectRevealed(29, W, H, 25, [](int, int y) { return y < 2 || y >= 18; });
    ExpectRevealed(43, W, H, 25, [](int x, int y) { return x < 10 && y < 5; });
    ExpectRevealed(44, W, H, 25, [](int x, int y) { return x < 10 && y >= 15; });
    ExpectRevealed(45, W, H, 25, [](int x, int y) { return x >= 30 && y >= 15; });
    ExpectRevealed(46, W, H, 25, [](int x, int y) { return x >= 30 && y < 5; });
    ExpectRevealed(53, W, H, 25, [](int x, int y) { return In(x, 15, 25) && In(y, 7, 12); });
    ExpectRevealed(55, W, H, 25, [](int x, int y) { return (x < 5 || x >= 35) && (y < 2 || y >= 18); });
}

TEST(Wipes, CentredWipesTruncateAnOddMargin) {
    // 40 x 20 at 7%: w = 2.8 rounds to 3, h = 3 x 20 / 40 = 1.5 rounds away to 2. The margin
    // W - w = 37 is odd: the strip starts at half(37) = 18, not at half(W) - half(w) = 19.
    ExpectRevealed(11, W, H, 7, [](int x, int) { return In(x, 18, 21); });
    ExpectRevealed(53, W, H, 7, [](int x, int y) { return In(x, 18, 21) && In(y, 9, 11); });
    ExpectFrame(10, W, H, 7, [](int x, int y) { return In(x, 18, 21) ? New(Near(x - 18, 40, 3), y) : Old(x, y); });
    // At 3%: w = 1.2 rounds to 1, h = 0.5 rounds away to 1; both margins (39 and 19) are odd.
    ExpectRevealed(11, W, H, 3, [](int x, int) { return x == 19; });
    ExpectRevealed(28, W, H, 3, [](int, int y) { return y == 9; });
    ExpectRevealed(53, W, H, 3, [](int x, int y) { return x == 19 && y == 9; });
    ExpectFrame(27, W, H, 3, [](int x, int y) { return y == 9 ? New(x, Near(0, 20, 1)) : Old(x, y); });
}

TEST(Wipes, RevealInToCentreUncoversAllButAShrinkingRectangle) {
    ExpectRevealed(54, W, H, 25, [](int x, int y) { return !(In(x, 5, 35) && In(y, 2, 18)); });
    // At 1% of 200x100 (w 2, h 1) only the left and right columns are uncovered.
    ExpectRevealed(54, 200, 100, 1, [](int x, int) { return x == 0 || x == 199; });
    // At 99% of 10x10 the rectangle is empty: everything is uncovered.
    ExpectRevealed(54, 10, 10, 99, [](int, int) { return true; });
}

TEST(Wipes, SlidesMoveTheWholeNewPictureIn) {
    ExpectFrame(3, W, H, 25, [](int x, int y) { return x >= 30 ? New(x - 30, y) : Old(x, y); });
    ExpectFrame(4, W, H, 25, [](int x, int y) { return x < 10 ? New(x + 30, y) : Old(x, y); });
    ExpectFrame(20, W, H, 25, [](int x, int y) { return y >= 15 ? New(x, y - 15) : Old(x, y); });
    ExpectFrame(21, W, H, 25, [](int x, int y) { return y < 5 ? New(x, y + 15) : Old(x, y); });
    ExpectFrame(39, W, H, 25, [](int x, int y) { return x >= 30 && y >= 15 ? New(x - 30, y - 15) : Old(x, y); });
    ExpectFrame(40, W, H, 25, [](int x, int y) { return x >= 30 && y < 5 ? New(x - 30, y + 15) : Old(x, y); });
    ExpectFrame(41, W, H, 25, [](int x, int y) { return x < 10 && y < 5 ? New(x + 30, y + 15) : Old(x, y); });
    ExpectFrame(42, W, H, 25, [](int x, int y) { return x < 10 && y >= 15 ? New(x + 30, y - 15) : Old(x, y); });
}

TEST(Wipes, QuartersSlideInAsAPinwheel) {
    ExpectFrame(57, W, H, 50, [](int x, int y) {
        if (x < 10 && y < 10)
            return New(x + 10, y); // top left from the left
        if (x >= 20 && y < 5)
            return New(x, y + 5); // top right from the top
        if (x >= 30 && y >= 10)
            return New(x - 10, y); // bottom right from the right
        if (x < 20 && y >= 15)
            return New(x, y - 5); // bottom left from the bottom
        return Old(x, y);
    });
}

TEST(Wipes, PushesAndSlideOutsMoveTheOldPicture) {
    ExpectFrame(129, W, H, 25, [](int x, int y) { return x >= 10 ? Old(x - 10, y) : New(x + 30, y); });
    ExpectFrame(130, W, H, 25, [](int x, int y) { return x < 30 ? Old(x + 10, y) : New(x - 30, y); });
    ExpectFrame(133, W, H, 25, [](int x, int y) { return y >= 5 ? Old(x, y - 5) : New(x, y + 15); });
    ExpectFrame(134, W, H, 25, [](int x, int y) { return y < 15 ? Old(x, y + 5) : New(x, y - 15); });
    ExpectFrame(173, W, H, 25, [](int x, int y) { return x >= 10 ? Old(x - 10, y) : New(x, y); });
    ExpectFrame(174, W, H, 25, [](int x, int y) { return x < 30 ? Old(x + 10, y) : New(x, y); });
    ExpectFrame(175, W, H, 25, [](int x, int y) { return y >= 5 ? Old(x, y - 5) : New(x, y); });
    ExpectFrame(176, W, H, 25, [](int x, int y) { return y < 15 ? Old(x, y + 5) : New(x, y); });
}

TEST(Wipes, PushAndSqueezeShrinksTheOldPicture) {
    // At 50% the old picture is squeezed to half: remainder pixel i shows old pixel 2i + 1.
    ExpectFrame(131, W, H, 50, [](int x, int y) { return x >= 20 ? Old(2 * (x - 20) + 1, y) : New(x + 20, y); });
    ExpectFrame(132, W, H, 50, [](int x, int y) { return x < 20 ? Old(2 * x + 1, y) : New(x - 20, y); });
    ExpectFrame(135, W, H, 50, [](int x, int y) { return y >= 10 ? Old(x, 2 * (y - 10) + 1) : New(x, y + 10); });
    ExpectFrame(136, W, H, 50, [](int x, int y) { return y < 10 ? Old(x, 2 * y + 1) : New(x, y - 10); });
}

TEST(Wipes, ExpandsSqueezeTheWholeNewPicture) {
    // At 50% the picture is half size: squeezed pixel i shows picture pixel 2i + 1.
    auto half = [](int i) { return 2 * i + 1; };
    ExpectFrame(1, W, H, 50, [&](int x, int y) { return x >= 20 ? New(half(x - 20), y) : Old(x, y); });
    ExpectFrame(2, W, H, 50, [&](int x, int y) { return x < 20 ? New(half(x), y) : Old(x, y); });
    ExpectFrame(10, W, H, 50, [&](int x, int y) { return In(x, 10, 30) ? New(half(x - 10), y) : Old(x, y); });
    ExpectFrame(18, W, H, 50, [&](int x, int y) { return y >= 10 ? New(x, half(y - 10)) : Old(x, y); });
    ExpectFrame(19, W, H, 50, [&](int x, int y) { return y < 10 ? New(x, half(y)) : Old(x, y); });
    ExpectFrame(27, W, H, 50, [&](int x, int y) { return In(y, 5, 15) ? New(x, half(y - 5)) : Old(x, y); });
    ExpectFrame(35, W, H, 50, [&](int x, int y) {
        return x >= 20 && y >= 10 ? New(half(x - 20), half(y - 10)) : Old(x, y);
    });
    ExpectFrame(36, W, H, 50, [&](int x, int y) { return x >= 20 && y < 10 ? New(half(x - 20), half(y)) : Old(x, y); });
    ExpectFrame(37, W, H, 50, [&](int x, int y) { return x < 20 && y < 10 ? New(half(x), half(y)) : Old(x, y); });
    ExpectFrame(38, W, H, 50, [&](int x, int y) { return x < 20 && y >= 10 ? New(half(x), half(y - 10)) : Old(x, y); });
    ExpectFrame(52, W, H, 50, [&](int x, int y) {
        return In(x, 10, 30) && In(y, 5, 15) ? New(half(x - 10), half(y - 5)) : Old(x, y);
    });
}

TEST(Wipes, SideAndQuarterExpandsSqueezeEachHalfToItsSide) {
    auto half = [](int i) { return 2 * i + 1; };
    ExpectFrame(13, W, H, 50, [&](int x, int y) {
        if (x < 10)
            return New(half(x), y);
        if (x >= 30)
            return New(20 + half(x - 30), y);
        return Old(x, y);
    });
    ExpectFrame(30, W, H, 50, [&](int x, int y) {
        if (y < 5)
            return New(x, half(y));
        if (y >= 15)
            return New(x, 10 + half(y - 15));
        return Old(x, y);
    });
    ExpectFrame(56, W, H, 50, [&](int x, int y) {
        const bool left = x < 10, right = x >= 30, top = y < 5, bottom = y >= 15;
        if (!(left || right) || !(top || bottom))
            return Old(x, y);
        return New(left ? half(x) : 20 + half(x - 30), top ? half(y) : 10 + half(y - 15));
    });
}

TEST(Wipes, ExpandInsStretchASliceOverTheFrame) {
    // At 50% a slice of 20 columns (10 rows) is spread over 60 (30), or 80 (40) from the middle.
    ExpectFrame(7, W, H, 50, [](int x, int y) { return New(Near(x, 20, 60), y); });
    ExpectFrame(8, W, H, 50, [](int x, int y) { return New(20 + Near(x + 20, 20, 60), y); });
    ExpectFrame(9, W, H, 50, [](int x, int y) { return New(10 + Near(x + 20, 20, 80), y); });
    ExpectFrame(24, W, H, 50, [](int x, int y) { return New(x, Near(y, 10, 30)); });
    ExpectFrame(25, W, H, 50, [](int x, int y) { return New(x, 10 + Near(y + 10, 10, 30)); });
    ExpectFrame(26, W, H, 50, [](int x, int y) { return New(x, 5 + Near(y + 10, 10, 40)); });
    ExpectFrame(47, W, H, 50, [](int x, int y) { return New(Near(x, 20, 60), Near(y, 10, 30)); });
    ExpectFrame(48, W, H, 50, [](int x, int y) { return New(Near(x, 20, 60), 10 + Near(y + 10, 10, 30)); });
    ExpectFrame(49, W, H, 50, [](int x, int y) { return New(20 + Near(x + 20, 20, 60), 10 + Near(y + 10, 10, 30)); });
    ExpectFrame(50, W, H, 50, [](int x, int y) { return New(20 + Near(x + 20, 20, 60), Near(y, 10, 30)); });
    ExpectFrame(51, W, H, 50, [](int x, int y) { return New(10 + Near(x + 20, 20, 80), 5 + Near(y + 10, 10, 40)); });

    // The anchored edge keeps its own pixels; the far edge shows the end of the slice.
    const TFrameBitmap d7 = Draw(7, W, H, 50);
    EXPECT_EQ(d7.Pixel(0, 3), Encode(NewTag, 0, 3));
    EXPECT_EQ(d7.Pixel(39, 3), Encode(NewTag, 13, 3));
    const TFrameBitmap d8 = Draw(8, W, H, 50);
    EXPECT_EQ(d8.Pixel(39, 3), Encode(NewTag, 39, 3));
    EXPECT_EQ(d8.Pixel(0, 3), Encode(NewTag, 26, 3));
    const TFrameBitmap d9 = Draw(9, W, H, 50);
    EXPECT_EQ(d9.Pixel(20, 3), Encode(NewTag, 20, 3));
}

TEST(Wipes, BuildUpsStretchTheNextSliceOverTheRest) {
    // At 50%: the uncovered half in place, a slice of W/10 = 4 columns (H/10 = 2 rows) beyond.
    ExpectFrame(16, W, H, 50, [](int x, int y) { return x < 20 ? New(x, y) : New(20 + Near(x - 20, 4, 20), y); });
    ExpectFrame(17, W, H, 50, [](int x, int y) { return x >= 20 ? New(x, y) : New(16 + Near(x, 4, 20), y); });
    ExpectFrame(33, W, H, 50, [](int x, int y) { return y < 10 ? New(x, y) : New(x, 10 + Near(y - 10, 2, 10)); });
    ExpectFrame(34, W, H, 50, [](int x, int y) { return y >= 10 ? New(x, y) : New(x, 8 + Near(y, 2, 10)); });
    // Rows 33 and 34 share names with 18 and 25 but draw differently.
    EXPECT_NE(Draw(33, W, H, 50).Pixel(0, 0), Draw(18, W, H, 50).Pixel(0, 0));
    EXPECT_NE(Draw(34, W, H, 50).Pixel(0, 0), Draw(25, W, H, 50).Pixel(0, 0));
    // Below ten pixels the slice is empty and nothing is stretched.
    ExpectRevealed(16, 8, 4, 50, [](int x, int) { return x < 4; });
    ExpectRevealed(17, 8, 4, 50, [](int x, int) { return x >= 4; });
}

namespace {

// Unroll pictures: red 100, green the row, blue the column, so shading stays readable.
std::uint32_t RollPixel(int x, int y, int shade) {
    auto c = [&](int v) { return std::uint8_t(std::clamp(v + shade, 0, 255)); };
    return (NewTag << 24) | TFrameBitmap::MakePixel(c(100), c(y), c(x));
}

TFrameBitmap DrawRoll(int row, int width, int height, int percent) {
    TFrameBitmap oldPicture(width, height), newPicture(width, height), display(width, height);
    oldPicture.Fill(OldTag << 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            newPicture.SetPixel(x, y, RollPixel(x, y, 0));
    DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
    return display;
}

} // namespace

TEST(Wipes, UnrollHorizontallyShowsTheMirroredNextSliceShaded) {
    // 200 x 20 at 30%: w = 60, roll width 20 mirroring the next 20 columns, shaded -64 .. -4 .. -58.
    const TFrameBitmap left = DrawRoll(14, 200, 20, 30);
    EXPECT_EQ(left.Pixel(59, 7), RollPixel(59, 7, 0));
    EXPECT_EQ(left.Pixel(60, 7), RollPixel(99, 7, -64));
    EXPECT_EQ(left.Pixel(70, 7), RollPixel(89, 7, -4));
    EXPECT_EQ(left.Pixel(71, 7), RollPixel(88, 7, -10));
    EXPECT_EQ(left.Pixel(79, 7), RollPixel(80, 7, -58));
    EXPECT_EQ(left.Pixel(80, 7), OldTag << 24);

    const TFrameBitmap right = DrawRoll(15, 200, 20, 30); // uncovered from column 140
    EXPECT_EQ(right.Pixel(140, 3), RollPixel(140, 3, 0));
    EXPECT_EQ(right.Pixel(139, 3), RollPixel(99, 3, -58));
    EXPECT_EQ(right.Pixel(130, 3), RollPixel(108, 3, -4));
    EXPECT_EQ(right.Pixel(120, 3), RollPixel(118, 3, -64));
    EXPECT_EQ(right.Pixel(119, 3), OldTag << 24);
}

TEST(Wipes, UnrollRollWidthFollowsTheUncoveredAndCoveredSizes) {
    // At 5% (w 10 < W/10) the roll is as wide as the uncovered part; 10 columns shade in steps
    // of 12: -64 -52 -40 -28 -16 -4 -16 -28 -40 -52.
    const TFrameBitmap early = DrawRoll(14, 200, 20, 5);
    EXPECT_EQ(early.Pixel(9, 0), RollPixel(9, 0, 0));
    EXPECT_EQ(early.Pixel(10, 0), RollPixel(29, 0, -64));
    EXPECT_EQ(early.Pixel(15, 0), RollPixel(24, 0, -4));
    EXPECT_EQ(early.Pixel(19, 0), RollPixel(20, 0, -52));
    EXPECT_EQ(early.Pixel(20, 0), OldTag << 24);
    // At 95% (10 columns covered < 2 x 20) the roll is 5 wide; its leftmost column would
    // mirror column -1 and keeps the old picture, shaded.
    const TFrameBitmap late = DrawRoll(15, 200, 20, 95);
    EXPECT_EQ(late.Pixel(10, 0), RollPixel(10, 0, 0));
    EXPECT_EQ(late.Pixel(9, 0), std::uint32_t(OldTag << 24));
    EXPECT_EQ(late.Pixel(8, 0), RollPixel(0, 0, -32));
    EXPECT_EQ(late.Pixel(7, 0), RollPixel(1, 0, 0));
    EXPECT_EQ(late.Pixel(5, 0), RollPixel(3, 0, -64));
    EXPECT_EQ(late.Pixel(4, 0), OldTag << 24);
    // Below ten pixels there is no roll: only the uncovering.
    const TFrameBitmap tiny = DrawRoll(14, 8, 4, 50);
    EXPECT_EQ(tiny.Pixel(3, 1), RollPixel(3, 1, 0));
    EXPECT_EQ(tiny.Pixel(4, 1), OldTag << 24);
}

namespace {

// Shading profiles of a 15 wide roll (half 7, so each step is 64 div 7 = 9). Across columns the
// profile turns after the eighth step, down rows after the seventh.
constexpr int ColumnShade15[15] = {-64, -55, -46, -37, -28, -19, -10, -1, -10, -19, -28, -37, -46, -55, -64};
constexpr int RowShade15[15] = {-64, -55, -46, -37, -28, -19, -10, -19, -28, -37, -46, -55, -64, -73, -82};

// A new picture whose pixels name their place (blue 100 + x mod 128, green 100 + y mod 128) with
// red 200 to read the shade from; no channel reaches 0 or 255 under these shades.
std::uint32_t Marked(int x, int y, int shade) {
    return (NewTag << 24) |
           TFrameBitmap::MakePixel(std::uint8_t(200 + shade), std::uint8_t(100 + y % 128 + shade),
                                   std::uint8_t(100 + x % 128 + shade));
}

TFrameBitmap DrawMarked(int row, int width, int height, int percent) {
    TFrameBitmap oldPicture(width, height), newPicture(width, height), display(width, height);
    oldPicture.Fill(OldTag << 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            newPicture.SetPixel(x, y, Marked(x, y, 0));
    DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
    return display;
}

void ExpectPixels(const TFrameBitmap& d, int row, const std::function<std::uint32_t(int, int)>& want) {
    int failures = 0;
    for (int y = 0; y < d.Height() && failures < 5; ++y)
        for (int x = 0; x < d.Width() && failures < 5; ++x)
            if (d.Pixel(x, y) != want(x, y)) {
                ++failures;
                ADD_FAILURE() << "row " << row << ", pixel (" << x << "," << y << "): got " << std::hex
                              << d.Pixel(x, y) << ", want " << want(x, y);
            }
}

} // namespace

TEST(Wipes, UnrollHalvesTheRollWhenLessThanTwoRollsRemainCovered) {
    // 210 x 20 at 85%: w = 178.5 rounds to 179, 31 columns stay covered. The roll would be
    // 210 div 10 = 21 wide, but 31 < 42 halves it to 15.
    // Row 14: columns 179..193 mirror columns 194..208; the rest stays old.
    ExpectPixels(DrawMarked(14, 210, 20, 85), 14, [](int x, int y) {
        if (x < 179)
            return Marked(x, y, 0);
        if (x < 194)
            return Marked(387 - x, y, ColumnShade15[x - 179]);
        return OldTag << 24;
    });
    // Row 15: uncovered from column 31; columns 16..30 mirror columns 0..14.
    ExpectPixels(DrawMarked(15, 210, 20, 85), 15, [](int x, int y) {
        if (x >= 31)
            return Marked(x, y, 0);
        if (x >= 16)
            return Marked(30 - x, y, ColumnShade15[x - 16]);
        return OldTag << 24;
    });
    // 20 x 210 at 85%: h = 179 leads. Row 31: rows 179..193 mirror rows 194..208, shaded from
    // the roll's bottom row up.
    ExpectPixels(DrawMarked(31, 20, 210, 85), 31, [](int x, int y) {
        if (y < 179)
            return Marked(x, y, 0);
        if (y < 194)
            return Marked(x, 387 - y, RowShade15[193 - y]);
        return OldTag << 24;
    });
    // Row 32: uncovered from row 31; rows 16..30 mirror rows 0..14.
    ExpectPixels(DrawMarked(32, 20, 210, 85), 32, [](int x, int y) {
        if (y >= 31)
            return Marked(x, y, 0);
        if (y >= 16)
            return Marked(x, 30 - y, RowShade15[30 - y]);
        return OldTag << 24;
    });
}

TEST(Wipes, UnrollVerticallyCountsTheShadingFromTheBottomRow) {
    // 20 x 200 at 30%: h = 60 leads; roll rows 60..79 mirror rows 80..99.
    const TFrameBitmap top = DrawRoll(31, 20, 200, 30);
    EXPECT_EQ(top.Pixel(5, 59), RollPixel(5, 59, 0));
    EXPECT_EQ(top.Pixel(5, 79), RollPixel(5, 80, -64));
    EXPECT_EQ(top.Pixel(5, 70), RollPixel(5, 89, -10));
    EXPECT_EQ(top.Pixel(5, 69), RollPixel(5, 90, -16));
    EXPECT_EQ(top.Pixel(5, 60), RollPixel(5, 99, -70));
    EXPECT_EQ(top.Pixel(5, 80), OldTag << 24);

    const TFrameBitmap bottom = DrawRoll(32, 20, 200, 30); // uncovered from row 140
    EXPECT_EQ(bottom.Pixel(5, 140), RollPixel(5, 140, 0));
    EXPECT_EQ(bottom.Pixel(5, 139), RollPixel(5, 99, -64));
    EXPECT_EQ(bottom.Pixel(5, 129), RollPixel(5, 109, -16));
    EXPECT_EQ(bottom.Pixel(5, 120), RollPixel(5, 118, -70));
    EXPECT_EQ(bottom.Pixel(5, 119), OldTag << 24);
}

TEST(Wipes, PortraitFramesLetTheHeightLead) {
    // 20 x 40 at 25%: h = 10, w = 5.
    ExpectRevealed(43, 20, 40, 25, [](int x, int y) { return x < 5 && y < 10; });
}

TEST(Wipes, OddPortraitFramesRoundTheProgressAndTruncateHalves) {
    // 15 x 25 at 30%: h = 7.5 rounds to 8, w = 8 x 15 / 25 = 4.8 rounds to 5. The centre offsets
    // are half(10) = 5 and half(17) = 8; the quarters are 7 x 12, leaving the last column and
    // row to the quarters that reach them.
    constexpr int OW = 15, OH = 25, P = 30;
    ExpectRevealed(11, OW, OH, P, [](int x, int) { return In(x, 5, 10); });
    ExpectRevealed(53, OW, OH, P, [](int x, int y) { return In(x, 5, 10) && In(y, 8, 16); });
    ExpectRevealed(12, OW, OH, P, [](int x, int) { return x < 2 || x >= 13; });
    ExpectRevealed(29, OW, OH, P, [](int, int y) { return y < 4 || y >= 21; });
    ExpectRevealed(54, OW, OH, P, [](int x, int y) { return !(In(x, 2, 13) && In(y, 4, 21)); });
    ExpectFrame(9, OW, OH, P, [](int x, int y) { return New(5 + Near(x + 10, 5, 35), y); });
    ExpectFrame(26, OW, OH, P, [](int x, int y) { return New(x, 8 + Near(y + 17, 8, 59)); });
    ExpectFrame(51, OW, OH, P, [](int x, int y) { return New(5 + Near(x + 10, 5, 35), 8 + Near(y + 17, 8, 59)); });
    ExpectFrame(56, OW, OH, P, [](int x, int y) {
        const bool left = x < 2, right = x >= 13, top = y < 4, bottom = y >= 21;
        if (!(left || right) || !(top || bottom))
            return Old(x, y);
        return New(left ? Near(x, 7, 2) : 7 + Near(x - 13, 7, 2), top ? Near(y, 12, 4) : 12 + Near(y - 21, 12, 4));
    });
    ExpectFrame(57, OW, OH, P, [](int x, int y) {
        if (x < 2 && y < 12)
            return New(x + 5, y); // top left, from the left
        if (In(x, 7, 14) && y < 4)
            return New(x, y + 8); // top right, from the top
        if (x >= 13 && In(y, 12, 24))
            return New(x - 6, y); // bottom right, from the right
        if (x < 7 && y >= 21)
            return New(x, y - 9); // bottom left, from the bottom
        return Old(x, y);
    });
}

namespace {

// Bright enough that a darkening by 128 keeps every channel apart: red 200, green 130 + y,
// blue 130 + x.
std::uint32_t BrightPixel(int x, int y, int shade) {
    auto c = [&](int v) { return std::uint8_t(std::clamp(v + shade, 0, 255)); };
    return (NewTag << 24) | TFrameBitmap::MakePixel(c(200), c(130 + y), c(130 + x));
}

} // namespace

TEST(Wipes, TwoPixelRollsTurnDifferentlyForColumnsAndRows) {
    // At 30% the roll is W div 10 (H div 10) = 2 wide; the covered side keeps 17. Its half is 1,
    // so the profile steps by 64: across columns it turns after the first one (back to 0), down
    // rows it turns at once (to -128), counted from the roll's bottom row.
    auto draw = [](int row, int width, int height) {
        TFrameBitmap oldPicture(width, height), newPicture(width, height), display(width, height);
        oldPicture.Fill(OldTag << 24);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                newPicture.SetPixel(x, y, BrightPixel(x, y, 0));
        DrawTransitionFrame(display, oldPicture, newPicture, row, 30);
        return display;
    };
    const TFrameBitmap right = draw(15, 25, 15); // w = 8: uncovered from column 17
    EXPECT_EQ(right.Pixel(17, 4), BrightPixel(17, 4, 0));
    EXPECT_EQ(right.Pixel(16, 4), BrightPixel(12, 4, 0));
    EXPECT_EQ(right.Pixel(15, 4), BrightPixel(13, 4, -64));
    EXPECT_EQ(right.Pixel(14, 4), OldTag << 24);

    const TFrameBitmap bottom = draw(32, 15, 25); // h = 8: uncovered from row 17
    EXPECT_EQ(bottom.Pixel(4, 17), BrightPixel(4, 17, 0));
    EXPECT_EQ(bottom.Pixel(4, 16), BrightPixel(4, 12, -64));
    EXPECT_EQ(bottom.Pixel(4, 15), BrightPixel(4, 13, -128));
    EXPECT_EQ(bottom.Pixel(4, 14), OldTag << 24);
}
