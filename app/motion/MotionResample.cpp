#include "app/motion/MotionResample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/Primitives.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define PIXAROLL_TENT_AVX2 1
#endif

namespace {
constexpr int WeightBits = 12;
constexpr int RowBits = 7; // the vertical pass's values: 8.7 fixed point, so they stay signed 16 bits

// The taps of every output position along one axis: Taps weights from First on, clamped into
// the picture (weights of taps beyond an edge fold onto the edge pixel).
struct TAxisTaps {
    int Taps = 0;
    std::vector<int> First;
    std::vector<std::int16_t> Weights; // Taps per position
};

// Share of a tent of radius r (area one) from -infinity to u.
double TentBelow(double u, double r) {
    if (u <= -r)
        return 0;
    if (u >= r)
        return 1;
    return u <= 0 ? (u + r) * (u + r) / (2 * r * r) : 1 - (r - u) * (r - u) / (2 * r * r);
}

// Each picture pixel counts as the square it covers; an output pixel takes from each the part
// of its tent over that square. The tent is as wide as the output spacing on the picture, so
// the tents of neighbouring outputs add up to one everywhere: a picture pixel hands out exactly
// its own weight, its centre stays where it was at any phase, and a gliding detail never
// wobbles. Without normalising per output: the squares tile the line, so the shares add up to one.
TAxisTaps AxisTaps(int from, int to, double scale, double offset, int size, int multiple, int bits = WeightBits) {
    const int one = 1 << bits;
    TAxisTaps axis;
    const double radius = std::max(scale, 1.0);
    const int wanted = int(std::floor(2 * radius)) + 2; // squares an open interval of 2 radius overlaps
    axis.Taps = std::min(size, (wanted + multiple - 1) / multiple * multiple);
    const int count = std::max(to - from, 0);
    axis.First.resize(std::size_t(count));
    // Taps is odd only where the picture is narrower than the filter (then every output starts
    // at its first pixel): the pairs of the portable path read one weight beyond the last
    // output's, which is here and zero (as is the row's tail it multiplies).
    axis.Weights.assign(std::size_t(count) * std::size_t(axis.Taps) + std::size_t(multiple), 0);
    std::vector<double> w(std::size_t(axis.Taps));
    for (int o = 0; o < count; ++o) {
        const double centre = scale * (from + o + 0.5) + offset - 0.5; // in pixel indices
        const int lo = int(std::floor(centre - radius - 0.5)) + 1;
        const int hi = int(std::ceil(centre + radius + 0.5));
        const int first = std::clamp(lo, 0, std::max(size - axis.Taps, 0));
        std::fill(w.begin(), w.end(), 0.0);
        for (int i = lo; i <= hi; ++i) {
            const double share = TentBelow(i + 0.5 - centre, radius) - TentBelow(i - 0.5 - centre, radius);
            if (share <= 0)
                continue;
            const int at = std::clamp(std::clamp(i, 0, size - 1) - first, 0, axis.Taps - 1);
            w[std::size_t(at)] += share;
        }
        std::int16_t* out = &axis.Weights[std::size_t(o) * std::size_t(axis.Taps)];
        int total = 0, biggest = 0;
        for (int k = 0; k < axis.Taps; ++k) {
            out[k] = std::int16_t(std::lround(w[std::size_t(k)] * one));
            total += out[k];
            if (out[k] > out[biggest])
                biggest = k;
        }
        out[biggest] = std::int16_t(out[biggest] + one - total); // exactly one in sum
        axis.First[std::size_t(o)] = first;
    }
    return axis;
}

// One output pixel from taps pairs of 8.7 values (four channels each) and their weights.
inline std::uint32_t Across(const std::int16_t* p, const std::int16_t* w, int taps) {
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (int k = 0; k < taps; k += 2, p += 8) {
        const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); // b0 g0 r0 x0 b1 g1 r1 x1
        const __m128i pairs = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8));   // b0 b1 g0 g1 r0 r1 x0 x1
        const __m128i weights = _mm_set1_epi32(int(std::uint16_t(w[k])) | int(std::uint32_t(std::uint16_t(w[k + 1])) << 16));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(pairs, weights));
    }
    constexpr int Down = WeightBits + RowBits;
    sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(1 << (Down - 1))), Down);
    const __m128i words = _mm_packs_epi32(sum, sum);
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
#else
    std::int32_t a[4] = {0, 0, 0, 0};
    for (int k = 0; k < taps; ++k, p += 4)
        for (int c = 0; c < 4; ++c)
            a[c] += w[k] * p[c];
    constexpr int Down = WeightBits + RowBits;
    std::uint32_t pixel = 0;
    for (int c = 0; c < 4; ++c)
        pixel |= std::uint32_t(std::clamp((a[c] + (1 << (Down - 1))) >> Down, 0, 255)) << (8 * c);
    return pixel;
#endif
}

// The vector path keeps every value in 16 bits: weights of 1.14 fixed point (one still fits),
// each product rounded by the multiply (an error of at most 1/128 of a level per tap), so a
// register holds sixteen channel values instead of eight sums.
constexpr int VectorWeightBits = 14;

#if PIXAROLL_TENT_AVX2

// One row of the vertical pass: n channel values of the rows at src (taps of them, weights w)
// into 8.7 fixed point at out. Fixed, when not zero, is the number of taps known in advance
// (four at the scales a moving photo is drawn at): its weights are then broadcast once per row
// instead of once per 32 values (out might overlap w as far as the compiler knows).
template <int Fixed>
__attribute__((target("avx2"))) void DownAvx2(const std::uint8_t* const* src, const std::int16_t* w, int taps,
                                              std::int16_t* out, std::size_t n) {
    const int count = Fixed ? Fixed : taps;
    __m256i fixedWeights[Fixed ? Fixed : 1];
    if constexpr (Fixed != 0)
        for (int k = 0; k < Fixed; ++k)
            fixedWeights[k] = _mm256_set1_epi16(w[k]);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i a = _mm256_setzero_si256(), b = _mm256_setzero_si256();
        for (int k = 0; k < count; ++k) {
            __m256i wk;
            if constexpr (Fixed != 0)
                wk = fixedWeights[k];
            else
                wk = _mm256_set1_epi16(w[k]);
            const __m256i x0 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src[k] + i)));
            const __m256i x1 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src[k] + i + 16)));
            a = _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_slli_epi16(x0, 7), wk));
            b = _mm256_add_epi16(b, _mm256_mulhrs_epi16(_mm256_slli_epi16(x1, 7), wk));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_slli_epi16(a, 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 16), _mm256_slli_epi16(b, 1));
    }
    for (; i < n; ++i) { // the same arithmetic, one value at a time
        int sum = 0;
        for (int k = 0; k < taps; ++k)
            sum += ((src[k][i] << 7) * w[k] + (1 << 14)) >> 15;
        out[i] = std::int16_t(sum << 1);
    }
}

// One frame pixel of the horizontal pass: taps (a multiple of four) pixels of the 8.7 row at p,
// each weight repeated for the four channels in q; eight 8.6 values, two per channel, to add.
__attribute__((target("avx2"), always_inline)) inline __m128i PixelAvx2(const std::int16_t* p, const std::int16_t* q, int taps) {
    __m256i sum = _mm256_setzero_si256();
    for (int k = 0; k < taps; k += 4, p += 16, q += 16)
        sum = _mm256_add_epi16(sum, _mm256_mulhrs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q))));
    return _mm_add_epi16(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
}

// The horizontal pass from one 8.7 row: frame pixel x from the taps pixels at row + 4 * first[x].
__attribute__((target("avx2"))) void AcrossAvx2(const std::int16_t* row, const int* first, const std::int16_t* w, int taps,
                                                std::uint32_t* out, int count) {
    const __m128i half = _mm_set1_epi16(1 << 5);
    const std::size_t step = std::size_t(taps) * 4;
    int x = 0;
    for (; x + 2 <= count; x += 2) {
        const __m128i s0 = PixelAvx2(row + std::size_t(first[x]) * 4, w + std::size_t(x) * step, taps);
        const __m128i s1 = PixelAvx2(row + std::size_t(first[x + 1]) * 4, w + std::size_t(x + 1) * step, taps);
        __m128i s = _mm_add_epi16(_mm_unpacklo_epi64(s0, s1), _mm_unpackhi_epi64(s0, s1));
        s = _mm_srai_epi16(_mm_add_epi16(s, half), 6); // 8.6 fixed point after the multiply
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(s, s));
    }
    if (x < count) {
        __m128i s = PixelAvx2(row + std::size_t(first[x]) * 4, w + std::size_t(x) * step, taps);
        s = _mm_add_epi16(s, _mm_srli_si128(s, 8));
        s = _mm_srai_epi16(_mm_add_epi16(s, half), 6);
        out[x] = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(s, s)));
    }
}

// The products of one frame pixel's four taps (four channels each) and their weights, not yet added.
__attribute__((target("avx2"), always_inline)) inline __m256i FourTapProductsAvx2(const std::int16_t* p, const std::int16_t* q) {
    return _mm256_mulhrs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)));
}

// The horizontal pass with four taps: four frame pixels at a time, the products of each pixel's
// taps 0 and 1 and of its taps 2 and 3 in the two halves of one register; the halves of two
// pixels are brought together across the lanes, then the taps added (the same sums as above).
__attribute__((target("avx2"))) void AcrossFourTapsAvx2(const std::int16_t* row, const int* first, const std::int16_t* w,
                                                        std::uint32_t* out, int count) {
    const __m256i half = _mm256_set1_epi16(1 << 5);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 0, 4, 1, 5);
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m256i a = FourTapProductsAvx2(row + std::size_t(first[x]) * 4, w + std::size_t(x) * 16),
                      b = FourTapProductsAvx2(row + std::size_t(first[x + 1]) * 4, w + std::size_t(x + 1) * 16),
                      c = FourTapProductsAvx2(row + std::size_t(first[x + 2]) * 4, w + std::size_t(x + 2) * 16),
                      d = FourTapProductsAvx2(row + std::size_t(first[x + 3]) * 4, w + std::size_t(x + 3) * 16);
        // [a taps 0+2, a taps 1+3 | b taps 0+2, b taps 1+3], and the same of c and d
        const __m256i ab = _mm256_add_epi16(_mm256_permute2x128_si256(a, b, 0x20), _mm256_permute2x128_si256(a, b, 0x31));
        const __m256i cd = _mm256_add_epi16(_mm256_permute2x128_si256(c, d, 0x20), _mm256_permute2x128_si256(c, d, 0x31));
        // [a, c | b, d], four channels each
        __m256i sum = _mm256_add_epi16(_mm256_unpacklo_epi64(ab, cd), _mm256_unpackhi_epi64(ab, cd));
        sum = _mm256_srai_epi16(_mm256_add_epi16(sum, half), 6);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(sum, sum), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(bytes));
    }
    if (x < count)
        AcrossAvx2(row, first + x, w + std::size_t(x) * 16, 4, out + x, count - x);
}

// The horizontal weights with each one repeated for the four channels.
std::vector<std::int16_t> FourChannelWeights(const TAxisTaps& axis) {
    std::vector<std::int16_t> out(axis.Weights.size() * 4);
    for (std::size_t i = 0; i < axis.Weights.size(); ++i)
        for (int c = 0; c < 4; ++c)
            out[4 * i + std::size_t(c)] = axis.Weights[i];
    return out;
}
#endif
} // namespace

void ResampleTent(const TFrameBitmap& picture, const TResampleMap& map, TFrameBitmap& frame, int left, int top, int right,
                  int bottom) {
    if (picture.Empty() || right <= left || bottom <= top)
        return;
#if PIXAROLL_TENT_AVX2
    bool vector = AvxPathsEnabled();
#else
    bool vector = false;
#endif
    // Taps in fours for the vector path's horizontal pass; a small picture may have fewer and
    // takes the portable path.
    TAxisTaps xs = AxisTaps(left, right, map.ScaleX, map.OffsetX, picture.Width(), vector ? 4 : 2,
                            vector ? VectorWeightBits : WeightBits);
    if (vector && xs.Taps % 4 != 0) {
        vector = false;
        xs = AxisTaps(left, right, map.ScaleX, map.OffsetX, picture.Width(), 2);
    }
    const TAxisTaps ys =
        AxisTaps(top, bottom, map.ScaleY, map.OffsetY, picture.Height(), 1, vector ? VectorWeightBits : WeightBits);
    // Vertical pass first, over the picture columns in view only, into one row; then the
    // horizontal pass from that row.
    const int colFirst = xs.First.front();
    const int colLast = xs.First.back() + xs.Taps;
    const std::size_t lane = std::size_t(colLast - colFirst) * 4;
    thread_local std::vector<std::int32_t> sum;
    thread_local std::vector<std::int16_t> row;
    row.assign(lane + 8 * std::size_t(xs.Taps), 0); // a tail for the pairs beyond a small picture
#if PIXAROLL_TENT_AVX2
    if (vector) {
        const std::vector<std::int16_t> across = FourChannelWeights(xs);
        std::vector<int> first(xs.First.size());
        for (std::size_t x = 0; x < first.size(); ++x)
            first[x] = xs.First[x] - colFirst;
        std::vector<const std::uint8_t*> src(std::size_t(ys.Taps));
        for (int o = 0; o < bottom - top; ++o) {
            for (int k = 0; k < ys.Taps; ++k)
                src[std::size_t(k)] =
                    reinterpret_cast<const std::uint8_t*>(picture.Row(ys.First[std::size_t(o)] + k) + colFirst);
            const std::int16_t* down = &ys.Weights[std::size_t(o) * std::size_t(ys.Taps)];
            if (ys.Taps == 4)
                DownAvx2<4>(src.data(), down, 4, row.data(), lane);
            else
                DownAvx2<0>(src.data(), down, ys.Taps, row.data(), lane);
            std::uint32_t* out = frame.Row(top + o) + left;
            if (xs.Taps == 4)
                AcrossFourTapsAvx2(row.data(), first.data(), across.data(), out, right - left);
            else
                AcrossAvx2(row.data(), first.data(), across.data(), xs.Taps, out, right - left);
        }
        return;
    }
#endif
    sum.resize(lane);
    for (int o = 0; o < bottom - top; ++o) {
        std::fill(sum.begin(), sum.end(), 0);
        const std::int16_t* w = &ys.Weights[std::size_t(o) * std::size_t(ys.Taps)];
        for (int k = 0; k < ys.Taps; ++k) {
            const std::int32_t wk = w[k];
            if (wk == 0)
                continue;
            const auto* src = reinterpret_cast<const std::uint8_t*>(picture.Row(ys.First[std::size_t(o)] + k) + colFirst);
            std::int32_t* s = sum.data();
            for (std::size_t i = 0; i < lane; ++i)
                s[i] += wk * src[i];
        }
        constexpr int Down = WeightBits - RowBits, Half = 1 << (Down - 1);
        for (std::size_t i = 0; i < lane; ++i)
            row[i] = std::int16_t((sum[i] + Half) >> Down);
        std::uint32_t* out = frame.Row(top + o) + left;
        const std::int16_t* xw = xs.Weights.data();
        for (int x = 0; x < right - left; ++x, xw += xs.Taps)
            out[x] = Across(&row[std::size_t(xs.First[std::size_t(x)] - colFirst) * 4], xw, xs.Taps);
    }
}
