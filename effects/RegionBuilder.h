#pragma once
// The region toolkit of the effects: a collector that turns many rectangles into one region
// in a single step, polygons from flat coordinate lists, circular sectors, point rotation,
// and the region calls of the graphics interface the effects are written against.

#include "effects/Region.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

// Collects rectangles cheaply (appended as given, no sorting or merging) and makes one region
// of their union. The rectangles live in a region-data block: a 32-byte header followed by
// 16 bytes per rectangle, grown 500 rectangles at a time.
class TComplexRegion {
public:
    static constexpr int kGrowBy = 500;
    static constexpr std::size_t kHeaderSize = 32;
    static constexpr std::size_t kRectSize = 16;

    TComplexRegion() { Clear(); }
    ~TComplexRegion() { Clear(); }
    TComplexRegion(const TComplexRegion&) = default;
    TComplexRegion& operator=(const TComplexRegion&) = default;

    // Releases the block and forgets every rectangle.
    void Clear();
    // Appends the rectangle unchanged; one with Left >= Right or Top >= Bottom adds no pixel
    // but still widens the bounds.
    void AddRect(int Left, int Top, int Right, int Bottom);
    // The union of all rectangles added, or none when no rectangle was ever added.
    std::optional<TRegion> CreateRegion();

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    // Union box of the rectangles added; left = top = 2147483647, right = bottom = -2147483647
    // while there are none.
    const TRect& Bounds() const { return bounds_; }

private:
    std::vector<std::uint8_t> buffer_;
    int capacity_ = 0;
    int count_ = 0;
    TRect bounds_;
    std::size_t next_ = 0; // offset of the next rectangle in the block
};

// Region from a block laid out as TComplexRegion writes it: header size 32, type 1
// (rectangles), number of rectangles, a size field, the bounds box, then the rectangles.
// None when the header is not such a header or the block is shorter than it says.
std::optional<TRegion> ExtCreateRegion(std::size_t size, const void* data);

// Polygon (winding rule) from x0, y0, x1, y1, ...; an odd last number is ignored.
TRegion PolygonRgn(std::span<const int> Coords);
TRegion PolygonRgn(std::initializer_list<int> Coords);

// Fan of Count + 1 points (winding rule): the centre, then Count points on the circle from
// StartAngle to just before EndAngle in Count equal steps. Angles in radians, growing
// clockwise on screen; -pi/2 points straight up. Count below 2 gives an empty region.
TRegion CreateSectorRgn(int CX, int CY, int Radius, long double StartAngle, long double EndAngle, int Count);

// Rotates Points[0..High] in place about (CX, CY); a positive Angle turns clockwise on screen.
// High beyond the list is limited to its last point.
void RotatePoints(std::span<TPoint> Points, int High, int CX, int CY, long double Angle);

// Nearest integer, ties to the even one, independent of the floating-point rounding mode;
// limited to the int range.
int RoundHalfEven(long double x);

// The region calls of the graphics interface, on our own regions.
enum TCombineMode { rgnAnd = 1, rgnOr = 2, rgnXor = 3, rgnDiff = 4, rgnCopy = 5 };

// Swapped corners are put in order, as the graphics interface does.
TRegion CreateRectRgn(int left, int top, int right, int bottom);
TRegion CreatePolygonRgn(const TPoint* points, int count, TFillRule rule);
TRegion CreateEllipticRgn(int left, int top, int right, int bottom);
TRegion CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
// dest = a (mode) b; dest may be a or b itself. rgnCopy copies a.
void CombineRgn(TRegion& dest, const TRegion& a, const TRegion& b, TCombineMode mode);

// The union of all parts (empty for none), the same as merging each into the first in turn,
// made in one pass over all of them: a grid of many shapes costs one pass, not one per shape.
TRegion UnionOfRegions(const std::vector<TRegion>& parts);

// A grid of copies of one shape: the union of shape moved by (x, y) for x = firstX, firstX +
// stepX, ... while x < endX and, for each, y = firstY, firstY + stepY, ... while y < endY.
// Scan conversion does not depend on where a shape stands, so this is the grid of the shape
// made at every place, for the cost of making it once. Empty when a step is not above 0.
TRegion RepeatRgn(const TRegion& shape, int firstX, int stepX, int endX, int firstY, int stepY, int endY);
