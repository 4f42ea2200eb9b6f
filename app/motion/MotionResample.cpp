#include "app/motion/MotionResample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr int WeightBits = 12;
constexpr int WeightOne = 1 << WeightBits;
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
TAxisTaps AxisTaps(int from, int to, double scale, double offset, int size, int multiple) {
    TAxisTaps axis;
    const double radius = std::max(scale, 1.0);
    const int wanted = int(std::floor(2 * radius)) + 2; // squares an open interval of 2 radius overlaps
    axis.Taps = std::min(size, (wanted + multiple - 1) / multiple * multiple);
    const int count = std::max(to - from, 0);
    axis.First.resize(std::size_t(count));
    axis.Weights.assign(std::size_t(count) * std::size_t(axis.Taps), 0);
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
            out[k] = std::int16_t(std::lround(w[std::size_t(k)] * WeightOne));
            total += out[k];
            if (out[k] > out[biggest])
                biggest = k;
        }
        out[biggest] = std::int16_t(out[biggest] + WeightOne - total); // exactly one in sum
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
} // namespace

void ResampleTent(const TFrameBitmap& picture, const TResampleMap& map, TFrameBitmap& frame, int left, int top, int right,
                  int bottom) {
    if (picture.Empty() || right <= left || bottom <= top)
        return;
    const TAxisTaps xs = AxisTaps(left, right, map.ScaleX, map.OffsetX, picture.Width(), 2);
    const TAxisTaps ys = AxisTaps(top, bottom, map.ScaleY, map.OffsetY, picture.Height(), 1);
    // Vertical pass first, over the picture columns in view only (straight runs the compiler
    // vectorises), into one row; then the horizontal pass from that row.
    const int colFirst = xs.First.front();
    const int colLast = xs.First.back() + xs.Taps;
    const std::size_t lane = std::size_t(colLast - colFirst) * 4;
    thread_local std::vector<std::int32_t> sum;
    thread_local std::vector<std::int16_t> row;
    sum.resize(lane);
    row.assign(lane + 8 * std::size_t(xs.Taps), 0); // a tail for the pairs beyond a small picture
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
