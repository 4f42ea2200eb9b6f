// The curved, blind, grid and polygon reveals drawn through the transition call and compared
// pixel by pixel with an independent model of what each row uncovers (tests/effects/ShapeModel.h),
// plus chosen pixels worked out by hand from the rules of single rows. Both pictures carry their
// own coordinates in every pixel, so a pixel names the picture and the place it came from.

#include "effects/Effects.h"
#include "effects/PolygonEffects.h"
#include "effects/Random.h"
#include "effects/Transition.h"
#include "tests/effects/ShapeModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace ShapeModel;

constexpr std::uint32_t OldTag = 0xA0, NewTag = 0xB0;

std::uint32_t Encode(std::uint32_t tag, int x, int y) { return (tag << 24) | (std::uint32_t(y) << 12) | std::uint32_t(x); }

TFrameBitmap Numbered(int width, int height, std::uint32_t tag) {
    TFrameBitmap bmp(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.SetPixel(x, y, Encode(tag, x, y));
    return bmp;
}

// The seed value the effects with stable randomness and the rotating shapes receive.
void SetEffectSeed(TFrameBitmap& image, std::uint32_t seed) { image.SetHandle(seed); }

TFrameBitmap Draw(int row, int width, int height, int percent, std::uint32_t seed = 0) {
    const TFrameBitmap oldPicture = Numbered(width, height, OldTag);
    TFrameBitmap newPicture = Numbered(width, height, NewTag);
    SetEffectSeed(newPicture, seed);
    TFrameBitmap display(width, height);
    DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
    return display;
}

bool IsNew(const TFrameBitmap& d, int x, int y) { return d.Pixel(x, y) == Encode(NewTag, x, y); }
bool IsOld(const TFrameBitmap& d, int x, int y) { return d.Pixel(x, y) == Encode(OldTag, x, y); }

// Independent of the effects' own helper: a x b / c rounded to nearest, halves away from zero.
int MulDivModel(int a, int b, int c) {
    const long long n = (long long)a * b;
    const long long q = (std::llabs(n) * 2 + c) / (2LL * c);
    return int(n < 0 ? -q : q);
}

void ProgressModel(int W, int H, int p, int& w, int& h) {
    if (H <= W) {
        w = MulDivModel(W, p, 100);
        h = MulDivModel(w, H, W);
    } else {
        h = MulDivModel(H, p, 100);
        w = MulDivModel(h, W, H);
    }
}

TShape Tri(TPt a, TPt b, TPt c) { return Polygon({a, b, c}); }
TShape Quad(TPt a, TPt b, TPt c, TPt d) { return Polygon({a, b, c, d}); }

constexpr long double Pi = std::numbers::pi_v<long double>;

// Points turned about (cx, cy) by angle radians, clockwise on screen for a positive angle.
std::vector<TPt> Turned(std::vector<TPt> points, long long cx, long long cy, long double angle) {
    for (TPt& q : points) {
        const long double dx = q.X - cx, dy = q.Y - cy;
        q = {cx + RoundEven(dx * std::cos(angle) - dy * std::sin(angle)),
             cy + RoundEven(dx * std::sin(angle) + dy * std::cos(angle))};
    }
    return points;
}

// Slats across the frame every period pixels from a side, each width pixels wide.
void Slats(std::vector<TShape>& parts, int W, int H, int period, int width, char from) {
    if (from == 'L')
        for (int x = 0; x < W; x += period)
            parts.push_back(Rect(x, 0, x + width, H));
    if (from == 'R')
        for (int x = W; x > 0; x -= period)
            parts.push_back(Rect(x - width, 0, x, H));
    if (from == 'T')
        for (int y = 0; y < H; y += period)
            parts.push_back(Rect(0, y, W, y + width));
    if (from == 'B')
        for (int y = H; y > 0; y -= period)
            parts.push_back(Rect(0, y - width, W, y));
}

// What row uncovers at percent p of a W x H frame, written from the rules of each row.
TShape Model(int row, int W, int H, int p, std::uint32_t seed) {
    int w = 0, h = 0;
    ProgressModel(W, H, p, w, h);
    const int hW = W / 2, hH = H / 2, hw = w / 2, hh = h / 2;
    const TShape frame = Rect(0, 0, W, H);
    std::vector<TShape> parts;
    switch (row) {
    case 58: return RoundRect(-2 * W, 0, 2 * w, H + 1, 2 * W, 2 * W);
    case 59: return RoundRect(W - 2 * w, 0, 3 * W, H + 1, 2 * W, 2 * W);
    case 69: return RoundRect(0, -2 * H, W + 1, 2 * h, 2 * H, 2 * H);
    case 70: return RoundRect(0, H - 2 * h, W + 1, 3 * H, 2 * H, 2 * H);
    case 80: return RoundRect(-W, -H, 3 * w / 2, 3 * h / 2, 2 * W, 2 * H);
    case 81: return RoundRect(W - 3 * w / 2, -H, 2 * W, 3 * h / 2, 2 * W, 2 * H);
    case 82: return RoundRect(-W, H - 3 * h / 2, 3 * w / 2, 2 * H, 2 * W, 2 * H);
    case 83: return RoundRect(W - 3 * w / 2, H - 3 * h / 2, 2 * W, 2 * H, 2 * W, 2 * H);
    case 84: return RoundRect(hW - w, hH - h, hW + w, hH + h, 9 * w / 5, 9 * h / 5);
    case 85:
        return Xor({frame, RoundRect(w - hW, h - hH, 3 * hW - w, 3 * hH - h, 9 * (W - w) / 5, 9 * (H - h) / 5)});
    case 128: {
        const int c = (std::min(W, H) / 50) * 2 + 2;
        TGenerator g(seed);
        for (int x = 0; x < W; x += c)
            for (int y = 0; y < H; y += c)
                if (g.Random(100) < p)
                    parts.push_back(Rect(x, y, x + c, y + c));
        return Union(parts);
    }
    case 137:
    case 138: {
        const int side = row == 137 ? W : H, n = side / 40 + 1, a = MulDivModel(n, p, 100);
        for (int s = 0; s < side; s += 2 * n)
            parts.push_back(row == 137 ? Rect(s + n - a, 0, s + n + a, H) : Rect(0, s + n - a, W, s + n + a));
        return Union(parts);
    }
    case 139:
    case 140:
    case 141:
    case 142: {
        const int size = row <= 140 ? w : h;
        if (size <= 0)
            return Nothing();
        Slats(parts, W, H, size, MulDivModel(size, p, 100), "LRTB"[row - 139]);
        return Union(parts);
    }
    case 143: {
        const int n = std::min(W, H) / 10 + 1, a = MulDivModel(n, p, 100);
        for (int x = 0; x < W; x += 2 * n)
            for (int y = 0; y < H; y += 2 * n)
                parts.push_back(Rect(x + n - a, y + n - a, x + n + a, y + n + a));
        return Union(parts);
    }
    case 146:
    case 147:
    case 148:
    case 149: {
        const bool across = row <= 147;
        const int size = across ? w : h, n = across ? H / 20 : W / 20;
        if (size <= 0 || n <= 0)
            return Nothing();
        const int a = MulDivModel(n, p, 100);
        for (int b = -n; b < (across ? H : W); b += 3 * n)
            parts.push_back(across ? Rect(0, b - a, W, b + a) : Rect(b - a, 0, b + a, H));
        Slats(parts, W, H, size, MulDivModel(size, p, 100), "LRTB"[row - 146]);
        return Union(parts);
    }
    case 153: {
        const int n = std::min(W, H) / 10 + 1, b = MulDivModel(3 * n, p, 200);
        for (int x = 0; x < W; x += 2 * n)
            for (int y = 0; y < H; y += 2 * n)
                parts.push_back(Ellipse(x + n - b, y + n - b, x + n + b, y + n + b));
        return Union(parts);
    }
    case 110: return Tri({0, 0}, {2 * w, 0}, {0, 2 * h});
    case 111: return Tri({W, 0}, {W - 2 * w, 0}, {W, 2 * h});
    case 112: return Tri({0, H}, {2 * w, H}, {0, H - 2 * h});
    case 113: return Tri({W, H}, {W - 2 * w, H}, {W, H - 2 * h});
    case 114: return Union({Tri({0, H}, {0, 0}, {w, H}), Tri({W, H}, {W, 0}, {W - w, 0})});
    case 115: return Union({Tri({W, 0}, {0, 0}, {W, h}), Tri({W, H}, {0, H}, {0, H - h})});
    case 116:
        return Union({Tri({hW, hH}, {0, 0}, {w, 0}), Tri({hW, hH}, {0, H}, {0, H - h}),
                      Tri({hW, hH}, {W, H}, {W - w, H}), Tri({hW, hH}, {W, 0}, {W, h})});
    case 117:
        return Union({Tri({hW, hH}, {0, 0}, {0, h}), Tri({hW, hH}, {0, H}, {w, H}),
                      Tri({hW, hH}, {W, H}, {W, H - h}), Tri({hW, hH}, {W, 0}, {W - w, 0})});
    case 118: {
        const int cw = W / 10 + 1, ch = H / 10 + 1, tw = MulDivModel(cw, p, 50), th = MulDivModel(ch, p, 50);
        for (int x = cw; x - cw < W; x += 2 * cw)
            for (int y = ch; y - ch < H + ch; y += 2 * ch)
                parts.push_back(Tri({x - tw, y - th}, {x, y + th}, {x + tw, y - th}));
        return Union(parts);
    }
    case 144:
    case 145: {
        const long long radius = (long long)std::ceil(std::hypot((long double)hW, (long double)hH));
        std::vector<TPt> fan{{hW, hH}};
        for (int k = 1; k <= p; ++k) {
            const long double a = -Pi / 2 + (row == 144 ? 1 : -1) * (k - 1) * Pi / 50;
            fan.push_back({hW + RoundEven(radius * std::cos(a)), hH + RoundEven(radius * std::sin(a))});
        }
        return Polygon(fan);
    }
    case 150:
    case 151:
    case 152: {
        const long double angle = (seed % 2 ? -1 : 1) * (p * Pi / 50);
        const std::vector<TPt> rect{{hW - hw, hH - hh}, {hW + hw, hH - hh}, {hW + hw, hH + hh}, {hW - hw, hH + hh}};
        const std::vector<TPt> star{{hW - 2 * w, hH}, {hW - hw, hH - hh}, {hW, hH - 2 * h}, {hW + hw, hH - hh},
                                    {hW + 2 * w, hH}, {hW + hw, hH + hh}, {hW, hH + 2 * h}, {hW - hw, hH + hh}};
        if (row == 150)
            return Polygon(Turned(rect, hW, hH, angle));
        if (row == 151)
            return Polygon(Turned(star, hW, hH, angle));
        return Polygon(Turned(rect, w, h, angle));
    }
    case 154: return Tri({0, hH - h}, {2 * w, hH}, {0, hH + h});
    case 155: return Tri({W, hH - h}, {W - 2 * w, hH}, {W, hH + h});
    case 156: return Tri({hW - w, 0}, {hW, 2 * h}, {hW + w, 0});
    case 157: return Tri({hW - w, H}, {hW, H - 2 * h}, {hW + w, H});
    case 158: return Union({Tri({0, hH - h}, {w, hH}, {0, hH + h}), Tri({W, hH - h}, {W - w, hH}, {W, hH + h})});
    case 159:
        return Union({Tri({hW - w, 0}, {hW, 2 * h}, {hW + w, 0}), Tri({hW - w, H}, {hW, H - 2 * h}, {hW + w, H})});
    case 160:
        return Union({Tri({0, hH - hh}, {hw, hH}, {0, hH + hh}), Tri({W, hH - hh}, {W - hw, hH}, {W, hH + hh}),
                      Tri({hW - hw, 0}, {hW, hh}, {hW + hw, 0}), Tri({hW - hw, H}, {hW, H - hh}, {hW + hw, H})});
    case 161: {
        const int a = (W - w) / 2, b = (H - h) / 2;
        return Xor({frame, Tri({0, hH - b}, {a, hH}, {0, hH + b}), Tri({W, hH - b}, {W - a, hH}, {W, hH + b}),
                    Tri({hW - a, 0}, {hW, b}, {hW + a, 0}), Tri({hW - a, H}, {hW, H - b}, {hW + a, H})});
    }
    case 162:
    case 163: {
        const bool horizontal = row == 162;
        const int n = horizontal ? H / 10 : W / 10, step = horizontal ? W / 10 : H / 10;
        const int mid = horizontal ? hH : hW, c = MulDivModel(n, p, 100) + (horizontal ? hh : hw);
        std::vector<TPt> band(24);
        for (int k = 0; k < 12; ++k) {
            const int first = mid - c + (k % 2 ? -n : n), second = mid + c + (k % 2 ? -n : n);
            band[k] = horizontal ? TPt{k * step, first} : TPt{first, k * step};
            band[23 - k] = horizontal ? TPt{k * step, second} : TPt{second, k * step};
        }
        return Polygon(band);
    }
    case 164: {
        const int c = std::min(W, H) / 10 + 1, b = MulDivModel(c, p, 50);
        for (int x = c; x - c < W; x += 2 * c)
            for (int y = c; y - c < H; y += 2 * c)
                parts.push_back(Quad({x - b, y}, {x, y - b}, {x + b, y}, {x, y + b}));
        return Union(parts);
    }
    case 165: return Quad({hW - w, hH}, {hW, hH - h}, {hW + w, hH}, {hW, hH + h});
    case 166: return Xor({frame, Quad({w - hW, hH}, {hW, h - hH}, {3 * hW - w, hH}, {hW, 3 * hH - h})});
    case 167:
        return Xor({Quad({-hw, hH}, {hW, -hh}, {2 * hW + hw, hH}, {hW, 2 * hH + hh}),
                    Quad({hw, hH}, {hW, hh}, {2 * hW - hw, hH}, {hW, 2 * hH - hh})});
    }
    ADD_FAILURE() << "row " << row << " has no model";
    return Nothing();
}

std::vector<int> ShapeRows() {
    std::vector<int> rows{58, 59, 69, 70};
    for (int r = 80; r <= 85; ++r)
        rows.push_back(r);
    for (int r = 110; r <= 118; ++r)
        rows.push_back(r);
    rows.push_back(128);
    for (int r = 137; r <= 167; ++r)
        rows.push_back(r);
    return rows;
}

// The random squares and the rotating shapes are the rows that read the seed.
bool SeedMatters(int row) { return row == 128 || (row >= 150 && row <= 152); }

struct TTally {
    long long Judged = 0, Total = 0;
};

// Every pixel comes from the old or the new picture at its own place; away from slanted and
// curved edges it is the one the model names. Returns false at the first few mismatches.
bool ExpectLikeModel(int row, int W, int H, int p, std::uint32_t seed, TTally& tally) {
    const TFrameBitmap d = Draw(row, W, H, p, seed);
    const TShape shape = Model(row, W, H, p, seed);
    int failures = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool isNew = IsNew(d, x, y);
            if (!isNew && !IsOld(d, x, y)) {
                ADD_FAILURE() << "row " << row << " " << W << "x" << H << " at " << p << "%: pixel (" << x << ","
                              << y << ") comes from neither picture at its place";
                return false;
            }
            const TVerdict v = shape(x + 0.5, y + 0.5);
            ++tally.Total;
            if (v.NearEdge)
                continue;
            ++tally.Judged;
            if (isNew != v.Inside && ++failures <= 3)
                ADD_FAILURE() << "row " << row << " " << W << "x" << H << " at " << p << "% (seed " << seed
                              << "): pixel (" << x << "," << y << ") shows the " << (isNew ? "new" : "old")
                              << " picture, the rule says " << (v.Inside ? "new" : "old");
        }
    return failures == 0;
}

TEST(ShapeEffects, EveryRowMatchesTheModelAtEveryPercent) {
    // Landscape, portrait and odd sizes; the seeds are one even and one odd value.
    const int sizes[][2] = {{64, 48}, {48, 64}, {37, 23}};
    for (int row : ShapeRows()) {
        TTally tally;
        bool ok = true;
        for (const auto& s : sizes)
            for (int p = 1; p <= 99 && ok; p += (s[0] == 64 ? 1 : 4))
                for (std::uint32_t seed : {0x2468ACE0u, 0x13579BDFu})
                    if (seed % 2 == 0 || SeedMatters(row))
                        ok = ok && ExpectLikeModel(row, s[0], s[1], p, seed, tally);
        // The comparison must have judged most pixels, or it proves nothing (the small diamonds
        // and triangles of the grids are nearly all edge at these sizes).
        EXPECT_GT(tally.Judged, tally.Total * 4 / 10) << "row " << row << ": too few pixels away from edges";
    }
}

TEST(ShapeEffects, EveryRowMatchesTheModelOnVideoFrames) {
    for (int row : ShapeRows()) {
        TTally tally;
        for (int p : {3, 50, 97})
            if (!ExpectLikeModel(row, 640, 480, p, 7, tally))
                break;
        for (int p : {20, 80})
            if (!ExpectLikeModel(row, 240, 320, p, 8, tally))
                break;
        EXPECT_GT(tally.Judged, tally.Total * 9 / 10) << "row " << row;
    }
}

// Whatever the size, nothing is read or written outside the frame (the sanitizer build checks
// the memory) and every pixel is one of the two pictures at its own place; both ends show one
// picture whole.
TEST(ShapeEffects, TinyOddAndPortraitFramesStayInside) {
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {1, 7}, {7, 1}, {5, 11}, {19, 9}};
    for (int row : ShapeRows())
        for (const auto& s : sizes) {
            TTally tally;
            for (int p = 1; p <= 99; ++p)
                if (!ExpectLikeModel(row, s[0], s[1], p, 1, tally))
                    break;
            const TFrameBitmap start = Draw(row, s[0], s[1], 0), end = Draw(row, s[0], s[1], 100);
            for (int y = 0; y < s[1]; ++y)
                for (int x = 0; x < s[0]; ++x) {
                    ASSERT_TRUE(IsOld(start, x, y)) << "row " << row << " at 0%";
                    ASSERT_TRUE(IsNew(end, x, y)) << "row " << row << " at 100%";
                }
        }
}

int CountNew(const TFrameBitmap& d) {
    int n = 0;
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x)
            n += IsNew(d, x, y);
    return n;
}

TEST(Blinds, SlatsOfTheWorkedExample) {
    // 640 wide: n = 17, period 34; at 50 % each slat is 9 pixels either side of its centre
    // (17, 51, 85, ...), so columns 8..25 and 42..59 are uncovered.
    const TFrameBitmap d = Draw(137, 640, 480, 50);
    for (int y : {0, 200, 479}) {
        EXPECT_TRUE(IsOld(d, 7, y));
        EXPECT_TRUE(IsNew(d, 8, y));
        EXPECT_TRUE(IsNew(d, 25, y));
        EXPECT_TRUE(IsOld(d, 26, y));
        EXPECT_TRUE(IsOld(d, 41, y));
        EXPECT_TRUE(IsNew(d, 42, y));
        EXPECT_TRUE(IsNew(d, 59, y));
        EXPECT_TRUE(IsOld(d, 60, y));
    }
    // The last slat centre is 17 + 18 x 34 = 629: columns 620..637 new, 638 and 639 old.
    EXPECT_TRUE(IsOld(d, 619, 10));
    EXPECT_TRUE(IsNew(d, 620, 10));
    EXPECT_TRUE(IsNew(d, 637, 10));
    EXPECT_TRUE(IsOld(d, 638, 10));

    // Uneven blinds from the right at 50 % of 640x480: w = 320, slats 160 wide ending at 640 and 320.
    const TFrameBitmap r = Draw(140, 640, 480, 50);
    EXPECT_TRUE(IsOld(r, 159, 5));
    EXPECT_TRUE(IsNew(r, 160, 5));
    EXPECT_TRUE(IsNew(r, 319, 5));
    EXPECT_TRUE(IsOld(r, 479, 5));
    EXPECT_TRUE(IsNew(r, 480, 5));
    EXPECT_TRUE(IsNew(r, 639, 5));
}

TEST(Blinds, NothingWhileTheProgressSizeIsZeroOrTheFrameTooSmall) {
    // 40x30 at 1 %: w = MulDiv(40, 1, 100) = 0 and h = 0.
    for (int row : {139, 140, 141, 142, 146, 147, 148, 149})
        EXPECT_EQ(CountNew(Draw(row, 40, 30, 1)), 0) << "row " << row;
    // Bands need a twentieth of the side they are spread along.
    for (int p : {10, 50, 99}) {
        EXPECT_EQ(CountNew(Draw(146, 200, 19, p)), 0);
        EXPECT_EQ(CountNew(Draw(147, 200, 19, p)), 0);
        EXPECT_EQ(CountNew(Draw(148, 19, 200, p)), 0);
        EXPECT_EQ(CountNew(Draw(149, 19, 200, p)), 0);
        EXPECT_GT(CountNew(Draw(146, 200, 20, p)), 0);
        EXPECT_GT(CountNew(Draw(148, 20, 200, p)), 0);
    }
    // Rows 146-149: at 50 % of 200x100, n = 5, a = 3: the band about y = -5 + 15 = 10 covers
    // rows 7..12 across the whole frame, even where no slat is (w = 100, slats 0..49 and 100..149).
    const TFrameBitmap d = Draw(146, 200, 100, 50);
    EXPECT_TRUE(IsOld(d, 75, 6));
    EXPECT_TRUE(IsNew(d, 75, 7));
    EXPECT_TRUE(IsNew(d, 75, 12));
    EXPECT_TRUE(IsOld(d, 75, 13));
    EXPECT_TRUE(IsNew(d, 49, 50));
    EXPECT_TRUE(IsOld(d, 50, 50));
}

TEST(RandomSquares, CellsOnceShownStayAndTheGeneratorIsRestored) {
    constexpr int W = 320, H = 240; // cells of (240 div 50) x 2 + 2 = 10 pixels, 32 x 24 of them
    SetRandSeed(0xDEADBEEFu);
    TFrameBitmap previous = Draw(128, W, H, 1, 4242);
    EXPECT_EQ(GetRandSeed(), 0xDEADBEEFu) << "the program-wide generator must be left as it was";
    for (int p = 2; p <= 99; ++p) {
        const TFrameBitmap d = Draw(128, W, H, p, 4242);
        for (int y = 0; y < H; y += 10)
            for (int x = 0; x < W; x += 10)
                if (IsNew(previous, x, y)) {
                    ASSERT_TRUE(IsNew(d, x, y)) << "cell at (" << x << "," << y << ") vanished at " << p << "%";
                }
        if (p == 50) {
            const int cells = CountNew(d) / 100;
            EXPECT_GT(cells, 768 * 40 / 100);
            EXPECT_LT(cells, 768 * 60 / 100);
        }
        previous = d;
    }
    // Every frame replays the same draws whatever state the generator is in.
    SetRandSeed(12345);
    const TFrameBitmap again = Draw(128, W, H, 40, 4242);
    SetRandSeed(999);
    EXPECT_EQ(std::vector<std::uint32_t>(again.Pixels(), again.Pixels() + W * H),
              [&] {
                  const TFrameBitmap d = Draw(128, W, H, 40, 4242);
                  return std::vector<std::uint32_t>(d.Pixels(), d.Pixels() + W * H);
              }());
    // Another seed shows other cells.
    const TFrameBitmap other = Draw(128, W, H, 40, 4243);
    EXPECT_NE(std::vector<std::uint32_t>(again.Pixels(), again.Pixels() + W * H),
              std::vector<std::uint32_t>(other.Pixels(), other.Pixels() + W * H));
}

TEST(Sweep, FanStartsAtTwelveAndTurnsOneWayOrTheOther) {
    constexpr int W = 400, H = 300; // centre (200, 150)
    EXPECT_EQ(CountNew(Draw(144, W, H, 1)), 0) << "one point on the circle makes no fan";
    EXPECT_EQ(CountNew(Draw(145, W, H, 1)), 0);
    // At 25 % the last edge is 24 x 3.6 = 86.4 degrees from 12 o'clock.
    const TFrameBitmap cw = Draw(144, W, H, 25);
    EXPECT_TRUE(IsNew(cw, 210, 20));   // just right of 12 o'clock
    EXPECT_TRUE(IsNew(cw, 390, 20));   // towards the top right corner
    EXPECT_TRUE(IsNew(cw, 390, 125));  // 83 degrees
    EXPECT_TRUE(IsOld(cw, 390, 145));  // 88.5 degrees: past the last edge
    EXPECT_TRUE(IsOld(cw, 390, 160));  // below 3 o'clock
    EXPECT_TRUE(IsOld(cw, 190, 20));   // left of 12 o'clock
    const TFrameBitmap acw = Draw(145, W, H, 25);
    EXPECT_TRUE(IsNew(acw, 189, 20));
    EXPECT_TRUE(IsNew(acw, 10, 20));
    EXPECT_TRUE(IsOld(acw, 210, 20));
    EXPECT_TRUE(IsOld(acw, 10, 160));
}

TEST(RotatingShapes, TurnClockwiseForAnEvenSeedAndAnticlockwiseForAnOdd) {
    EXPECT_GT(PolygonEffects::RotationAngle(5, 2), 0);
    EXPECT_LT(PolygonEffects::RotationAngle(5, 3), 0);
    // 640x480 at 5 %: a 32 x 24 rectangle about (320, 240) turned by 18 degrees. Clockwise, its
    // top edge falls towards the right; anticlockwise it rises, uncovering (326, 227), and the
    // pixel as far below the centre swaps the other way.
    const TFrameBitmap even = Draw(150, 640, 480, 5, 1000), odd = Draw(150, 640, 480, 5, 1001);
    EXPECT_TRUE(IsOld(even, 326, 227));
    EXPECT_TRUE(IsNew(odd, 326, 227));
    EXPECT_TRUE(IsNew(even, 326, 252));
    EXPECT_TRUE(IsOld(odd, 326, 252));
    // Row 152 turns the rectangle (240, 180)-(400, 300) of 25 % about (w, h) = (160, 120): a
    // quarter turn clockwise takes it to x -20..99, y 200..359; anticlockwise to x 220..339,
    // y -120..39. Quarter turns leave the edges straight, so the inclusion rule is exact.
    const TFrameBitmap spiral = Draw(152, 640, 480, 25, 2), back = Draw(152, 640, 480, 25, 3);
    EXPECT_TRUE(IsNew(spiral, 0, 200));
    EXPECT_TRUE(IsNew(spiral, 99, 359));
    EXPECT_TRUE(IsOld(spiral, 100, 250));
    EXPECT_TRUE(IsOld(spiral, 50, 360));
    EXPECT_TRUE(IsOld(spiral, 50, 199));
    EXPECT_TRUE(IsOld(spiral, 320, 240));
    EXPECT_TRUE(IsNew(back, 220, 0));
    EXPECT_TRUE(IsNew(back, 339, 39));
    EXPECT_TRUE(IsOld(back, 340, 20));
    EXPECT_TRUE(IsOld(back, 300, 40));
    EXPECT_TRUE(IsOld(back, 50, 280));
}

TEST(RotatingShapes, StarTurnsAboutTheCentre) {
    // 640x480 at 25 %: w = 160, h = 120. Unturned, the star's arms reach from x = 0 to 640 and
    // from y = 0 to 480; a quarter turn puts the long arms upright (y -80..560) and the short
    // ones across (x 80..560). Either sense gives the same star, which has a half-turn symmetry.
    for (std::uint32_t seed : {10u, 11u}) {
        const TFrameBitmap d = Draw(151, 640, 480, 25, seed);
        EXPECT_TRUE(IsNew(d, 320, 240));
        EXPECT_TRUE(IsNew(d, 320, 20)) << "the long arm turned upright";
        EXPECT_TRUE(IsNew(d, 320, 470));
        EXPECT_TRUE(IsOld(d, 20, 240)) << "no arm reaches the left edge any more";
        EXPECT_TRUE(IsOld(d, 620, 240));
        EXPECT_TRUE(IsNew(d, 100, 240));
        EXPECT_TRUE(IsOld(d, 100, 100));
    }
    // At 50 % (a half turn) the star is as unturned: w = 320, h = 240, inner corners at
    // (160, 120), (480, 120), (480, 360), (160, 360); tips beyond the frame.
    const TFrameBitmap half = Draw(151, 640, 480, 50, 10);
    EXPECT_TRUE(IsOld(half, 0, 0));
    EXPECT_TRUE(IsOld(half, 639, 479));
    EXPECT_TRUE(IsNew(half, 100, 150));
    EXPECT_TRUE(IsNew(half, 0, 240));
    EXPECT_TRUE(IsNew(half, 320, 0));
}

TEST(PolygonReveals, WorkedExamplesOfSingleRows) {
    // Row 114 at 99 %: w = 634; two triangles leave a sliver about the diagonal from the top
    // left to the bottom right corner.
    const TFrameBitmap sweep = Draw(114, 640, 480, 99);
    EXPECT_TRUE(IsOld(sweep, 320, 240));
    EXPECT_TRUE(IsNew(sweep, 300, 240));
    EXPECT_TRUE(IsNew(sweep, 340, 240));

    // Row 166 at 1 %: the diamond reaches from (-314, 240) to (320, -235): the frame's corners
    // lie just outside it and are the only pixels uncovered.
    const TFrameBitmap diamond = Draw(166, 640, 480, 1);
    EXPECT_TRUE(IsNew(diamond, 0, 0));
    EXPECT_TRUE(IsNew(diamond, 639, 0));
    EXPECT_TRUE(IsNew(diamond, 0, 479));
    EXPECT_TRUE(IsNew(diamond, 639, 479));
    EXPECT_TRUE(IsOld(diamond, 10, 10));
    EXPECT_TRUE(IsOld(diamond, 320, 240));
    EXPECT_LT(CountNew(diamond), 100);

    // Row 162 on a frame less than 10 pixels wide: step 0 puts all 24 points on the left edge.
    for (int p = 1; p <= 99; ++p)
        ASSERT_EQ(CountNew(Draw(162, 9, 40, p)), 0) << p;

    // Row 110 at 25 % of 400x300 (w = 100, h = 75): the triangle (0,0), (200,0), (0,150)
    // includes its top edge and its left edge, not beyond its hypotenuse.
    const TFrameBitmap corner = Draw(110, 400, 300, 25);
    EXPECT_TRUE(IsNew(corner, 0, 0));
    EXPECT_TRUE(IsNew(corner, 196, 0));
    EXPECT_TRUE(IsOld(corner, 202, 0));
    EXPECT_TRUE(IsNew(corner, 0, 146));
    EXPECT_TRUE(IsOld(corner, 0, 151));
    EXPECT_TRUE(IsOld(corner, 101, 76));
    EXPECT_TRUE(IsNew(corner, 98, 73));
}

TEST(CurvedReveals, WorkedExamplesOfSingleRows) {
    // Row 84 at 50 % of 640x480: almost an ellipse through the edge midpoints.
    const TFrameBitmap out = Draw(84, 640, 480, 50);
    EXPECT_TRUE(IsNew(out, 320, 240));
    EXPECT_TRUE(IsNew(out, 2, 240));
    EXPECT_TRUE(IsNew(out, 320, 2));
    EXPECT_TRUE(IsOld(out, 0, 0));
    EXPECT_TRUE(IsOld(out, 40, 40));
    // Row 85 at 1 % leaves the old picture over the whole frame (the ellipse still holds the
    // corners); at 50 % the corners are uncovered and the middle is still old.
    EXPECT_EQ(CountNew(Draw(85, 640, 480, 1)), 0);
    const TFrameBitmap in = Draw(85, 640, 480, 50);
    EXPECT_TRUE(IsNew(in, 0, 0));
    EXPECT_TRUE(IsNew(in, 639, 479));
    EXPECT_TRUE(IsOld(in, 320, 240));
    // Row 58 at 50 % of 200x100: the front's tip is at x = 2w = 200 on the middle row, its top
    // and bottom corners still far behind.
    const TFrameBitmap left = Draw(58, 200, 100, 50);
    EXPECT_TRUE(IsNew(left, 198, 50));
    EXPECT_TRUE(IsNew(left, 5, 1));
    EXPECT_TRUE(IsOld(left, 100, 0));
    EXPECT_TRUE(IsOld(left, 100, 99));
    // Row 83 grows a quarter ellipse from the bottom right corner.
    const TFrameBitmap corner = Draw(83, 640, 480, 30);
    EXPECT_TRUE(IsNew(corner, 639, 479));
    EXPECT_TRUE(IsOld(corner, 0, 0));
    EXPECT_TRUE(IsOld(corner, 639, 0));
}

TEST(GridShreds, ShapesGrowAboutTheCellCentres) {
    // 200x100: n = 11, cells of 22. Rectangular shred at 50 %: a = 6, squares 5..16 in each cell.
    const TFrameBitmap squares = Draw(143, 200, 100, 50);
    EXPECT_TRUE(IsOld(squares, 4, 4));
    EXPECT_TRUE(IsNew(squares, 5, 5));
    EXPECT_TRUE(IsNew(squares, 16, 16));
    EXPECT_TRUE(IsOld(squares, 17, 10));
    EXPECT_TRUE(IsNew(squares, 27, 27));
    // Circular shred at 99 %: radius MulDiv(33, 99, 200) = 16 covers every cell of 22.
    EXPECT_EQ(CountNew(Draw(153, 200, 100, 99)), 200 * 100);
    // Diamond shred at 99 % (b = 22) covers the frame too; at 25 % (b = 6) the cell corners are old.
    EXPECT_EQ(CountNew(Draw(164, 200, 100, 99)), 200 * 100);
    const TFrameBitmap diamonds = Draw(164, 200, 100, 25);
    EXPECT_TRUE(IsNew(diamonds, 11, 11));
    EXPECT_TRUE(IsOld(diamonds, 0, 0));
    EXPECT_TRUE(IsOld(diamonds, 22, 22));
    // Triangular shred: triangles point down from the top of their cells (cw = 21, ch = 11).
    const TFrameBitmap triangles = Draw(118, 200, 100, 25);
    EXPECT_TRUE(IsNew(triangles, 21, 8));   // triangle (10, 5), (21, 17), (32, 5)
    EXPECT_TRUE(IsOld(triangles, 21, 3));
    EXPECT_TRUE(IsOld(triangles, 14, 14));
}

} // namespace
