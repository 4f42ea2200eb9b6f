#include "effects/Region.h"

#include "effects/RegionBandWriter.h"

#include <algorithm>
#include <climits>
#include <iterator>

namespace {

// Walks a region band by band.
class TBandCursor {
public:
    explicit TBandCursor(const std::vector<TRect>& rects)
        : first_(rects.data()), end_(rects.data() + rects.size()) {
        FindBandEnd();
    }
    bool Done() const { return first_ == end_; }
    int Top() const { return first_->Top; }
    int Bottom() const { return first_->Bottom; }
    const TRect* First() const { return first_; }
    const TRect* Last() const { return last_; }
    const TRect* End() const { return end_; }
    void JumpTo(const TRect* band) {
        first_ = band;
        FindBandEnd();
    }
    void Next() {
        first_ = last_;
        FindBandEnd();
    }

private:
    void FindBandEnd() {
        last_ = first_;
        while (last_ != end_ && last_->Top == first_->Top)
            ++last_;
    }

    const TRect* first_;
    const TRect* end_;
    const TRect* last_ = nullptr;
};

// The columns of two bands that keep(inA, inB) selects. Each band is read as the sorted
// sequence of its span boundaries; crossing one toggles being inside that band.
template <class Keep>
void CombineBands(const TBandCursor& a, const TBandCursor& b, Keep keep, TBandWriter& out) {
    const auto boundary = [](const TRect* first, std::size_t i) { return i % 2 ? first[i / 2].Right : first[i / 2].Left; };
    const std::size_t na = 2 * static_cast<std::size_t>(a.Last() - a.First());
    const std::size_t nb = 2 * static_cast<std::size_t>(b.Last() - b.First());
    std::size_t ia = 0, ib = 0;
    bool open = false;
    int start = 0;
    while (ia < na || ib < nb) {
        const int xa = ia < na ? boundary(a.First(), ia) : INT_MAX;
        const int xb = ib < nb ? boundary(b.First(), ib) : INT_MAX;
        const int x = std::min(xa, xb);
        if (ia < na && xa == x)
            ++ia;
        if (ib < nb && xb == x)
            ++ib;
        const bool in = keep(ia % 2 == 1, ib % 2 == 1);
        if (in && !open) {
            start = x;
            open = true;
        } else if (!in && open) {
            out.AddSpan(start, x);
            open = false;
        }
    }
}

// The generic band sweep behind every combination: bands where only one region has pixels
// are copied or dropped as keep says, bands where both have pixels are combined column by
// column, and equal neighbouring bands are merged by the writer.
template <class Keep>
TRegion Sweep(const TRegion& ra, const TRegion& rb, Keep keep) {
    const bool keepA = keep(true, false);
    const bool keepB = keep(false, true);
    TBandWriter out;
    out.Reserve(ra.Rects().size() + rb.Rects().size());
    TBandCursor a(ra.Rects()), b(rb.Rects());
    int done = INT_MIN; // everything above this y has been written
    // Bands of one region above the first band of the other are copied or dropped in bulk:
    // shapes merged one by one into a growing result touch only a few of its bands.
    if (!a.Done() && !b.Done()) {
        const auto above = [](const TBandCursor& c, int y) {
            return std::partition_point(c.First(), c.End(), [y](const TRect& r) { return r.Bottom <= y; });
        };
        const TRect* aStop = above(a, b.Top());
        const TRect* bStop = above(b, a.Top());
        if (keepA)
            out.CopyBands(a.First(), aStop);
        if (keepB)
            out.CopyBands(b.First(), bStop);
        a.JumpTo(aStop);
        b.JumpTo(bStop);
    }
    while (!a.Done() && !b.Done()) {
        int top;
        if (a.Top() < b.Top()) {
            const int from = std::max(a.Top(), done), to = std::min(a.Bottom(), b.Top());
            if (keepA && from < to)
                out.CopyBand(a.First(), a.Last(), from, to);
            top = b.Top();
        } else if (b.Top() < a.Top()) {
            const int from = std::max(b.Top(), done), to = std::min(b.Bottom(), a.Top());
            if (keepB && from < to)
                out.CopyBand(b.First(), b.Last(), from, to);
            top = a.Top();
        } else {
            top = a.Top();
        }
        done = std::min(a.Bottom(), b.Bottom());
        if (done > top) {
            out.BeginBand(top, done);
            CombineBands(a, b, keep, out);
            out.EndBand();
        }
        if (a.Bottom() == done)
            a.Next();
        if (b.Bottom() == done)
            b.Next();
    }
    for (TBandCursor* rest : {&a, &b}) {
        if (!(rest == &a ? keepA : keepB))
            continue;
        if (rest->Done())
            continue;
        out.CopyBand(rest->First(), rest->Last(), std::max(rest->Top(), done), rest->Bottom());
        out.CopyBands(rest->Last(), rest->End());
    }
    return out.Finish();
}

bool ExtentsMeet(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

bool Covers(const TRect& outer, const TRect& inner) {
    return outer.Left <= inner.Left && outer.Top <= inner.Top && outer.Right >= inner.Right &&
           outer.Bottom >= inner.Bottom;
}

bool IsSingleRectCovering(const TRegion& a, const TRegion& b) {
    return a.Rects().size() == 1 && Covers(a.Extents(), b.Extents());
}

} // namespace

TRegion::TRegion(const TRect& rect) {
    if (!rect.IsEmpty()) {
        rects_.push_back(rect);
        extents_ = rect;
    }
}

namespace {

// Sorts the rectangles by top and lists the distinct tops and bottoms in increasing order.
// Regions of effects lie within a few frame heights, so where the rows they span are few
// compared with the rectangles, a counting sort does it in linear time (and keeps the order
// in which rectangles with one top were added, which is mostly their order along x).
void SortByTop(std::vector<TRect>& in, std::vector<int>& ys) {
    thread_local std::vector<TRect> sorted;
    thread_local std::vector<int> slots;
    int lo = INT_MAX, hi = INT_MIN;
    for (const TRect& r : in) {
        lo = std::min(lo, r.Top);
        hi = std::max(hi, r.Bottom);
    }
    const long long range = (long long)hi - lo + 1;
    if (range > 4 * (long long)in.size() + 4096) {
        std::sort(in.begin(), in.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
        for (const TRect& r : in) {
            ys.push_back(r.Top);
            ys.push_back(r.Bottom);
        }
        std::sort(ys.begin(), ys.end());
        ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
        return;
    }
    // slots[k]: first, then next free position of the rectangles with top lo + k; a row that is
    // a top or a bottom is marked in the spare high bit of its count while counting.
    constexpr int Marked = 1 << 30;
    slots.assign(std::size_t(range) + 1, 0);
    for (const TRect& r : in) {
        ++slots[std::size_t(r.Top - lo)];
        slots[std::size_t(r.Top - lo)] |= Marked;
        slots[std::size_t(r.Bottom - lo)] |= Marked;
    }
    int position = 0;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        if (slots[k] & Marked)
            ys.push_back(lo + int(k));
        const int n = slots[k] & ~Marked;
        slots[k] = position;
        position += n;
    }
    sorted.resize(in.size());
    for (const TRect& r : in)
        sorted[std::size_t(slots[std::size_t(r.Top - lo)]++)] = r;
    in.swap(sorted);
}

} // namespace

TRegion TRegion::FromRects(std::span<const TRect> rects) {
    // The working lists keep their storage from call to call: effects make a region of
    // thousands of rectangles every frame, and fresh blocks of that size come from the system
    // (page faults and zeroing) each time they are allocated again.
    thread_local std::vector<TRect> in, active, merged;
    thread_local std::vector<int> ys;
    in.clear();
    active.clear();
    ys.clear();
    in.reserve(rects.size());
    for (const TRect& r : rects)
        if (!r.IsEmpty())
            in.push_back(r);
    if (in.size() <= 1)
        return in.empty() ? TRegion() : TRegion(in.front());

    // Sweep down through every distinct top and bottom; between two of them the set of
    // rectangles that cross is constant, and its columns, sorted and merged, form one band.
    SortByTop(in, ys);

    // active: the rectangles crossing the current band, sorted by left.
    std::size_t next = 0;
    TBandWriter out;
    out.Reserve(in.size());
    const auto byLeft = [](const TRect& a, const TRect& b) { return a.Left < b.Left; };
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        const int top = ys[i], bottom = ys[i + 1];
        std::erase_if(active, [top](const TRect& r) { return r.Bottom <= top; });
        // The rectangles starting here are sorted among themselves and merged in at once: one
        // insertion each would move the whole active list per rectangle, which is quadratic
        // when hundreds of strips start on the same row.
        const std::size_t first = next;
        while (next < in.size() && in[next].Top == top)
            ++next;
        if (next > first) {
            const auto from = in.begin() + std::ptrdiff_t(first), to = in.begin() + std::ptrdiff_t(next);
            if (!std::is_sorted(from, to, byLeft))
                std::sort(from, to, byLeft);
            merged.clear();
            std::merge(active.begin(), active.end(), from, to, std::back_inserter(merged), byLeft);
            active.swap(merged);
        }
        if (active.empty())
            continue;
        out.BeginBand(top, bottom);
        for (const TRect& r : active)
            out.AddSpan(r.Left, r.Right);
        out.EndBand();
    }
    return out.Finish();
}

bool TRegion::Contains(int x, int y) const {
    if (IsEmpty() || x < extents_.Left || x >= extents_.Right || y < extents_.Top || y >= extents_.Bottom)
        return false;
    // Bottoms never decrease along the list, so the band holding y starts at the first
    // rectangle that ends below it.
    auto r = std::partition_point(rects_.begin(), rects_.end(), [y](const TRect& t) { return t.Bottom <= y; });
    if (r == rects_.end() || r->Top > y)
        return false;
    const int top = r->Top;
    auto bandEnd = std::find_if(r, rects_.end(), [top](const TRect& t) { return t.Top != top; });
    auto hit = std::partition_point(r, bandEnd, [x](const TRect& t) { return t.Right <= x; });
    return hit != bandEnd && hit->Left <= x;
}

TRegion TRegion::Union(const TRegion& other) const {
    if (other.IsEmpty() || IsSingleRectCovering(*this, other))
        return *this;
    if (IsEmpty() || IsSingleRectCovering(other, *this))
        return other;
    return Sweep(*this, other, [](bool a, bool b) { return a || b; });
}

TRegion TRegion::Intersect(const TRegion& other) const {
    if (IsEmpty() || other.IsEmpty() || !ExtentsMeet(extents_, other.extents_))
        return {};
    if (IsSingleRectCovering(*this, other))
        return other;
    if (IsSingleRectCovering(other, *this))
        return *this;
    return Sweep(*this, other, [](bool a, bool b) { return a && b; });
}

TRegion TRegion::Xor(const TRegion& other) const {
    if (other.IsEmpty())
        return *this;
    if (IsEmpty())
        return other;
    return Sweep(*this, other, [](bool a, bool b) { return a != b; });
}

TRegion TRegion::Subtract(const TRegion& other) const {
    if (IsEmpty() || other.IsEmpty() || !ExtentsMeet(extents_, other.extents_))
        return *this;
    return Sweep(*this, other, [](bool a, bool b) { return a && !b; });
}

void TRegion::Offset(int dx, int dy) {
    if (IsEmpty())
        return;
    for (TRect& r : rects_) {
        r.Left += dx;
        r.Right += dx;
        r.Top += dy;
        r.Bottom += dy;
    }
    extents_ = {extents_.Left + dx, extents_.Top + dy, extents_.Right + dx, extents_.Bottom + dy};
}
