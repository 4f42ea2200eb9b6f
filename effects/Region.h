#pragma once
// Clip regions: disjoint rectangles in y-x bands (rows of equal top/bottom, sorted by left).
//
// The representation is canonical: within a band the rectangles neither overlap nor touch,
// and two vertically adjacent bands with the same columns are merged into one. Two regions
// cover the same pixels exactly when their rectangle lists are equal.

#include <span>
#include <vector>

// Left and top inside, right and bottom outside.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
    int X = 0, Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// How a polygon's self-overlapping parts are filled: by the non-zero winding number of its
// edge directions, or by the parity of the edges crossed (alternate).
enum class TFillRule { Winding, Alternate };

class TRegion {
public:
    TRegion() = default;
    // The pixels left <= x < right, top <= y < bottom; empty when left >= right or top >= bottom.
    explicit TRegion(const TRect& rect);

    // The union of any number of rectangles in any order, overlapping or not; empty ones add nothing.
    static TRegion FromRects(std::span<const TRect> rects);

    // Scan-converted polygon (closed implicitly). A pixel (x, y) is inside when the point (x, y)
    // lies inside the outline, points on a left or top edge counting as inside and points on a
    // right or bottom edge as outside; so an axis-parallel rectangle outline covers the same
    // pixels as the rectangle region. Fewer than three points or a flat outline give an empty region.
    static TRegion Polygon(std::span<const TPoint> points, TFillRule rule = TFillRule::Winding);

    // The ellipse inscribed in the box: the pixels of the box whose centres lie inside or on it.
    // Swapped corners are put in order first.
    static TRegion Ellipse(const TRect& box);

    // A rectangle whose corners are quarters of an ellipse of ellipseWidth x ellipseHeight
    // (absolute values), limited to the rectangle's own width and height: oversized corners
    // make the shape an oval. Pixels count by their centres like the ellipse; corners below
    // two pixels give the plain rectangle. Swapped corners are put in order first.
    static TRegion RoundRect(const TRect& box, int ellipseWidth, int ellipseHeight);

    bool IsEmpty() const { return rects_.empty(); }
    // Disjoint rectangles, banded by y then sorted by x.
    const std::vector<TRect>& Rects() const { return rects_; }
    // The smallest rectangle holding the region; all zero when it is empty.
    const TRect& Extents() const { return extents_; }
    bool Contains(int x, int y) const;

    TRegion Union(const TRegion& other) const;
    TRegion Intersect(const TRegion& other) const;
    TRegion Xor(const TRegion& other) const;
    // The pixels of this region that are not in other.
    TRegion Subtract(const TRegion& other) const;

    // Moves the region by (dx, dy).
    void Offset(int dx, int dy);

    friend bool operator==(const TRegion& a, const TRegion& b) { return a.rects_ == b.rects_; }

private:
    friend class TBandWriter;

    std::vector<TRect> rects_;
    TRect extents_;
};
