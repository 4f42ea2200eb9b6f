// The pixel effects (fade, pivot, pixelate, dissolve, random bars, channel mix) against models
// written from their rules: per-channel blend arithmetic, the generator replayed in memory order
// from the bottom row up, the fixed-point inverse rotation, the pixelate phases. The models work
// pixel by pixel with no vector units, tiles or range shortcuts, and the effects run both with
// and without their vector paths.

#include "effects/Effects.h"
#include "effects/PixelEffects.h"
#include "effects/Primitives.h"
#include "effects/Random.h"
#include "effects/Transition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

namespace {

// The generator as its rule states it, independent of the program's.
struct TModelRandom {
    std::uint32_t S;
    int Next(int n) {
        S = S * 134775813u + 1u;
        return n <= 0 ? 0 : int((std::uint64_t(S) * std::uint32_t(n)) >> 32);
    }
};

// Product, quotient, rounded to nearest with halves away from zero.
int ModelMulDiv(int a, int b, int c) {
    const long long n = (long long)a * b;
    const long long q = (2 * std::llabs(n) + std::llabs(c)) / (2 * std::llabs(c));
    return (n < 0) != (c < 0) ? int(-q) : int(q);
}

int ModelBlend(int oldValue, int newValue, int f) {
    return oldValue + int(std::floor(double(f) * (newValue - oldValue) / 256.0));
}

int Channel(std::uint32_t pixel, int c) { return int((pixel >> (8 * c)) & 0xFF); }

// Pictures whose channels run through the whole range in different directions, and whose
// fourth bytes differ, so blends, copies and untouched channels can all be told apart.
TFrameBitmap OldPicture(int w, int h) {
    TFrameBitmap bmp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(x, y, 0x5A000000u | TFrameBitmap::MakePixel(std::uint8_t(x * 37 + y * 11), std::uint8_t(200 - x * 3),
                                                                      std::uint8_t(y * 53 + 7)));
    return bmp;
}

TFrameBitmap NewPicture(int w, int h, std::uint32_t seed = 0) {
    TFrameBitmap bmp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(x, y, 0xC3000000u | TFrameBitmap::MakePixel(std::uint8_t(255 - y * 29), std::uint8_t(x * 71 + 3),
                                                                      std::uint8_t(x * y + 90)));
    bmp.SetHandle(seed);
    return bmp;
}

// Runs a row's procedure as the slideshow does (old picture copied in first).
TFrameBitmap DrawRow(int row, const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture, int percent) {
    TFrameBitmap display(oldPicture.Width(), oldPicture.Height());
    DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
    return display;
}

// Compares whole frames, reporting the first few differing pixels.
void ExpectSameFrame(const TFrameBitmap& got, const TFrameBitmap& want, const std::string& what) {
    ASSERT_EQ(got.Width(), want.Width());
    ASSERT_EQ(got.Height(), want.Height());
    int failures = 0;
    for (int y = 0; y < got.Height() && failures < 5; ++y)
        for (int x = 0; x < got.Width() && failures < 5; ++x)
            if (got.Pixel(x, y) != want.Pixel(x, y)) {
                ++failures;
                ADD_FAILURE() << what << ": pixel (" << x << "," << y << ") is " << std::hex << got.Pixel(x, y)
                              << ", expected " << want.Pixel(x, y);
            }
}

// Runs body once with the vector paths and once without.
void WithAndWithoutVectorUnits(const std::function<void(const std::string&)>& body) {
    for (bool vector : {true, false}) {
        UseVectorUnits(vector);
        body(vector ? "vector" : "portable");
    }
    UseVectorUnits(true);
}

TFrameBitmap ModelBlendFrame(const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture, const int f[3]) {
    TFrameBitmap out = oldPicture;
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) {
            const std::uint32_t o = oldPicture.Pixel(x, y), n = newPicture.Pixel(x, y);
            std::uint32_t v = o & 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                v |= std::uint32_t(ModelBlend(Channel(o, c), Channel(n, c), f[c])) << (8 * c);
            out.SetPixel(x, y, v);
        }
    return out;
}

const int Sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {13, 9}, {9, 16}, {37, 21}};

} // namespace

TEST(PixelEffects, FadeBlendsEveryChannelAndLeavesTheFourthByte) {
    const TFrameBitmap oldPicture = OldPicture(37, 21), newPicture = NewPicture(37, 21);
    WithAndWithoutVectorUnits([&](const std::string& path) {
        for (int p : {1, 2, 33, 50, 77, 99}) {
            const int f = ModelMulDiv(256, p, 100);
            const int factors[3] = {f, f, f};
            ExpectSameFrame(DrawRow(119, oldPicture, newPicture, p), ModelBlendFrame(oldPicture, newPicture, factors),
                            path + " fade at " + std::to_string(p));
        }
    });
    // At 50 % every channel is old + floor(128 x (new - old) / 256): down from 200 to 45 gives 122.
    TFrameBitmap a(1, 1), b(1, 1);
    a.SetPixel(0, 0, 0x11C80A64u);
    b.SetPixel(0, 0, 0xEE2DF064u);
    const std::uint32_t got = DrawRow(119, a, b, 50).Pixel(0, 0);
    EXPECT_EQ(got, 0x117A7D64u) << std::hex << got; // red 200->45: 122, green 10->240: 125, blue 100: 100
}

TEST(PixelEffects, ChannelMixSwitchesOneChannelPerThirdInTheSeedsOrder) {
    const TFrameBitmap oldPicture = OldPicture(13, 9);
    std::vector<int> firsts;
    for (std::uint32_t seed : {0u, 1u, 7u, 12345u, 0xDEADBEEFu, 4096u}) {
        const TFrameBitmap newPicture = NewPicture(13, 9, seed);
        TModelRandom model{seed};
        const int first = model.Next(3);
        int second;
        do
            second = model.Next(3);
        while (second == first);
        const int third = 3 - first - second;
        firsts.push_back(first);
        const auto factorsAt = [&](int p) {
            std::vector<int> f(3, 0);
            if (p <= 33) {
                f[first] = ModelMulDiv(256, p, 33);
            } else if (p <= 66) {
                f[first] = 256;
                f[second] = ModelMulDiv(256, p - 33, 33);
            } else {
                f[first] = f[second] = 256;
                f[third] = ModelMulDiv(256, p - 66, 33);
            }
            return f;
        };
        SetRandSeed(99);
        WithAndWithoutVectorUnits([&](const std::string& path) {
            for (int p : {1, 20, 33, 34, 50, 66, 67, 90, 99}) {
                const std::vector<int> f = factorsAt(p);
                ExpectSameFrame(DrawRow(172, oldPicture, newPicture, p), ModelBlendFrame(oldPicture, newPicture, f.data()),
                                path + " channel mix seed " + std::to_string(seed) + " at " + std::to_string(p));
            }
        });
        EXPECT_EQ(GetRandSeed(), 99u) << "the generator was not restored";
        // The thresholds: one channel whole at 33, two at 66, all three at 99.
        const TFrameBitmap at33 = DrawRow(172, oldPicture, newPicture, 33), at66 = DrawRow(172, oldPicture, newPicture, 66);
        const TFrameBitmap at99 = DrawRow(172, oldPicture, newPicture, 99);
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t o = oldPicture.Pixel(4, 5), n = newPicture.Pixel(4, 5);
            EXPECT_EQ(Channel(at33.Pixel(4, 5), c), Channel(c == first ? n : o, c));
            EXPECT_EQ(Channel(at66.Pixel(4, 5), c), Channel(c == third ? o : n, c));
            EXPECT_EQ(Channel(at99.Pixel(4, 5), c), Channel(n, c));
        }
    }
    std::sort(firsts.begin(), firsts.end());
    EXPECT_NE(firsts.front(), firsts.back()) << "every seed switched the same channel first";
}

// Dissolve and the random bars replay the generator from the seed on every frame: the same
// percent gives the same picture, and what has appeared stays at every higher percent.
TEST(PixelEffects, DissolveAndRandomBarsFollowTheSeededDrawsFromTheBottomRowUp) {
    for (const auto& size : Sizes) {
        const int W = size[0], H = size[1];
        const std::uint32_t seed = 0x1234567u + std::uint32_t(W * 31 + H);
        const TFrameBitmap oldPicture = OldPicture(W, H), newPicture = NewPicture(W, H, seed);
        SetRandSeed(4242);
        WithAndWithoutVectorUnits([&](const std::string& path) {
            for (int p = 1; p < 100; p += (W * H > 100 ? 7 : 1)) {
                const std::string at = path + " " + std::to_string(W) + "x" + std::to_string(H) + " at " + std::to_string(p);
                TFrameBitmap dissolve = oldPicture, rows = oldPicture, columns = oldPicture;
                TModelRandom pixels{seed}, rowDraws{seed}, columnDraws{seed};
                std::vector<bool> columnShown(static_cast<std::size_t>(W));
                for (int x = 0; x < W; ++x)
                    columnShown[std::size_t(x)] = columnDraws.Next(100) < p;
                for (int y = H - 1; y >= 0; --y) {
                    const bool rowShown = rowDraws.Next(100) < p;
                    for (int x = 0; x < W; ++x) {
                        if (pixels.Next(100) < p)
                            dissolve.SetPixel(x, y, newPicture.Pixel(x, y));
                        if (rowShown)
                            rows.SetPixel(x, y, newPicture.Pixel(x, y));
                        if (columnShown[std::size_t(x)])
                            columns.SetPixel(x, y, newPicture.Pixel(x, y));
                    }
                }
                ExpectSameFrame(DrawRow(169, oldPicture, newPicture, p), dissolve, "dissolve " + at);
                ExpectSameFrame(DrawRow(170, oldPicture, newPicture, p), rows, "random rows " + at);
                ExpectSameFrame(DrawRow(171, oldPicture, newPicture, p), columns, "random columns " + at);
            }
        });
        EXPECT_EQ(GetRandSeed(), 4242u) << "the generator was not restored";
    }

    // Same percent twice, then every pixel shown stays shown.
    const TFrameBitmap oldPicture = OldPicture(64, 40), newPicture = NewPicture(64, 40, 77);
    for (int row : {169, 170, 171}) {
        TFrameBitmap before = DrawRow(row, oldPicture, newPicture, 1);
        int shownBefore = 0;
        for (int p = 1; p < 100; ++p) {
            const TFrameBitmap now = DrawRow(row, oldPicture, newPicture, p);
            ExpectSameFrame(DrawRow(row, oldPicture, newPicture, p), now, "row " + std::to_string(row) + " repeated");
            int shown = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 64; ++x) {
                    const bool isNew = now.Pixel(x, y) == newPicture.Pixel(x, y);
                    shown += isNew;
                    if (before.Pixel(x, y) == newPicture.Pixel(x, y)) {
                        ASSERT_TRUE(isNew) << "row " << row << ": pixel (" << x << "," << y << ") vanished at " << p;
                    }
                }
            EXPECT_GE(shown, shownBefore);
            shownBefore = shown;
            before = now;
        }
        EXPECT_GT(shownBefore, 64 * 40 * 9 / 10) << "row " << row << " shows too little at 99 %";
    }
}

// The inverse mapping with 16.16 fixed point, pixel by pixel as the rule states it.
TFrameBitmap ModelRotate(const TFrameBitmap& display, const TFrameBitmap& image, int PX, int PY, double A) {
    TFrameBitmap out = display;
    const int W = image.Width(), H = image.Height();
    const long long S = (long long)std::trunc(std::sin(-A) * 65536.0), C = (long long)std::trunc(std::cos(-A) * 65536.0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const long long u = x + 1 - PX, v = H - PY - y;
            const long long s = PX + ((u * C - v * S) >> 16), t = PY + ((u * S + v * C) >> 16);
            if (s >= 0 && s < W && t >= 0 && t < H)
                out.SetPixel(x, y, image.Pixel(int(s), int(H - 1 - t)));
        }
    return out;
}

TEST(PixelEffects, PivotTurnsTheNewPictureAboutItsCornerByInverseMapping) {
    struct TPivot {
        int Row, PX, PY, Sign; // pivot with W and H as -2 and -3 placeholders
    };
    const TPivot pivots[] = {{120, -1, -1, +1}, {121, -1, -3, -1}, {122, -2, -1, -1}, {123, -2, -3, +1}};
    for (const auto& size : {std::array<int, 2>{1, 1}, {2, 3}, {13, 9}, {9, 16}, {203, 151}}) {
        const int W = size[0], H = size[1];
        const TFrameBitmap oldPicture = OldPicture(W, H), newPicture = NewPicture(W, H);
        WithAndWithoutVectorUnits([&](const std::string& path) {
            for (const TPivot& pv : pivots)
                for (int p = 1; p < 100; p += (W > 100 ? 6 : 1)) {
                    const int PX = pv.PX == -2 ? W : pv.PX, PY = pv.PY == -3 ? H : pv.PY;
                    const double A = pv.Sign * (100 - p) * std::numbers::pi / 200;
                    ExpectSameFrame(DrawRow(pv.Row, oldPicture, newPicture, p), ModelRotate(oldPicture, newPicture, PX, PY, A),
                                    path + " row " + std::to_string(pv.Row) + " " + std::to_string(W) + "x" +
                                        std::to_string(H) + " at " + std::to_string(p));
                }
        });
    }

    // Unturned, the mapping is the identity shifted by one pixel: (x, y) shows (x + 1, y - 1),
    // and the top row and the right column, whose sources lie outside, keep the old picture.
    const TFrameBitmap oldPicture = OldPicture(20, 12), newPicture = NewPicture(20, 12);
    WithAndWithoutVectorUnits([&](const std::string& path) {
        for (const auto& pivot : {std::array<int, 2>{-1, -1}, {20, 12}, {-1, 12}}) {
            TFrameBitmap d = oldPicture;
            PixelEffects::RotateImage(d, newPicture, pivot[0], pivot[1], 0.0);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 20; ++x) {
                    const bool outside = y == 0 || x == 19;
                    ASSERT_EQ(d.Pixel(x, y), outside ? oldPicture.Pixel(x, y) : newPicture.Pixel(x + 1, y - 1))
                        << path << " pivot (" << pivot[0] << "," << pivot[1] << ") pixel (" << x << "," << y << ")";
                }
        }
    });

    // Row 120 at 50 % has turned the picture by 45 degrees about the bottom left corner: it
    // covers a wedge on the left, the top and bottom right corners still show the old picture.
    const TFrameBitmap big = DrawRow(120, OldPicture(80, 60), NewPicture(80, 60), 50);
    EXPECT_EQ(big.Pixel(5, 40) >> 24, 0xC3u);
    EXPECT_EQ(big.Pixel(78, 1) >> 24, 0x5Au);
    EXPECT_EQ(big.Pixel(78, 58) >> 24, 0x5Au);
}

// Pixelate: the zoom factors of the two halves, the blend percents of the middle phase and the
// stretch of the centre block, the frame itself read completely before it is written.
TEST(PixelEffects, PixelateZoomsInBlendsAndZoomsOutByPhase) {
    const auto model = [](const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture, int p) {
        const int W = oldPicture.Width(), H = oldPicture.Height();
        int w, h;
        ProgressSize(W, H, p, w, h);
        TFrameBitmap frame = oldPicture;
        bool fromNew;
        int sx, sy;
        if (p <= 50) {
            fromNew = false;
            const int k = 180 - ModelMulDiv(p, 82, 50);
            sx = ModelMulDiv(w, k, 100);
            sy = ModelMulDiv(h, k, 100);
        } else {
            fromNew = true;
            const int k = 180 + ModelMulDiv(p - 100, 82, 50);
            sx = ModelMulDiv(W - w, k, 100);
            sy = ModelMulDiv(H - h, k, 100);
        }
        const int sw = std::max(W - 2 * sx, 2), sh = std::max(H - 2 * sy, 2);
        if (p >= 41 && p <= 59) {
            const int f = ModelMulDiv(256, 5 * p - 200, 100);
            for (int y = std::max(sy, 0); y < std::min(sy + sh, H); ++y)
                for (int x = std::max(sx, 0); x < std::min(sx + sw, W); ++x) {
                    const std::uint32_t o = frame.Pixel(x, y), n = newPicture.Pixel(x, y);
                    std::uint32_t v = o & 0xFF000000u;
                    for (int c = 0; c < 3; ++c)
                        v |= std::uint32_t(ModelBlend(Channel(o, c), Channel(n, c), f)) << (8 * c);
                    frame.SetPixel(x, y, v);
                }
            fromNew = false;
        }
        const TFrameBitmap source = fromNew ? newPicture : frame; // a snapshot of the frame
        Stretch(frame, -2 * sx, -2 * sy, W + 4 * sx, H + 4 * sy, source, sx, sy, sw, sh);
        return frame;
    };
    for (const auto& size : Sizes) {
        const TFrameBitmap oldPicture = OldPicture(size[0], size[1]), newPicture = NewPicture(size[0], size[1]);
        for (int p = 1; p < 100; ++p)
            ExpectSameFrame(DrawRow(168, oldPicture, newPicture, p), model(oldPicture, newPicture, p),
                            "pixelate " + std::to_string(size[0]) + "x" + std::to_string(size[1]) + " at " +
                                std::to_string(p));
    }

    // 200x100 at 50 %: k = 98, so sx = MulDiv(100, 98, 100) = 98 and sy = 49; the 4 x 2 centre
    // block, blended half way, is stretched over (-196, -98) 592 x 296, so the frame shows its
    // middle 2 x 2 pixels, each 100 x 50 pixels large.
    const TFrameBitmap oldPicture = OldPicture(200, 100), newPicture = NewPicture(200, 100);
    const TFrameBitmap at50 = DrawRow(168, oldPicture, newPicture, 50);
    const int f50 = ModelMulDiv(256, 50, 100);
    for (const auto& probe : {std::array<int, 4>{0, 0, 99, 49}, {99, 49, 99, 49}, {100, 0, 100, 49}, {0, 50, 99, 50},
                              {199, 99, 100, 50}}) {
        const std::uint32_t o = oldPicture.Pixel(probe[2], probe[3]), n = newPicture.Pixel(probe[2], probe[3]);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(Channel(at50.Pixel(probe[0], probe[1]), c), ModelBlend(Channel(o, c), Channel(n, c), f50))
                << "(" << probe[0] << "," << probe[1] << ") channel " << c;
    }
    // Outside the blended phase the frame is one picture only: the old at 40, the new at 60.
    for (int p : {1, 40}) {
        const TFrameBitmap f = DrawRow(168, oldPicture, newPicture, p);
        EXPECT_EQ(f.Pixel(100, 50) >> 24, 0x5Au) << p;
    }
    for (int p : {60, 99}) {
        const TFrameBitmap f = DrawRow(168, oldPicture, newPicture, p);
        EXPECT_EQ(f.Pixel(100, 50) >> 24, 0xC3u) << p;
    }
}

// Every pixel effect at every percent on tiny, odd and portrait frames: nothing is read or
// written outside the bitmaps (the sanitizer build watches), and every channel lies between
// the old and the new picture's.
TEST(PixelEffects, EveryPercentStaysInsideTinyOddAndPortraitFrames) {
    const int rows[] = {119, 120, 121, 122, 123, 168, 169, 170, 171, 172};
    for (const auto& size : {std::array<int, 2>{1, 1}, {2, 3}, {3, 2}, {1, 7}, {7, 1}, {13, 9}, {9, 16}, {17, 33}}) {
        const int W = size[0], H = size[1];
        const TFrameBitmap oldPicture = OldPicture(W, H), newPicture = NewPicture(W, H, 3);
        for (int row : rows)
            WithAndWithoutVectorUnits([&](const std::string& path) {
                for (int p = 1; p < 100; ++p) {
                    const TFrameBitmap d = DrawRow(row, oldPicture, newPicture, p);
                    for (int y = 0; y < H; ++y)
                        for (int x = 0; x < W; ++x) {
                            // Pivot and pixelate move pixels: the channel must lie between some
                            // old and new values; the colour ramps make any value possible, so
                            // only the fourth byte tells whether a pixel came from nowhere.
                            const std::uint32_t top = d.Pixel(x, y) >> 24;
                            ASSERT_TRUE(top == 0x5Au || top == 0xC3u)
                                << path << " row " << row << " " << W << "x" << H << " at " << p << " (" << x << ","
                                << y << ")";
                        }
                }
            });
    }
}
