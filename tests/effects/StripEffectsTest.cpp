// The bar, criss cross, uneven shred and speckle rows against models of their geometry: bars
// as a closed rule per pixel (band parity, phase and mode), shreds and specks as rectangles
// painted into a mask with the generator's draws in the stated order. Every row is drawn as the
// slideshow draws it; every pixel must show the new picture exactly where the model says.

#include "effects/Effects.h"
#include "effects/Random.h"
#include "effects/Transition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

struct TModelRandom {
    std::uint32_t S;
    int Next(int n) {
        S = S * 134775813u + 1u;
        return n <= 0 ? 0 : int((std::uint64_t(S) * std::uint32_t(n)) >> 32);
    }
};

constexpr std::uint32_t OldColour = 0x11000011u, NewColour = 0x22000022u;

// Which pixels of a W x H frame show the new picture.
struct TMask {
    int W, H;
    std::vector<char> In;
    TMask(int w, int h) : W(w), H(h), In(std::size_t(w) * std::size_t(h), 0) {}
    void Paint(long long left, long long top, long long right, long long bottom) {
        for (long long y = std::max(top, 0LL); y < std::min(bottom, (long long)H); ++y)
            for (long long x = std::max(left, 0LL); x < std::min(right, (long long)W); ++x)
                In[std::size_t(y * W + x)] = 1;
    }
    bool At(int x, int y) const { return In[std::size_t(y) * std::size_t(W) + std::size_t(x)] != 0; }
};

// Draws row at p on plain pictures (the generator set to seed first) and compares with mask.
void ExpectRegion(int row, int W, int H, int p, std::uint32_t seed, const std::function<bool(int, int)>& shown) {
    TFrameBitmap oldPicture(W, H), newPicture(W, H), display(W, H);
    oldPicture.Fill(OldColour);
    newPicture.Fill(NewColour);
    SetRandSeed(seed);
    DrawTransitionFrame(display, oldPicture, newPicture, row, p);
    int failures = 0;
    for (int y = 0; y < H && failures < 5; ++y)
        for (int x = 0; x < W && failures < 5; ++x) {
            const bool want = shown(x, y);
            if (display.Pixel(x, y) != (want ? NewColour : OldColour)) {
                ++failures;
                ADD_FAILURE() << "row " << row << " " << W << "x" << H << " at " << p << "%: pixel (" << x << "," << y
                              << ") should show the " << (want ? "new" : "old") << " picture";
            }
        }
}

// The extents each row passes: 0, the progress size, or twice it.
enum TExtent { None, Single, Double };
int Extent(TExtent e, int progress) { return e == None ? 0 : e == Single ? progress : 2 * progress; }

struct TStripRow {
    int Row;
    TExtent X, Y;
    int HorzMode, VertMode;
};

const TStripRow BarRows[] = {
    {60, Double, None, 1, 0},    {61, Double, None, 2, 0},    {62, Double, None, 4, 0},    {63, Double, None, 5, 0},
    {64, Single, None, 3, 0},    {71, None, Double, 0, 1},    {72, None, Double, 0, 2},    {73, None, Double, 0, 4},
    {74, None, Double, 0, 5},    {75, None, Single, 0, 3},    {86, Double, Double, 1, 1},  {87, Double, Double, 1, 2},
    {88, Double, Double, 2, 1},  {89, Double, Double, 2, 2},  {90, Double, Double, 4, 4},  {91, Double, Double, 4, 5},
    {92, Double, Double, 5, 4},  {93, Double, Double, 5, 5},  {94, Single, Single, 1, 3},  {95, Single, Single, 2, 3},
    {96, Single, Single, 3, 1},  {97, Single, Single, 3, 2},  {98, Single, Single, 3, 3},
};

const TStripRow ShredRows[] = {
    {65, Single, None, 1, 0},    {66, Single, None, 2, 0},    {67, Single, None, 3, 0},    {68, Single, None, 4, 0},
    {76, None, Single, 0, 1},    {77, None, Single, 0, 2},    {78, None, Single, 0, 3},    {79, None, Single, 0, 4},
    {100, Single, Single, 1, 1}, {101, Single, Single, 1, 2}, {102, Single, Single, 2, 1}, {103, Single, Single, 2, 2},
    {104, Single, Single, 1, 3}, {105, Single, Single, 2, 3}, {106, Single, Single, 3, 1}, {107, Single, Single, 3, 2},
    {108, Single, Single, 3, 3}, {109, Single, Single, 4, 4},
};

const TStripRow SpeckleRows[] = {
    {124, Single, Single, 1, 0}, {125, Single, Single, 2, 0}, {126, Single, Single, 0, 1}, {127, Single, Single, 0, 2}};

// Bars along one axis, as a rule per pixel: `along` is the coordinate along the bars (x for the
// horizontal ones), `across` the one that picks the band, `length` the frame's side along them.
bool InBars(int along, int across, int extent, int length, int e, int mode) {
    if (mode == 0)
        return false;
    const bool even = (across / e) % 2 == 0;
    const bool fromFar = along >= length - extent, fromNear = along < extent; // right (bottom), left (top)
    if (extent <= length) {
        switch (mode) {
        case 1:
        case 5:
            return even && fromFar;
        case 2:
        case 4:
            return even && fromNear;
        default:
            return even ? fromFar : fromNear;
        }
    }
    if (even)
        return true; // the first phase is complete
    switch (mode) {
    case 1:
    case 4:
        return along >= 2 * length - extent;
    case 2:
    case 5:
        return along < extent - length;
    default:
        return false;
    }
}

bool InBarRegion(int x, int y, int W, int H, int X, int Y, int horzMode, int vertMode) {
    const int e = std::min(W, H) / 50 + 1;
    return InBars(x, y, X, W, e, horzMode) || InBars(y, x, Y, H, e, vertMode);
}

// Uneven shreds: one draw per strip, horizontal strips first.
TMask ShredMask(int W, int H, int X, int Y, int horzMode, int vertMode, TModelRandom& random) {
    TMask m(W, H);
    const int e = std::min(W, H) / 200 + 1, rw = W % e, rh = H % e, hw = W / 2, hh = H / 2;
    if (horzMode) {
        const int l = X < W ? W / 10 : 0;
        for (int y = 0; y < H; y += e) {
            const int r = random.Next(2 * l) - l + X, q = r / 2, b = y + e + rh;
            if (horzMode == 1)
                m.Paint(W - r, y, W, b);
            else if (horzMode == 2)
                m.Paint(0, y, r, b);
            else if (horzMode == 3)
                m.Paint(hw - q, y, hw + q, b);
            else {
                m.Paint(W - q, y, W, b);
                m.Paint(0, y, q, b);
            }
        }
    }
    if (vertMode) {
        const int l = Y < H ? H / 10 : 0;
        for (int x = 0; x < W; x += e) {
            const int r = random.Next(2 * l) + Y - l, q = r / 2, right = x + e + rw;
            if (vertMode == 1)
                m.Paint(x, H - r, right, H);
            else if (vertMode == 2)
                m.Paint(x, 0, right, r);
            else if (vertMode == 3)
                m.Paint(x, hh - q, right, hh + q);
            else {
                m.Paint(x, H - q, right, H);
                m.Paint(x, 0, right, q);
            }
        }
    }
    return m;
}

// Speckle sizes along a side: the speck size, how many specks lie ahead of the edge, and how far
// the near zone reaches.
struct TSpecks {
    int Size, Count, NearZone;
    TSpecks(int extent, int side) {
        const int g = extent < side ? side / 10 : 0;
        Size = std::max(g / 20, 2);
        Count = g / Size;
        NearZone = (3 * g) / (4 * Size);
    }
    bool Keep(int i, TModelRandom& random) const {
        const int r = random.Next(i);
        return i <= NearZone ? r <= 1 : r == 0;
    }
};

// Speckle: the solid part, then per row (column) of specks the draws for i = count down to 1.
TMask SpeckleMask(int W, int H, int X, int Y, int horzMode, int vertMode, TModelRandom& random) {
    TMask m(W, H);
    if (horzMode) {
        const TSpecks sp(X, W);
        const int s = sp.Size;
        for (int y = 0; y < H; y += s / 2) {
            const int solidLeft = horzMode == 1 ? W - X : 0, solidRight = horzMode == 1 ? W : X;
            m.Paint(solidLeft, y, solidRight, y + s);
            for (int i = sp.Count; i >= 1; --i)
                if (sp.Keep(i, random)) {
                    const int left = horzMode == 1 ? W - X - i * s : X + (i - 1) * s;
                    m.Paint(left, y, left + s, y + s);
                }
        }
    }
    if (vertMode) {
        const TSpecks sp(Y, H);
        const int s = sp.Size;
        for (int x = 0; x < W; x += s / 2) {
            const int solidTop = vertMode == 1 ? H - Y : 0, solidBottom = vertMode == 1 ? H : Y;
            m.Paint(x, solidTop, x + s, solidBottom);
            for (int i = sp.Count; i >= 1; --i)
                if (sp.Keep(i, random)) {
                    const int top = vertMode == 1 ? H - Y - i * s : Y + (i - 1) * s;
                    m.Paint(x, top, x + s, top + s);
                }
        }
    }
    return m;
}

const std::array<int, 2> Sizes[] = {{1, 1}, {2, 3}, {3, 2}, {1, 7}, {7, 1}, {13, 9}, {9, 16}, {203, 151}, {120, 410}};

int Step(int W, int H) { return W * H > 10000 ? 7 : 1; }

} // namespace

TEST(StripEffects, BarsFillTheEvenBandsThenTheOddOnesByMode) {
    for (const auto& size : Sizes) {
        const int W = size[0], H = size[1];
        for (int p = 1; p < 100; p += Step(W, H)) {
            int w, h;
            ProgressSize(W, H, p, w, h);
            for (const TStripRow& r : BarRows) {
                const int X = Extent(r.X, w), Y = Extent(r.Y, h);
                ExpectRegion(r.Row, W, H, p, 1, [&](int x, int y) { return InBarRegion(x, y, W, H, X, Y, r.HorzMode, r.VertMode); });
            }
            // Row 99: only where the bars from the bottom right and those from the top left meet.
            ExpectRegion(99, W, H, p, 1, [&](int x, int y) {
                return InBarRegion(x, y, W, H, 2 * w, 2 * h, 1, 1) && InBarRegion(x, y, W, H, 2 * w, 2 * h, 2, 2);
            });
        }
    }
}

TEST(StripEffects, BarPhasesMeetAtHalfWay) {
    // 200x100: bars 3 pixels thick. At 50 % (2w = W) every even band is complete and no odd band
    // has started; at 51 % (2w = 204) the odd bands reach 4 pixels in from the right.
    const auto pixelIsNew = [](int row, int p, int x, int y) {
        TFrameBitmap oldPicture(200, 100), newPicture(200, 100), display(200, 100);
        oldPicture.Fill(OldColour);
        newPicture.Fill(NewColour);
        DrawTransitionFrame(display, oldPicture, newPicture, row, p);
        return display.Pixel(x, y) == NewColour;
    };
    for (int x : {0, 100, 199}) {
        EXPECT_TRUE(pixelIsNew(60, 50, x, 2)); // band 0
        EXPECT_TRUE(pixelIsNew(60, 50, x, 6)); // band 2
        EXPECT_FALSE(pixelIsNew(60, 50, x, 3)); // band 1
    }
    EXPECT_TRUE(pixelIsNew(60, 51, 196, 4));
    EXPECT_FALSE(pixelIsNew(60, 51, 195, 4));
    // Row 64: odd bands from the left and even bands from the right, both w long (w = 60 at 30 %).
    EXPECT_TRUE(pixelIsNew(64, 30, 59, 4));
    EXPECT_FALSE(pixelIsNew(64, 30, 60, 4));
    EXPECT_TRUE(pixelIsNew(64, 30, 140, 1));
    EXPECT_FALSE(pixelIsNew(64, 30, 139, 1));
}

TEST(StripEffects, ShredsTakeOneDrawPerStripInOrder) {
    // 611x403: strips 3 thick, 2 columns and 1 row left over, so strips overlap by those.
    std::vector<std::array<int, 2>> sizes(std::begin(Sizes), std::end(Sizes));
    sizes.push_back({611, 403});
    for (const auto& size : sizes) {
        const int W = size[0], H = size[1];
        for (int p = 1; p < 100; p += W * H > 200000 ? 24 : Step(W, H)) {
            int w, h;
            ProgressSize(W, H, p, w, h);
            for (const TStripRow& r : ShredRows) {
                const std::uint32_t seed = std::uint32_t(p * 7919 + r.Row);
                TModelRandom random{seed};
                const TMask m = ShredMask(W, H, Extent(r.X, w), Extent(r.Y, h), r.HorzMode, r.VertMode, random);
                ExpectRegion(r.Row, W, H, p, seed, [&](int x, int y) { return m.At(x, y); });
                // The generator goes on from where the strips left it.
                ASSERT_EQ(GetRandSeed(), random.S) << "row " << r.Row << " " << W << "x" << H << " at " << p;
            }
        }
    }
    // A frame 10 pixels wide reaches w = W at 99 %: no jitter, every strip is whole.
    ExpectRegion(66, 10, 8, 99, 5, [](int, int) { return true; });
    ExpectRegion(65, 10, 8, 99, 5, [](int, int) { return true; });
}

TEST(StripEffects, SpecklesScatterAheadOfTheSolidEdge) {
    for (const auto& size : Sizes) {
        const int W = size[0], H = size[1];
        for (int p = 1; p < 100; p += Step(W, H)) {
            int w, h;
            ProgressSize(W, H, p, w, h);
            for (const TStripRow& r : SpeckleRows) {
                const std::uint32_t seed = std::uint32_t(p * 104729 + r.Row);
                TModelRandom random{seed};
                const TMask m = SpeckleMask(W, H, w, h, r.HorzMode, r.VertMode, random);
                ExpectRegion(r.Row, W, H, p, seed, [&](int x, int y) { return m.At(x, y); });
                ASSERT_EQ(GetRandSeed(), random.S) << "row " << r.Row << " " << W << "x" << H << " at " << p;
            }
        }
    }
    // 400x300 from the left: specks of 2 pixels, 20 of them ahead of the edge; the first two are
    // always kept (near zone), none lies further out than 40 pixels.
    TFrameBitmap oldPicture(400, 300), newPicture(400, 300), display(400, 300);
    oldPicture.Fill(OldColour);
    newPicture.Fill(NewColour);
    for (int p : {10, 45, 80}) {
        int w, h;
        ProgressSize(400, 300, p, w, h);
        DrawTransitionFrame(display, oldPicture, newPicture, 125, p);
        int scattered = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) {
                const bool isNew = display.Pixel(x, y) == NewColour;
                if (x < w + 4)
                    ASSERT_TRUE(isNew) << p << "%: (" << x << "," << y << ")";
                else if (x >= w + 40)
                    ASSERT_FALSE(isNew) << p << "%: (" << x << "," << y << ")";
                else
                    scattered += isNew;
            }
        EXPECT_GT(scattered, 0);
        EXPECT_LT(scattered, 36 * 300 / 2);
    }
    // Below 10 pixels there is nothing to scatter: specks of 2, none ahead, no draws.
    for (int p = 1; p < 100; ++p) {
        int w, h;
        ProgressSize(9, 6, p, w, h);
        ExpectRegion(125, 9, 6, p, 31337u, [&](int x, int) { return x < w; });
        EXPECT_EQ(GetRandSeed(), 31337u);
        ExpectRegion(126, 9, 6, p, 31337u, [&](int, int y) { return y >= 6 - h; });
        EXPECT_EQ(GetRandSeed(), 31337u);
    }
}
