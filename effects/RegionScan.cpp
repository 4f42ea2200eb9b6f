// Scan conversion of polygons, ellipses and rounded rectangles into banded regions.

#include "effects/Region.h"
#include "effects/RegionBandWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// Curved and slanted shapes give one band per pixel row, so a shape with coordinates in the
// billions would take gigabytes. Rows are scan-converted only inside this window, which is
// far larger than any frame; the outline itself is followed exactly.
constexpr std::int64_t kScanWindow = std::int64_t(1) << 18;

__extension__ typedef __int128 TWide;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { // b > 0
    std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// One non-horizontal polygon edge, walked one row at a time. X is the first pixel column at
// or right of the exact crossing, Rem how far that column lies beyond it (in 1/Dy pixels).
struct TEdge {
    std::int64_t YStart = 0, YEnd = 0; // rows YStart <= y < YEnd, inside the window
    std::int64_t X = 0, Rem = 0;
    std::int64_t StepX = 0, StepRem = 0, Dy = 0;
    int Direction = 0;

    void Step() {
        X += StepX;
        Rem -= StepRem;
        if (Rem < 0) {
            Rem += Dy;
            ++X;
        }
    }
};

// Builds the edge of the outline from p to q; false for a horizontal or out-of-window edge.
bool MakeEdge(TPoint p, TPoint q, TEdge& e) {
    if (p.Y == q.Y)
        return false;
    e.Direction = q.Y > p.Y ? 1 : -1;
    if (q.Y < p.Y)
        std::swap(p, q);
    e.YStart = std::max<std::int64_t>(p.Y, -kScanWindow);
    e.YEnd = std::min<std::int64_t>(q.Y, kScanWindow);
    if (e.YStart >= e.YEnd)
        return false;
    e.Dy = std::int64_t(q.Y) - p.Y;
    const std::int64_t dx = std::int64_t(q.X) - p.X;
    e.StepX = FloorDiv(dx, e.Dy);
    e.StepRem = dx - e.StepX * e.Dy;
    // Exact crossing at the first row: p.X + (YStart - p.Y) * dx / Dy; take its ceiling.
    const TWide num = TWide(p.X) * e.Dy + TWide(e.YStart - p.Y) * dx;
    TWide x = num / e.Dy;
    if (x * e.Dy < num)
        ++x;
    e.X = static_cast<std::int64_t>(x);
    e.Rem = static_cast<std::int64_t>(x * e.Dy - num);
    return true;
}

int ClampToInt(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

struct TCrossing {
    std::int64_t X;
    int Direction;
};

// Emits the spans of one row from its crossings sorted by x.
void EmitRow(const std::vector<TCrossing>& crossings, TFillRule rule, TBandWriter& out) {
    int count = 0;
    std::int64_t start = 0;
    for (const TCrossing& c : crossings) {
        const bool wasInside = count != 0;
        count = rule == TFillRule::Winding ? count + c.Direction : count ^ 1;
        const bool inside = count != 0;
        if (inside && !wasInside)
            start = c.X;
        else if (!inside && wasInside)
            out.AddSpan(ClampToInt(start), ClampToInt(c.X));
    }
}

// Largest d >= 0 with d^2 * b^2 <= a^2 * (b^2 - dy^2), for 0 <= dy <= b and 0 < a, b: the
// half-width, in half pixels, of an ellipse with half-axes a and b at height dy from its centre.
std::int64_t EllipseHalfWidth(std::int64_t a, std::int64_t b, std::int64_t dy) {
    const long double ratio = 1.0L - (static_cast<long double>(dy) / b) * (static_cast<long double>(dy) / b);
    std::int64_t d = static_cast<std::int64_t>(std::floor(a * std::sqrt(std::max(0.0L, ratio))));
    if (a > (std::int64_t(1) << 30) || b > (std::int64_t(1) << 30))
        return d; // beyond any frame: the extended-precision estimate is as good as it gets
    const TWide limit = TWide(a) * a * (TWide(b) * b - TWide(dy) * dy);
    const auto fits = [&](std::int64_t v) { return TWide(v) * v * b * b <= limit; };
    while (d > 0 && !fits(d))
        --d;
    while (fits(d + 1))
        ++d;
    return d;
}

TRect Ordered(const TRect& r) {
    return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right), std::max(r.Top, r.Bottom)};
}

// The box (in order) with corners that are quarters of an ew x eh ellipse, 0 <= ew <= width and
// 0 <= eh <= height. A pixel is inside when its centre lies inside or on the outline. The
// arithmetic is done in half pixels so that pixel centres have integer coordinates.
TRegion RoundedBox(const TRect& box, std::int64_t ew, std::int64_t eh) {
    if (ew == 0 || eh == 0)
        return TRegion(box); // no corner to cut: every pixel centre is inside
    const std::int64_t cornerLeft = 2 * std::int64_t(box.Left) + ew, cornerRight = 2 * std::int64_t(box.Right) - ew;
    const std::int64_t cornerTop = 2 * std::int64_t(box.Top) + eh, cornerBottom = 2 * std::int64_t(box.Bottom) - eh;
    const std::int64_t yFirst = std::max<std::int64_t>(box.Top, -kScanWindow);
    const std::int64_t yLast = std::min<std::int64_t>(box.Bottom, kScanWindow);
    TBandWriter out;
    for (std::int64_t y = yFirst; y < yLast; ++y) {
        const std::int64_t cy = 2 * y + 1;
        const std::int64_t dy = cy < cornerTop ? cornerTop - cy : cy > cornerBottom ? cy - cornerBottom : 0;
        const std::int64_t d = dy == 0 ? ew : EllipseHalfWidth(ew, eh, dy);
        // Columns whose centre 2x + 1 lies in [cornerLeft - d, cornerRight + d].
        const std::int64_t xFirst = -FloorDiv(-(cornerLeft - d - 1), 2);
        const std::int64_t xLast = FloorDiv(cornerRight + d - 1, 2);
        out.BeginBand(static_cast<int>(y), static_cast<int>(y + 1));
        out.AddSpan(ClampToInt(xFirst), ClampToInt(xLast + 1));
        out.EndBand();
    }
    return out.Finish();
}

} // namespace

TRegion TRegion::Polygon(std::span<const TPoint> points, TFillRule rule) {
    std::vector<TEdge> edges;
    edges.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        TEdge e;
        if (MakeEdge(points[i], points[(i + 1) % points.size()], e))
            edges.push_back(e);
    }
    TBandWriter out;
    if (edges.empty())
        return out.Finish();
    std::sort(edges.begin(), edges.end(), [](const TEdge& a, const TEdge& b) { return a.YStart < b.YStart; });
    std::int64_t yEnd = INT64_MIN;
    for (const TEdge& e : edges)
        yEnd = std::max(yEnd, e.YEnd);

    std::vector<TEdge> active;
    std::vector<TCrossing> crossings;
    std::size_t next = 0;
    for (std::int64_t y = edges.front().YStart; y < yEnd; ++y) {
        std::erase_if(active, [y](const TEdge& e) { return e.YEnd <= y; });
        for (; next < edges.size() && edges[next].YStart == y; ++next)
            active.push_back(edges[next]);
        if (active.empty()) {
            if (next == edges.size())
                break;
            y = edges[next].YStart - 1; // skip the rows between disjoint parts
            continue;
        }
        crossings.clear();
        for (TEdge& e : active) {
            crossings.push_back({e.X, e.Direction});
            e.Step();
        }
        std::sort(crossings.begin(), crossings.end(), [](const TCrossing& a, const TCrossing& b) { return a.X < b.X; });
        out.BeginBand(static_cast<int>(y), static_cast<int>(y + 1));
        EmitRow(crossings, rule, out);
        out.EndBand();
    }
    return out.Finish();
}

TRegion TRegion::Ellipse(const TRect& box) {
    const TRect b = Ordered(box);
    return RoundedBox(b, std::int64_t(b.Right) - b.Left, std::int64_t(b.Bottom) - b.Top);
}

TRegion TRegion::RoundRect(const TRect& box, int ellipseWidth, int ellipseHeight) {
    const TRect b = Ordered(box);
    const std::int64_t ew = std::min<std::int64_t>(std::llabs(ellipseWidth), std::int64_t(b.Right) - b.Left);
    const std::int64_t eh = std::min<std::int64_t>(std::llabs(ellipseHeight), std::int64_t(b.Bottom) - b.Top);
    return RoundedBox(b, ew, eh);
}
