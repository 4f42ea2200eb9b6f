#pragma once
// Builds a region in its canonical form, band by band from top to bottom. Used by the region
// operations and the scan converters only.

#include "effects/Region.h"

#include <cstddef>
#include <vector>

class TBandWriter {
public:
    void Reserve(std::size_t rects) { rects_.reserve(rects); }

    // Opens the band top <= y < bottom. Bands come in increasing y and do not overlap.
    void BeginBand(int top, int bottom) {
        top_ = top;
        bottom_ = bottom;
        bandStart_ = rects_.size();
    }

    // Adds the columns left <= x < right to the open band. Spans come in increasing order of
    // left; one that overlaps or touches the previous span is merged into it.
    void AddSpan(int left, int right) {
        if (left >= right)
            return;
        if (rects_.size() > bandStart_ && rects_.back().Right >= left) {
            if (right > rects_.back().Right)
                rects_.back().Right = right;
            return;
        }
        rects_.push_back({left, top_, right, bottom_});
    }

    // Closes the band; it joins the previous band when that ends where this one starts and
    // has the same columns.
    void EndBand() {
        const std::size_t size = rects_.size() - bandStart_;
        if (size == 0)
            return;
        if (prevStart_ != kNone && bandStart_ - prevStart_ == size && rects_[prevStart_].Bottom == top_ &&
            SameColumns(prevStart_, bandStart_, size)) {
            for (std::size_t i = prevStart_; i < bandStart_; ++i)
                rects_[i].Bottom = bottom_;
            rects_.resize(bandStart_);
            return;
        }
        prevStart_ = bandStart_;
    }

    // Copies the columns of a band of another region, cut to top <= y < bottom.
    void CopyBand(const TRect* first, const TRect* last, int top, int bottom) {
        BeginBand(top, bottom);
        for (const TRect* r = first; r != last; ++r)
            AddSpan(r->Left, r->Right);
        EndBand();
    }

    TRegion Finish() {
        TRegion region;
        if (!rects_.empty()) {
            TRect e{rects_.front().Left, rects_.front().Top, rects_.front().Right, rects_.back().Bottom};
            for (const TRect& r : rects_) {
                if (r.Left < e.Left)
                    e.Left = r.Left;
                if (r.Right > e.Right)
                    e.Right = r.Right;
            }
            region.extents_ = e;
        }
        region.rects_ = std::move(rects_);
        rects_.clear();
        prevStart_ = kNone;
        return region;
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    bool SameColumns(std::size_t a, std::size_t b, std::size_t n) const {
        for (std::size_t i = 0; i < n; ++i)
            if (rects_[a + i].Left != rects_[b + i].Left || rects_[a + i].Right != rects_[b + i].Right)
                return false;
        return true;
    }

    std::vector<TRect> rects_;
    std::size_t bandStart_ = 0;
    std::size_t prevStart_ = kNone;
    int top_ = 0;
    int bottom_ = 0;
};
