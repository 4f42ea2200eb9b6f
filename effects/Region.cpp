#include "effects/Region.h"

#include "effects/RegionBandWriter.h"

#include <algorithm>
#include <climits>

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
        for (; !rest->Done(); rest->Next())
            out.CopyBand(rest->First(), rest->Last(), std::max(rest->Top(), done), rest->Bottom());
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

TRegion TRegion::FromRects(std::span<const TRect> rects) {
    std::vector<TRect> in;
    in.reserve(rects.size());
    for (const TRect& r : rects)
        if (!r.IsEmpty())
            in.push_back(r);
    if (in.size() <= 1)
        return in.empty() ? TRegion() : TRegion(in.front());

    // Sweep down through every distinct top and bottom; between two of them the set of
    // rectangles that cross is constant, and its columns, sorted and merged, form one band.
    std::sort(in.begin(), in.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
    std::vector<int> ys;
    ys.reserve(2 * in.size());
    for (const TRect& r : in) {
        ys.push_back(r.Top);
        ys.push_back(r.Bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    std::vector<TRect> active; // sorted by left
    std::size_t next = 0;
    TBandWriter out;
    out.Reserve(in.size());
    const auto byLeft = [](const TRect& a, const TRect& b) { return a.Left < b.Left; };
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        const int top = ys[i], bottom = ys[i + 1];
        std::erase_if(active, [top](const TRect& r) { return r.Bottom <= top; });
        for (; next < in.size() && in[next].Top == top; ++next)
            active.insert(std::upper_bound(active.begin(), active.end(), in[next], byLeft), in[next]);
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
