#pragma once
// Clip regions: disjoint rectangles in y-x bands (rows of equal top/bottom, sorted by left).

#include <vector>

// Left and top inside, right and bottom outside.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

class TRegion {
public:
    TRegion() = default;
    explicit TRegion(const TRect& rect);

    bool IsEmpty() const { return rects_.empty(); }
    // Disjoint rectangles, banded by y then sorted by x.
    const std::vector<TRect>& Rects() const { return rects_; }

private:
    std::vector<TRect> rects_;
};
