#include "effects/PixelEffects.h"

#include "effects/MulDiv.h"
#include "effects/Primitives.h"
#include "effects/Random.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

// Notation of every pixel effect: D the frame being built (holding the old picture on entry), I
// the new picture, W x H the frame, w x h the progress sizes, p the percent.
#define PIXEL_EFFECT(name)                                                                             \
    void name(TFrameBitmap& D, const TFrameBitmap& I, [[maybe_unused]] int W, [[maybe_unused]] int H, \
              [[maybe_unused]] int w, [[maybe_unused]] int h, [[maybe_unused]] int p)

namespace PixelEffects {

namespace {

using TPixel = std::uint32_t;

// The pixel effects address memory directly: a frame size that is not the bitmaps' own would
// make them read or write outside, so such a call draws nothing.
bool SizesAgree(const TFrameBitmap& D, const TFrameBitmap& I, int W, int H) {
    return W > 0 && H > 0 && D.Width() == W && D.Height() == H && I.Width() == W && I.Height() == H;
}

// Blend factors of blue, green and red (0..256); the fourth byte keeps its value.
struct TFactors {
    int Blue, Green, Red;
};

// The blend step on n pixels. old + floor(f x (new - old) / 256) is the same number as
// (old x (256 - f) + new x f) div 256, whose terms are never negative: sixteen bits hold it,
// so eight channels are blended at a time. A factor of 0 writes back the old value.
void BlendPixels(TPixel* __restrict d, const TPixel* __restrict s, std::size_t n, TFactors f) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i fw = _mm_set_epi16(0, short(f.Red), short(f.Green), short(f.Blue), 0, short(f.Red),
                                     short(f.Green), short(f.Blue));
    const __m128i gw = _mm_sub_epi16(_mm_set1_epi16(256), fw);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
        const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(o, zero), gw),
                                                        _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), fw)),
                                          8);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(o, zero), gw),
                                                        _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), fw)),
                                          8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i) {
        const TPixel o = d[i], v = s[i];
        const auto channel = [&](int shift, int factor) {
            return TPixel(BlendStep(int((o >> shift) & 0xFF), int((v >> shift) & 0xFF), factor)) << shift;
        };
        d[i] = (o & 0xFF000000u) | channel(16, f.Red) | channel(8, f.Green) | channel(0, f.Blue);
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
// The same sixteen channels at a time.
__attribute__((target("avx2"))) void BlendPixelsAvx2(TPixel* __restrict d, const TPixel* __restrict s, std::size_t n,
                                                     TFactors f) {
    std::size_t i = 0;
    const __m256i fw = _mm256_setr_epi16(short(f.Blue), short(f.Green), short(f.Red), 0, short(f.Blue), short(f.Green),
                                         short(f.Red), 0, short(f.Blue), short(f.Green), short(f.Red), 0,
                                         short(f.Blue), short(f.Green), short(f.Red), 0);
    const __m256i gw = _mm256_sub_epi16(_mm256_set1_epi16(256), fw);
    const __m256i zero = _mm256_setzero_si256();
    for (; i + 8 <= n; i += 8) {
        const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        // Unpacking and packing both work within 128-bit halves, so the pixel order is kept.
        const __m256i lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(o, zero), gw),
                                                              _mm256_mullo_epi16(_mm256_unpacklo_epi8(v, zero), fw)),
                                             8);
        const __m256i hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(o, zero), gw),
                                                              _mm256_mullo_epi16(_mm256_unpackhi_epi8(v, zero), fw)),
                                             8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_packus_epi16(lo, hi));
    }
    BlendPixels(d + i, s + i, n - i, f);
}
#endif

void BlendRun(TPixel* d, const TPixel* s, std::size_t n, TFactors f) {
#if defined(__GNUC__) && defined(__x86_64__)
    if (AvxPathsEnabled())
        return BlendPixelsAvx2(d, s, n, f);
#endif
    BlendPixels(d, s, n, f);
}

void BlendFrame(TFrameBitmap& D, const TFrameBitmap& I, TFactors f) {
    // Sixteen bits hold a blend only for factors up to 256.
    f = {std::clamp(f.Blue, 0, 256), std::clamp(f.Green, 0, 256), std::clamp(f.Red, 0, 256)};
    BlendRun(D.Pixels(), I.Pixels(), std::size_t(D.Width()) * std::size_t(D.Height()), f);
}

// The generator step S = S x 134775813 + 1 and the same step taken eight times at once, so that
// eight consecutive draws can be made side by side: S(k + 8) = A8 x S(k) + C8.
constexpr std::uint32_t RandMul = 134775813u;
constexpr std::uint32_t RandMul8 = [] {
    std::uint32_t a = 1;
    for (int i = 0; i < 8; ++i)
        a *= RandMul;
    return a;
}();
constexpr std::uint32_t RandAdd8 = [] {
    std::uint32_t c = 0;
    for (int i = 0; i < 8; ++i)
        c = c * RandMul + 1u;
    return c;
}();

// Random(100) < p for the state S the draw leaves is S x 100 < p x 2^32, that is S below
// ceil(p x 2^32 / 100). Percents outside 1..99 never reach an effect; they are held to it.
std::uint32_t DrawThreshold(int p) {
    const std::uint64_t q = std::uint64_t(std::clamp(p, 0, 99));
    return std::uint32_t(((q << 32) + 99) / 100);
}

// One row of Dissolve: pixel x takes the draw after state, state moves on by n draws. Eight
// pixels take their draws side by side (lanes hold eight consecutive states); the choice is a
// mask, not a branch, because the draws are random and a branch would be mispredicted half
// the time.
void DissolveRowPortable(TPixel* __restrict d, const TPixel* __restrict s, int n, std::uint32_t threshold,
                         std::uint32_t& state) {
    int x = 0;
    if (n >= 8) {
        std::uint32_t lane[8];
        std::uint32_t t = state;
        for (int j = 0; j < 8; ++j) {
            t = t * RandMul + 1u;
            lane[j] = t;
        }
        for (; x + 8 <= n; x += 8) {
            for (int j = 0; j < 8; ++j) {
                const TPixel m = TPixel(0) - TPixel(lane[j] < threshold);
                d[x + j] = (d[x + j] & ~m) | (s[x + j] & m);
            }
            state = lane[7];
            for (int j = 0; j < 8; ++j)
                lane[j] = lane[j] * RandMul8 + RandAdd8;
        }
    }
    for (; x < n; ++x) {
        state = state * RandMul + 1u;
        const TPixel m = TPixel(0) - TPixel(state < threshold);
        d[x] = (d[x] & ~m) | (s[x] & m);
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
#define PIXAROLL_AVX2_PIXELS 1
__attribute__((target("avx2"))) void DissolveRowAvx2(TPixel* __restrict d, const TPixel* __restrict s, int n,
                                                     std::uint32_t threshold, std::uint32_t& state) {
    int x = 0;
    if (n >= 8) {
        alignas(32) std::uint32_t first[8];
        std::uint32_t t = state;
        for (int j = 0; j < 8; ++j) {
            t = t * RandMul + 1u;
            first[j] = t;
        }
        __m256i lanes = _mm256_load_si256(reinterpret_cast<const __m256i*>(first));
        __m256i consumed = lanes;
        const __m256i mul = _mm256_set1_epi32(int(RandMul8)), add = _mm256_set1_epi32(int(RandAdd8));
        // Unsigned "state < threshold" as a signed comparison of both with the top bit flipped.
        const __m256i bias = _mm256_set1_epi32(int(0x80000000u));
        const __m256i limit = _mm256_set1_epi32(int(threshold ^ 0x80000000u));
        for (; x + 8 <= n; x += 8) {
            const __m256i take = _mm256_cmpgt_epi32(limit, _mm256_xor_si256(lanes, bias));
            __m256i* dst = reinterpret_cast<__m256i*>(d + x);
            const __m256i src = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x));
            _mm256_storeu_si256(dst, _mm256_blendv_epi8(_mm256_loadu_si256(dst), src, take));
            consumed = lanes;
            lanes = _mm256_add_epi32(_mm256_mullo_epi32(lanes, mul), add);
        }
        state = std::uint32_t(_mm256_extract_epi32(consumed, 7));
    }
    DissolveRowPortable(d + x, s + x, n - x, threshold, state);
}
#endif

void DissolveRow(TPixel* d, const TPixel* s, int n, std::uint32_t threshold, std::uint32_t& state) {
#ifdef PIXAROLL_AVX2_PIXELS
    if (AvxPathsEnabled())
        return DissolveRowAvx2(d, s, n, threshold, state);
#endif
    DissolveRowPortable(d, s, n, threshold, state);
}

// Picks with all bits set or none, per pixel: d = (d and not m) or (s and m).
void SelectPixels(TPixel* __restrict d, const TPixel* __restrict s, const TPixel* __restrict mask, int n) {
    for (int x = 0; x < n; ++x)
        d[x] = (d[x] & ~mask[x]) | (s[x] & mask[x]);
}

void Pivot(TFrameBitmap& D, const TFrameBitmap& I, int W, int H, int PX, int PY, double A) {
    if (!SizesAgree(D, I, W, H))
        return;
    RotateImage(D, I, PX, PY, A);
}

} // namespace

void BlendRect(TFrameBitmap& Display, const TFrameBitmap& Image, int Percent, int X, int Y, int RW, int RH) {
    const int f = std::clamp(MulDiv(256, Percent, 100), 0, 256);
    const int W = std::min(Display.Width(), Image.Width()), H = std::min(Display.Height(), Image.Height());
    const long long left = std::max(X, 0), right = std::min<long long>((long long)X + RW, W);
    const long long top = std::max(Y, 0), bottom = std::min<long long>((long long)Y + RH, H);
    if (left >= right || top >= bottom)
        return;
    for (long long y = top; y < bottom; ++y)
        BlendRun(Display.Row(int(y)) + left, Image.Row(int(y)) + left, std::size_t(right - left), {f, f, f});
}

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The k in [0, n) for which lo <= f0 + k x step < hi, as [first, last).
void LinearRange(std::int64_t f0, std::int64_t step, std::int64_t lo, std::int64_t hi, std::int64_t n,
                 std::int64_t& first, std::int64_t& last) {
    std::int64_t from = 0, to = n;
    if (step == 0) {
        if (f0 < lo || f0 >= hi)
            to = 0;
    } else if (step > 0) {
        from = -FloorDiv(f0 - lo, step); // ceil((lo - f0) / step)
        to = -FloorDiv(f0 - hi, step);   // ceil((hi - f0) / step)
    } else {
        from = FloorDiv(f0 - hi, -step) + 1;
        to = FloorDiv(f0 - lo, -step) + 1;
    }
    first = std::max(first, from);
    last = std::min(last, to);
}

// The run of a destination row of RotateImage whose sources lie inside the picture. The two
// fixed-point sums a = u x C - v x S and b = u x S + v x C grow by C and S per pixel; the
// source is inside when 0 <= PX + (a >> 16) < W and 0 <= PY + (b >> 16) < H, that is when
// -PX x 65536 <= a < (W - PX) x 65536 and likewise for b: both linear in x, so the pixels
// inside form one run, found before the loop. first, last and the sums at first come back.
bool InsideRun(int W, int H, int PX, int PY, std::int64_t C, std::int64_t S, std::int64_t& a, std::int64_t& b,
               std::int64_t& first, std::int64_t& last) {
    first = 0;
    last = W;
    LinearRange(a, C, -std::int64_t(PX) * 65536, (std::int64_t(W) - PX) * 65536, last, first, last);
    LinearRange(b, S, -std::int64_t(PY) * 65536, (std::int64_t(H) - PY) * 65536, last, first, last);
    a += first * C;
    b += first * S;
    return first < last;
}

// Pixels first .. last-1 of a destination row, every source inside: the source of the pixel
// is row H - 1 - t, column s, at offset (H - 1 - PY - (b >> 16)) x W + PX + (a >> 16).
void RotateRun(TPixel* d, const TPixel* image, std::int64_t first, std::int64_t last, std::int64_t a, std::int64_t b,
               std::int64_t C, std::int64_t S, std::int64_t origin, int W) {
    for (std::int64_t x = first; x < last; ++x, a += C, b += S)
        d[x] = image[origin - (b >> 16) * W + (a >> 16)];
}

#ifdef PIXAROLL_AVX2_PIXELS
// The same eight pixels at a time with 32-bit sums (exact for frames below RotateAvx2Limit)
// and the processor's gather.
constexpr int RotateAvx2Limit = 16000;

__attribute__((target("avx2"))) void RotateRunAvx2(TPixel* d, const TPixel* image, std::int64_t first,
                                                   std::int64_t last, std::int64_t a, std::int64_t b, std::int64_t C,
                                                   std::int64_t S, std::int64_t origin, int W) {
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i av = _mm256_add_epi32(_mm256_set1_epi32(int(a)), _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(C))));
    __m256i bv = _mm256_add_epi32(_mm256_set1_epi32(int(b)), _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(S))));
    const __m256i aStep = _mm256_set1_epi32(int(8 * C)), bStep = _mm256_set1_epi32(int(8 * S));
    const __m256i base = _mm256_set1_epi32(int(origin)), width = _mm256_set1_epi32(W);
    const int* pixels = reinterpret_cast<const int*>(image);
    std::int64_t x = first;
    for (; x + 8 <= last; x += 8) {
        const __m256i index = _mm256_add_epi32(
            _mm256_sub_epi32(base, _mm256_mullo_epi32(_mm256_srai_epi32(bv, 16), width)), _mm256_srai_epi32(av, 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), _mm256_i32gather_epi32(pixels, index, 4));
        av = _mm256_add_epi32(av, aStep);
        bv = _mm256_add_epi32(bv, bStep);
    }
    RotateRun(d, image, x, last, a + (x - first) * C, b + (x - first) * S, C, S, origin, W);
}
#endif

} // namespace

void RotateImage(TFrameBitmap& Display, const TFrameBitmap& Image, int PX, int PY, double A) {
    const int W = std::min(Display.Width(), Image.Width()), H = std::min(Display.Height(), Image.Height());
    const std::int64_t S = std::int64_t(std::trunc(std::sin(-A) * 65536.0));
    const std::int64_t C = std::int64_t(std::trunc(std::cos(-A) * 65536.0));
    auto run = RotateRun;
#ifdef PIXAROLL_AVX2_PIXELS
    if (AvxPathsEnabled() && W < RotateAvx2Limit && H < RotateAvx2Limit && std::abs(PX) < RotateAvx2Limit &&
        std::abs(PY) < RotateAvx2Limit)
        run = RotateRunAvx2;
#endif
    const std::int64_t origin = std::int64_t(H - 1 - PY) * W + PX;
    for (int y = 0; y < H; ++y) {
        // At x = 0: u = 1 - PX, v = H - PY - y.
        const std::int64_t u = 1 - std::int64_t(PX), v = std::int64_t(H) - PY - y;
        std::int64_t a = u * C - v * S, b = u * S + v * C, first, last;
        if (InsideRun(W, H, PX, PY, C, S, a, b, first, last))
            run(Display.Row(y), Image.Pixels(), first, last, a, b, C, S, origin, W);
    }
}

TChannelOrder ChannelMixOrder(std::uint32_t seed) {
    TStableRandom stable(seed);
    TChannelOrder order{};
    order.First = Random(3);
    do
        order.Second = Random(3);
    while (order.Second == order.First);
    order.Third = ~(order.First | order.Second) & 3;
    return order;
}

PIXEL_EFFECT(Fade) {
    if (!SizesAgree(D, I, W, H))
        return;
    const int f = MulDiv(256, p, 100);
    BlendFrame(D, I, {f, f, f});
}

PIXEL_EFFECT(PivotFromTopLeft) { Pivot(D, I, W, H, -1, -1, (100 - p) * std::numbers::pi / 200); }
PIXEL_EFFECT(PivotFromBottomLeft) { Pivot(D, I, W, H, -1, H, (p - 100) * std::numbers::pi / 200); }
PIXEL_EFFECT(PivotFromTopRight) { Pivot(D, I, W, H, W, -1, (p - 100) * std::numbers::pi / 200); }
PIXEL_EFFECT(PivotFromBottomRight) { Pivot(D, I, W, H, W, H, (100 - p) * std::numbers::pi / 200); }

// Zooms into the centre of the old picture until it breaks into blocks, blends over to the new
// picture at that zoom (41..59 %), then zooms back out of the new picture.
PIXEL_EFFECT(Pixelate) {
    if (!SizesAgree(D, I, W, H))
        return;
    const TFrameBitmap* source;
    int sx, sy;
    if (p <= 50) {
        source = &D;
        const int k = 180 - MulDiv(p, 82, 50);
        sx = MulDiv(w, k, 100);
        sy = MulDiv(h, k, 100);
    } else {
        source = &I;
        const int k = 180 + MulDiv(p - 100, 82, 50);
        sx = MulDiv(W - w, k, 100);
        sy = MulDiv(H - h, k, 100);
    }
    const int sw = std::max(W - 2 * sx, 2), sh = std::max(H - 2 * sy, 2);
    if (p >= 41 && p <= 59) {
        BlendRect(D, I, 5 * p - 200, sx, sy, sw, sh);
        source = &D;
    }
    Stretch(D, -2 * sx, -2 * sy, W + 4 * sx, H + 4 * sy, *source, sx, sy, sw, sh);
}

// Every pixel, in memory order from the bottom row up, takes one draw; the new picture's pixel
// appears where the draw is below p. The draws replay from the seed on every frame, so a pixel
// once shown stays shown as p grows.
PIXEL_EFFECT(Dissolve) {
    if (!SizesAgree(D, I, W, H))
        return;
    // The generator is replayed here without touching its program-wide state.
    std::uint32_t state = EffectSeed(I);
    const std::uint32_t threshold = DrawThreshold(p);
    for (int y = H - 1; y >= 0; --y)
        DissolveRow(D.Row(y), I.Row(y), W, threshold, state);
}

PIXEL_EFFECT(RandomBarsHorizontal) {
    if (!SizesAgree(D, I, W, H))
        return;
    TStableRandom stable(EffectSeed(I));
    for (int y = H - 1; y >= 0; --y)
        if (Random(100) < p)
            std::copy_n(I.Row(y), W, D.Row(y));
}

PIXEL_EFFECT(RandomBarsVertical) {
    if (!SizesAgree(D, I, W, H))
        return;
    std::vector<TPixel> mask(std::size_t(W), 0);
    {
        TStableRandom stable(EffectSeed(I));
        for (int x = 0; x < W; ++x)
            mask[std::size_t(x)] = Random(100) < p ? ~TPixel(0) : 0;
    }
    for (int y = 0; y < H; ++y)
        SelectPixels(D.Row(y), I.Row(y), mask.data(), W);
}

// The colour channels switch over one at a time, each in a third of the transition, in an
// order drawn from the seed (the same for every frame of a transition).
PIXEL_EFFECT(ChannelMix) {
    if (!SizesAgree(D, I, W, H))
        return;
    const TChannelOrder order = ChannelMixOrder(EffectSeed(I));
    int factor[3] = {0, 0, 0};
    if (p <= 33) {
        factor[order.First] = MulDiv(256, p, 33);
    } else if (p <= 66) {
        factor[order.First] = 256;
        factor[order.Second] = MulDiv(256, p - 33, 33);
    } else {
        factor[order.First] = factor[order.Second] = 256;
        factor[order.Third] = MulDiv(256, p - 66, 33);
    }
    BlendFrame(D, I, {factor[0], factor[1], factor[2]});
}

} // namespace PixelEffects
