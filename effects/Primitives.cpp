#include "effects/Primitives.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

// Draws one destination row span from one source row along a column map. Enlargements (and
// mirrored enlargements) repeat each source pixel over a run of destination pixels: those are
// filled run by run with four-pixel stores, which is much cheaper than sampling every pixel.
class TRowSampler {
public:
    explicit TRowSampler(const TAxisMap& cols) : cols_(cols), count_(cols.Count()) {
        if (cols.IsShift()) {
            shift_ = true;
            return;
        }
        for (int k = 0; k < count_; ++k)
            if (k == 0 || cols.Src[k] != cols.Src[k - 1])
                runs_.push_back({cols.Src[k], k, 0});
        for (std::size_t j = 0; j < runs_.size(); ++j)
            runs_[j].Len = (j + 1 < runs_.size() ? runs_[j + 1].Dst : count_) - runs_[j].Dst;
        // Runs pay off once they average about two pixels.
        if (runs_.size() * 3 > std::size_t(count_) * 2)
            runs_.clear();
    }

    // dst points at the first destination pixel of the span, src at column 0 of the source row.
    void Draw(TPixel* __restrict dst, const TPixel* __restrict src) const {
        if (shift_)
            std::memcpy(dst, src + cols_.Src.front(), std::size_t(count_) * sizeof(TPixel));
        else if (!runs_.empty())
            DrawRuns(dst, src);
        else
            Gather(dst, src);
    }

private:
    struct TRun {
        int Src, Dst, Len;
    };

    static void Store4(TPixel* dst, TPixel v) {
        const TPixel quad[4] = {v, v, v, v};
        std::memcpy(dst, quad, sizeof quad);
    }

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

    void Gather(TPixel* __restrict dst, const TPixel* __restrict src) const {
        const int* __restrict columns = cols_.Src.data();
        int k = 0;
        for (; k + 4 <= count_; k += 4) {
            const TPixel a = src[columns[k]], b = src[columns[k + 1]], c = src[columns[k + 2]], d = src[columns[k + 3]];
            dst[k] = a;
            dst[k + 1] = b;
            dst[k + 2] = c;
            dst[k + 3] = d;
        }
        for (; k < count_; ++k)
            dst[k] = src[columns[k]];
    }

    const TAxisMap& cols_;
    const int count_;
    bool shift_ = false;
    std::vector<TRun> runs_;
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
    const TRowSampler sampler(cols);
    const int count = cols.Count();
    const int srcLeft = *std::min_element(cols.Src.begin(), cols.Src.end());
    const int srcRight = *std::max_element(cols.Src.begin(), cols.Src.end()) + 1;

    // Source rows come from the bitmap, or from a snapshot of the sampled block when the
    // display is its own source and no row order keeps the unread rows intact.
    std::vector<TPixel> snapshot;
    int snapTop = 0;
    const int snapWidth = srcRight - srcLeft;
    if (order == TRowOrder::NeedsSnapshot) {
        snapTop = *std::min_element(rows.Src.begin(), rows.Src.end());
        const int snapBottom = *std::max_element(rows.Src.begin(), rows.Src.end()) + 1;
        snapshot.resize(std::size_t(snapBottom - snapTop) * snapWidth);
        for (int r = snapTop; r < snapBottom; ++r)
            std::memcpy(&snapshot[std::size_t(r - snapTop) * snapWidth], source.Row(r) + srcLeft,
                        std::size_t(snapWidth) * sizeof(TPixel));
    }
    auto sourceRow = [&](int r) -> const TPixel* {
        if (!snapshot.empty())
            return snapshot.data() + std::size_t(r - snapTop) * snapWidth - srcLeft;
        return source.Row(r);
    };

    std::vector<TPixel> rowCopy; // a source row that is also the destination row
    const std::size_t bytes = std::size_t(count) * sizeof(TPixel);
    int prevDst = -1, prevSrc = -1;
    for (int k = 0; k < rows.Count(); ++k) {
        const int j = order == TRowOrder::BottomUp ? rows.Count() - 1 - k : k;
        const int dr = rows.First + j, sr = rows.Src[j];
        TPixel* dst = display.Row(dr) + cols.First;
        if (sr == prevSrc) {
            // Neighbouring rows that sample the same source row are equal: copy the one drawn.
            std::memcpy(dst, display.Row(prevDst) + cols.First, bytes);
        } else if (self && snapshot.empty() && sr == dr) {
            const TPixel* row = sourceRow(sr);
            rowCopy.assign(row + srcLeft, row + srcRight);
            sampler.Draw(dst, rowCopy.data() - srcLeft);
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

// Adds a per-byte delta to a run of bytes, clamped to 0..255. The fourth byte of each pixel
// gets delta 0 and so stays as it is. Written over plain bytes so that it vectorises.
void AddClampedBytes(std::uint8_t* __restrict bytes, const std::int16_t* __restrict delta, int n) {
    for (int i = 0; i < n; ++i) {
        const int v = bytes[i] + delta[i];
        bytes[i] = std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

std::vector<std::int16_t> PixelDeltas(const int* v, int count) {
    std::vector<std::int16_t> delta(std::size_t(count) * 4);
    for (int k = 0; k < count; ++k)
        for (int c = 0; c < 3; ++c)
            delta[std::size_t(k) * 4 + c] = std::int16_t(v[k]);
    return delta;
}

} // namespace

void ShadeColumns(TFrameBitmap& display, int amount, int left, int count) {
    if (count < 2 || amount <= 0)
        return;
    const std::vector<int> v = ShadeProfile(amount, count, true);
    const int first = std::max(left, 0), last = std::min(left + count, display.Width());
    if (first >= last)
        return;
    const std::vector<std::int16_t> delta = PixelDeltas(v.data() + (first - left), last - first);
    for (int y = 0; y < display.Height(); ++y)
        AddClampedBytes(reinterpret_cast<std::uint8_t*>(display.Row(y) + first), delta.data(), (last - first) * 4);
}

void ShadeRows(TFrameBitmap& display, int amount, int top, int count) {
    if (count < 2 || amount <= 0)
        return;
    const std::vector<int> v = ShadeProfile(amount, count, false);
    std::vector<int> same(std::size_t(display.Width()));
    for (int k = 0; k < count; ++k) {
        const int y = top + count - 1 - k;
        if (y < 0 || y >= display.Height())
            continue;
        std::fill(same.begin(), same.end(), v[std::size_t(k)]);
        const std::vector<std::int16_t> delta = PixelDeltas(same.data(), display.Width());
        AddClampedBytes(reinterpret_cast<std::uint8_t*>(display.Row(y)), delta.data(), display.Width() * 4);
    }
}
