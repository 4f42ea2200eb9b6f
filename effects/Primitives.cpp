#include "effects/Primitives.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace {

using TPixel = std::uint32_t;

// One axis of an unscaled copy after clipping: start in the destination, start in the source
// and the length that lies inside both.
struct TSpan {
    int Dst = 0, Src = 0, Len = 0;
};

TSpan ClipSpan(int dst, int src, int len, int dstLimit, int srcLimit) {
    std::int64_t d = dst, s = src, n = len;
    if (d < 0) {
        s -= d;
        n += d;
        d = 0;
    }
    if (s < 0) {
        d -= s;
        n += s;
        s = 0;
    }
    n = std::min({n, std::int64_t(dstLimit) - d, std::int64_t(srcLimit) - s});
    if (n <= 0)
        return {};
    return {int(d), int(s), int(n)};
}

// One axis of a stretch after clipping: destination positions First .. First+Src.size()-1 in
// increasing order, Src[k] the source position that destination First+k samples.
struct TAxisMap {
    int First = 0;
    std::vector<int> Src;

    bool Empty() const { return Src.empty(); }
    int Count() const { return int(Src.size()); }
    // The source positions run on one by one, as in an unscaled, unmirrored copy.
    bool IsShift() const {
        for (std::size_t k = 1; k < Src.size(); ++k)
            if (Src[k] != Src[k - 1] + 1)
                return false;
        return !Src.empty();
    }
};

// The destination block is dst .. dst+size-1 for size > 0, and dst+size+1 .. dst mirrored for
// size < 0. Destination i (counted from dst along the block) samples
// srcStart + floor((2i + 1) x srcSize / (2 |size|)).
TAxisMap MapAxis(int dst, int size, int srcStart, int srcSize, int dstLimit, int srcLimit) {
    TAxisMap map;
    const bool mirrored = size < 0;
    const std::int64_t n = mirrored ? -std::int64_t(size) : size;
    std::int64_t lo = mirrored ? std::int64_t(dst) - n + 1 : dst;
    std::int64_t hi = lo + n; // exclusive
    lo = std::max<std::int64_t>(lo, 0);
    hi = std::min<std::int64_t>(hi, dstLimit);
    if (hi <= lo)
        return map;
    auto sample = [&](std::int64_t pos) {
        std::int64_t i = mirrored ? std::int64_t(dst) - pos : pos - dst;
        return srcStart + (2 * i + 1) * srcSize / (2 * n);
    };
    // Samples are monotone along the axis, so the ones inside the source form one run.
    while (lo < hi && (sample(lo) < 0 || sample(lo) >= srcLimit))
        ++lo;
    while (hi > lo && (sample(hi - 1) < 0 || sample(hi - 1) >= srcLimit))
        --hi;
    map.First = int(lo);
    map.Src.reserve(std::size_t(hi - lo));
    for (std::int64_t pos = lo; pos < hi; ++pos)
        map.Src.push_back(int(sample(pos)));
    return map;
}

// Order in which destination rows can be written when the source is the display itself, so
// that no row is overwritten before every row sampling it has been drawn.
enum class TRowOrder { TopDown, BottomUp, NeedsSnapshot };

TRowOrder SafeRowOrder(const TAxisMap& rows) {
    const int first = rows.First, last = rows.First + rows.Count() - 1;
    bool topDown = true, bottomUp = true;
    for (int k = 0; k < rows.Count(); ++k) {
        const int r = first + k, s = rows.Src[k];
        if (s >= first && s < r) // already written when going down
            topDown = false;
        if (s <= last && s > r) // already written when going up
            bottomUp = false;
    }
    if (topDown)
        return TRowOrder::TopDown;
    if (bottomUp)
        return TRowOrder::BottomUp;
    return TRowOrder::NeedsSnapshot;
}

bool VectorUnitsAllowed = true;

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define PIXAROLL_AVX2_STRETCH 1
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#else
bool HasAvx2() { return false; }
#endif

// Draws one destination row span from one source row along a column map.
//  - A plain shift is one memcpy.
//  - With AVX2, every eight destination pixels whose samples lie within eight (or sixteen)
//    neighbouring source pixels are one (or two) loads and an in-register permutation: this
//    covers all enlargements and shrinks down to about half size; stronger shrinks gather.
//  - Otherwise enlargements fill runs of repeated source pixels with four-pixel stores, and
//    everything else samples pixel by pixel.
class TRowSampler {
public:
    TRowSampler(const TAxisMap& cols, int sourceWidth) : cols_(cols), count_(cols.Count()) {
        if (cols.IsShift()) {
            shift_ = true;
            return;
        }
        if (VectorUnitsAllowed && HasAvx2() && PlanGroups(sourceWidth))
            return;
        for (int k = 0; k < count_; ++k)
            if (k == 0 || cols.Src[k] != cols.Src[k - 1])
                runs_.push_back({cols.Src[k], k, 0});
        for (std::size_t j = 0; j < runs_.size(); ++j)
            runs_[j].Len = (j + 1 < runs_.size() ? runs_[j + 1].Dst : count_) - runs_[j].Dst;
        // Runs pay off once they average about two pixels.
        if (runs_.size() * 3 > std::size_t(count_) * 2)
            runs_.clear();
    }

    // dst points at the first destination pixel of the span, src at column 0 of a source row
    // of the full source width.
    void Draw(TPixel* __restrict dst, const TPixel* __restrict src) const {
        if (shift_)
            std::memcpy(dst, src + cols_.Src.front(), std::size_t(count_) * sizeof(TPixel));
#ifdef PIXAROLL_AVX2_STRETCH
        else if (!groups_.empty())
            DrawGroups(dst, src);
#endif
        else if (!runs_.empty())
            DrawRuns(dst, src);
        else
            Gather(dst, src, 0, count_);
    }

    // Draws the span of a row that is also its own source row. Forwards is safe when every
    // destination pixel samples itself or a pixel to its right, backwards when every one
    // samples itself or a pixel to its left: no sample is overwritten before it is read.
    void DrawInPlace(TPixel* row, TPixel* dst, bool backwards) const {
        if (shift_) {
            std::memmove(dst, row + cols_.Src.front(), std::size_t(count_) * sizeof(TPixel));
            return;
        }
        const int groups = int(groups_.size());
        if (!backwards)
            for (int g = 0; g < groups; ++g)
                DrawGroupInPlace(row, dst, g);
        for (int i = groups * 8; i < count_; ++i) {
            const int k = backwards ? count_ - 1 - (i - groups * 8) : i;
            dst[k] = row[cols_.Src[std::size_t(k)]];
        }
        if (backwards)
            for (int g = groups - 1; g >= 0; --g)
                DrawGroupInPlace(row, dst, g);
    }

private:
    struct TRun {
        int Src, Dst, Len;
    };
    // Eight destination pixels: Loads source blocks of eight pixels from Base (0: gathered
    // pixel by pixel), Index[k] the sample's offset from Base.
    struct TGroup {
        int Base, Loads;
    };

    // Plans the groups: a block load where the samples lie close together, the gather elsewhere.
    bool PlanGroups(int sourceWidth) {
        const int full = count_ / 8;
        groups_.resize(std::size_t(full));
        index_.resize(std::size_t(full) * 8);
        for (int g = 0; g < full; ++g) {
            const int* s = cols_.Src.data() + g * 8;
            const int lo = *std::min_element(s, s + 8), hi = *std::max_element(s, s + 8);
            TGroup& group = groups_[std::size_t(g)];
            group = {0, 0};
            for (int loads = 1; loads <= 2 && group.Loads == 0; ++loads) {
                // Near the end of the row the block starts earlier so that it stays inside.
                const int base = std::min(lo, sourceWidth - 8 * loads);
                if (base >= 0 && hi - base < 8 * loads)
                    group = {base, loads};
            }
            for (int k = 0; k < 8; ++k)
                index_[std::size_t(g) * 8 + k] = s[k] - group.Base;
        }
        return full > 0;
    }

    static void Store4(TPixel* dst, TPixel v) {
        const TPixel quad[4] = {v, v, v, v};
        std::memcpy(dst, quad, sizeof quad);
    }

#ifdef PIXAROLL_AVX2_STRETCH
    __attribute__((target("avx2"))) void DrawGroups(TPixel* __restrict dst, const TPixel* __restrict src) const {
        for (std::size_t g = 0; g < groups_.size(); ++g)
            DrawGroupVector(src, dst, int(g));
        Gather(dst, src, int(groups_.size()) * 8, count_);
    }
#endif

    // One group of eight read completely before it is written (only its samples matter, the
    // rest of the loaded block may already hold new pixels).
    void DrawGroupInPlace(TPixel* row, TPixel* dst, int g) const {
#ifdef PIXAROLL_AVX2_STRETCH
        if (!groups_.empty()) {
            DrawGroupVector(row, dst, g);
            return;
        }
#endif
        TPixel group[8];
        for (int k = 0; k < 8; ++k)
            group[k] = row[cols_.Src[std::size_t(g * 8 + k)]];
        std::memcpy(dst + g * 8, group, sizeof group);
    }

#ifdef PIXAROLL_AVX2_STRETCH
    __attribute__((target("avx2"))) void DrawGroupVector(const TPixel* src, TPixel* dst, int g) const {
        const TGroup group = groups_[std::size_t(g)];
        const int k = g * 8;
        if (group.Loads == 0) {
            // Samples too far apart for a block: the processor's gather.
            const __m256i columns = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols_.Src.data() + k));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k),
                                _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), columns, 4));
            return;
        }
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index_.data() + k));
        const TPixel* block = src + group.Base;
        __m256i out = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block)), index);
        if (group.Loads == 2) {
            const __m256i upper =
                _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 8)), index);
            out = _mm256_blendv_epi8(out, upper, _mm256_cmpgt_epi32(index, _mm256_set1_epi32(7)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), out);
    }
#endif

    void DrawRuns(TPixel* __restrict dst, const TPixel* __restrict src) const {
        for (const TRun& run : runs_) {
            const TPixel v = src[run.Src];
            int pos = run.Dst;
            const int end = run.Dst + run.Len;
            if (end + 3 <= count_) {
                // The last store may spill up to three pixels into the following runs, which
                // are drawn afterwards; it never passes the end of the span.
                do {
                    Store4(dst + pos, v);
                    pos += 4;
                } while (pos < end);
            } else {
                for (; pos < end; ++pos)
                    dst[pos] = v;
            }
        }
    }

    void Gather(TPixel* __restrict dst, const TPixel* __restrict src, int from, int to) const {
        const int* __restrict columns = cols_.Src.data();
        int k = from;
        for (; k + 4 <= to; k += 4) {
            const TPixel a = src[columns[k]], b = src[columns[k + 1]], c = src[columns[k + 2]], d = src[columns[k + 3]];
            dst[k] = a;
            dst[k + 1] = b;
            dst[k + 2] = c;
            dst[k + 3] = d;
        }
        for (; k < to; ++k)
            dst[k] = src[columns[k]];
    }

    const TAxisMap& cols_;
    const int count_;
    bool shift_ = false;
    std::vector<TRun> runs_;
    std::vector<TGroup> groups_;
    std::vector<std::int32_t> index_;
};

} // namespace

void Copy(TFrameBitmap& display, int x, int y, int width, int height, const TFrameBitmap& source, int sx, int sy) {
    if (width <= 0 || height <= 0)
        return;
    const TSpan cols = ClipSpan(x, sx, width, display.Width(), source.Width());
    const TSpan rows = ClipSpan(y, sy, height, display.Height(), source.Height());
    if (cols.Len <= 0 || rows.Len <= 0)
        return;
    const std::size_t bytes = std::size_t(cols.Len) * sizeof(TPixel);
    // Within one bitmap a copy downwards must start at the bottom so that no source row is
    // overwritten before it has been read; memmove covers the overlap inside a row.
    const bool upwards = &source == &display && rows.Dst > rows.Src;
    for (int k = 0; k < rows.Len; ++k) {
        const int j = upwards ? rows.Len - 1 - k : k;
        std::memmove(display.Row(rows.Dst + j) + cols.Dst, source.Row(rows.Src + j) + cols.Src, bytes);
    }
}

void Stretch(TFrameBitmap& display, int x, int y, int width, int height, const TFrameBitmap& source, int sx,
             int sy, int sw, int sh) {
    if (width == 0 || height == 0 || sw <= 0 || sh <= 0)
        return;
    const TAxisMap cols = MapAxis(x, width, sx, sw, display.Width(), source.Width());
    const TAxisMap rows = MapAxis(y, height, sy, sh, display.Height(), source.Height());
    if (cols.Empty() || rows.Empty())
        return;

    const bool self = &source == &display;
    const TRowOrder order = self ? SafeRowOrder(rows) : TRowOrder::TopDown;
    const TRowSampler sampler(cols, source.Width());
    const int count = cols.Count();
    const int sourceWidth = source.Width();

    // Source rows come from the bitmap, or from a snapshot of the sampled rows when the display
    // is its own source and no row order keeps the unread rows intact.
    std::vector<TPixel> snapshot;
    int snapTop = 0;
    if (order == TRowOrder::NeedsSnapshot) {
        snapTop = *std::min_element(rows.Src.begin(), rows.Src.end());
        const int snapBottom = *std::max_element(rows.Src.begin(), rows.Src.end()) + 1;
        snapshot.assign(source.Row(snapTop), source.Row(snapTop) + std::size_t(snapBottom - snapTop) * sourceWidth);
    }
    auto sourceRow = [&](int r) -> const TPixel* {
        if (!snapshot.empty())
            return snapshot.data() + std::size_t(r - snapTop) * sourceWidth;
        return source.Row(r);
    };

    // A row that is its own source is drawn in place when the samples allow it, else from a copy.
    enum class TInPlace { No, Forwards, Backwards };
    TInPlace inPlace = TInPlace::No;
    if (self) {
        bool forwards = true, backwards = true;
        for (int k = 0; k < count; ++k) {
            forwards = forwards && cols.Src[std::size_t(k)] >= cols.First + k;
            backwards = backwards && cols.Src[std::size_t(k)] <= cols.First + k;
        }
        inPlace = forwards ? TInPlace::Forwards : backwards ? TInPlace::Backwards : TInPlace::No;
    }
    std::vector<TPixel> rowCopy;
    const std::size_t bytes = std::size_t(count) * sizeof(TPixel);
    int prevDst = -1, prevSrc = -1;
    for (int k = 0; k < rows.Count(); ++k) {
        const int j = order == TRowOrder::BottomUp ? rows.Count() - 1 - k : k;
        const int dr = rows.First + j, sr = rows.Src[j];
        TPixel* dst = display.Row(dr) + cols.First;
        if (sr == prevSrc) {
            // Neighbouring rows that sample the same source row are equal: copy the one drawn.
            std::memcpy(dst, display.Row(prevDst) + cols.First, bytes);
        } else if (self && snapshot.empty() && sr == dr && inPlace != TInPlace::No) {
            sampler.DrawInPlace(display.Row(dr), dst, inPlace == TInPlace::Backwards);
        } else if (self && snapshot.empty() && sr == dr) {
            const TPixel* row = sourceRow(sr);
            rowCopy.assign(row, row + sourceWidth);
            sampler.Draw(dst, rowCopy.data());
        } else {
            sampler.Draw(dst, sourceRow(sr));
        }
        prevDst = dr;
        prevSrc = sr;
    }
}

void ClipAndCopy(TFrameBitmap& display, const TFrameBitmap& image, const TRegion& region) {
    const int width = std::min(display.Width(), image.Width());
    const int height = std::min(display.Height(), image.Height());
    for (const TRect& r : region.Rects()) {
        const int left = std::max(r.Left, 0), right = std::min(r.Right, width);
        const int top = std::max(r.Top, 0), bottom = std::min(r.Bottom, height);
        if (left >= right || top >= bottom)
            continue;
        const std::size_t bytes = std::size_t(right - left) * sizeof(TPixel);
        for (int y = top; y < bottom; ++y)
            std::memcpy(display.Row(y) + left, image.Row(y) + left, bytes);
    }
}

namespace {

// The shading profile: starts at -amount and moves by a step e every f positions, rising
// before the turn point and falling from it on.
std::vector<int> ShadeProfile(int amount, int count, bool columns) {
    const int n = count / 2;
    const bool steep = amount > n;
    const int step = steep ? amount / n : 1;
    const int period = steep ? 1 : n / amount;
    const int turn = (columns && steep) ? n + 1 : n;
    std::vector<int> v(static_cast<std::size_t>(count));
    v[0] = -amount;
    for (int k = 1; k < count; ++k)
        v[std::size_t(k)] = v[std::size_t(k) - 1] + (k % period == 0 ? (k < turn ? step : -step) : 0);
    return v;
}

// A per-pixel change of blue, green and red split into a brightening and a darkening part (one
// of them zero), so that the clamped addition is two saturating byte operations, which
// vectorise well. The fourth byte gets no change and so stays as it is.
struct TPixelDeltas {
    std::vector<TPixel> Up, Down;

    explicit TPixelDeltas(int count) : Up(std::size_t(count)), Down(std::size_t(count)) {}

    static TPixel Word(int amount) { return TPixel(std::min(amount, 255)) * 0x010101u; }
    void Set(int k, int v) {
        Up[std::size_t(k)] = v > 0 ? Word(v) : 0;
        Down[std::size_t(k)] = v < 0 ? Word(-v) : 0;
    }
    void SetAll(int v) {
        std::fill(Up.begin(), Up.end(), v > 0 ? Word(v) : 0);
        std::fill(Down.begin(), Down.end(), v < 0 ? Word(-v) : 0);
    }
    // Applies the first count changes to the pixels at row.
    void Apply(TPixel* row, int count) const {
        auto* __restrict bytes = reinterpret_cast<std::uint8_t*>(row);
        const auto* __restrict up = reinterpret_cast<const std::uint8_t*>(Up.data());
        const auto* __restrict down = reinterpret_cast<const std::uint8_t*>(Down.data());
        for (int i = 0; i < count * 4; ++i) {
            const std::uint8_t b = bytes[i];
            const std::uint8_t raised = std::uint8_t(b + up[i]) < b ? std::uint8_t(255) : std::uint8_t(b + up[i]);
            bytes[i] = raised > down[i] ? std::uint8_t(raised - down[i]) : std::uint8_t(0);
        }
    }
};

} // namespace

void UseVectorUnits(bool allowed) { VectorUnitsAllowed = allowed; }

bool AvxPathsEnabled() { return VectorUnitsAllowed && HasAvx2(); }

void ShadeColumns(TFrameBitmap& display, int amount, int left, int count) {
    if (count < 2 || amount <= 0)
        return;
    const std::vector<int> v = ShadeProfile(amount, count, true);
    const int first = std::max(left, 0), last = std::min(left + count, display.Width());
    if (first >= last)
        return;
    TPixelDeltas delta(last - first);
    for (int x = first; x < last; ++x)
        delta.Set(x - first, v[std::size_t(x - left)]);
    for (int y = 0; y < display.Height(); ++y)
        delta.Apply(display.Row(y) + first, last - first);
}

void ShadeRows(TFrameBitmap& display, int amount, int top, int count) {
    if (count < 2 || amount <= 0)
        return;
    const std::vector<int> v = ShadeProfile(amount, count, false);
    TPixelDeltas delta(display.Width());
    for (int k = 0; k < count; ++k) {
        const int y = top + count - 1 - k;
        if (y < 0 || y >= display.Height())
            continue;
        delta.SetAll(v[std::size_t(k)]);
        delta.Apply(display.Row(y), display.Width());
    }
}
