#pragma once
// An independent model of the uncovered area of the region effects, for the effect tests: a
// shape says for the centre of a pixel whether it lies inside, and whether a slanted or curved
// edge passes within one pixel of it (where scan conversion may round either way). Straight
// horizontal and vertical edges are exact: a pixel centre never lies on one, and the side it
// lies on is the inclusion rule of rectangles (left and top inside, right and bottom outside).
// Nothing here uses the region code under test.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace ShapeModel {

struct TVerdict {
    bool Inside = false;
    bool NearEdge = false;
};

// Judges the point (x, y); the tests ask about pixel centres (px + 0.5, py + 0.5). Points more
// than a pixel outside the box are outside and far from every edge, without asking Judge.
struct TShape {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    std::function<TVerdict(double x, double y)> Judge;

    TVerdict operator()(double x, double y) const {
        if (x < Left - 1 || x > Right + 1 || y < Top - 1 || y > Bottom + 1 || !Judge)
            return {};
        return Judge(x, y);
    }
};

struct TPt {
    long long X, Y;
};

inline TShape Nothing() { return {}; }

inline TShape Rect(long long l, long long t, long long r, long long b) {
    return {double(l), double(t), double(r), double(b),
            [=](double x, double y) { return TVerdict{x > l && x < r && y > t && y < b, false}; }};
}

// Distance from (x, y) to the segment a-b.
inline double SegmentDistance(const TPt& a, const TPt& b, double x, double y) {
    const double dx = double(b.X - a.X), dy = double(b.Y - a.Y);
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x - a.X) * dx + (y - a.Y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(a.X + t * dx - x, a.Y + t * dy - y);
}

// Closed polygon filled by the non-zero winding rule.
inline TShape Polygon(std::vector<TPt> points) {
    if (points.empty())
        return {};
    TShape shape{double(points[0].X), double(points[0].Y), double(points[0].X), double(points[0].Y), {}};
    for (const TPt& q : points) {
        shape.Left = std::min(shape.Left, double(q.X));
        shape.Top = std::min(shape.Top, double(q.Y));
        shape.Right = std::max(shape.Right, double(q.X));
        shape.Bottom = std::max(shape.Bottom, double(q.Y));
    }
    shape.Judge = [points = std::move(points)](double x, double y) {
        int winding = 0;
        bool near = false;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const TPt& a = points[i];
            const TPt& b = points[(i + 1) % points.size()];
            // Which side of a-b the point lies on (positive: left of the edge, y pointing up).
            const double side = double(b.X - a.X) * (y - a.Y) - (x - a.X) * double(b.Y - a.Y);
            if (a.Y <= y) {
                if (b.Y > y && side > 0)
                    ++winding;
            } else if (b.Y <= y && side < 0) {
                --winding;
            }
            // Distance to the line first: beyond a pixel from it, the segment is farther still.
            if (a.X != b.X && a.Y != b.Y && std::abs(side) <= std::hypot(double(b.X - a.X), double(b.Y - a.Y)) &&
                SegmentDistance(a, b, x, y) <= 1.0)
                near = true;
        }
        return TVerdict{winding != 0, near};
    };
    return shape;
}

// A rectangle (corners put in order) whose corners are quarters of an ew x eh ellipse, limited
// to the rectangle's own width and height; oversized corners make an oval.
inline TShape RoundRect(long long l, long long t, long long r, long long b, long long ew, long long eh) {
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    ew = std::min(std::llabs(ew), r - l);
    eh = std::min(std::llabs(eh), b - t);
    if (ew == 0 || eh == 0)
        return Rect(l, t, r, b);
    const double ax = ew / 2.0, by = eh / 2.0;
    return {double(l), double(t), double(r), double(b), [=](double x, double y) {
        if (!(x > l && x < r && y > t && y < b))
            return TVerdict{false, false};
        // The corner whose quarter ellipse governs (x, y), if any.
        const double cx = x < l + ax ? l + ax : x > r - ax ? r - ax : x;
        const double cy = y < t + by ? t + by : y > b - by ? b - by : y;
        if (cx == x || cy == y)
            return TVerdict{true, false};
        const double rho = std::hypot((x - cx) / ax, (y - cy) / by);
        // The gap between the ellipse and its copy scaled by rho is at least |rho - 1| times
        // the shorter half-axis, so beyond that the point is more than a pixel from the edge.
        return TVerdict{rho < 1, std::abs(rho - 1) * std::min(ax, by) <= 1.0};
    }};
}

inline TShape Ellipse(long long l, long long t, long long r, long long b) {
    return RoundRect(l, t, r, b, std::llabs(r - l), std::llabs(b - t));
}

// The box holding every part.
inline TShape Around(const std::vector<TShape>& parts) {
    TShape box{1e300, 1e300, -1e300, -1e300, {}};
    for (const TShape& s : parts)
        if (s.Judge) {
            box.Left = std::min(box.Left, s.Left);
            box.Top = std::min(box.Top, s.Top);
            box.Right = std::max(box.Right, s.Right);
            box.Bottom = std::max(box.Bottom, s.Bottom);
        }
    return box;
}

inline TShape Union(std::vector<TShape> parts) {
    TShape shape = Around(parts);
    shape.Judge = [parts = std::move(parts)](double x, double y) {
        TVerdict v;
        for (const TShape& s : parts) {
            const TVerdict p = s(x, y);
            v.Inside = v.Inside || p.Inside;
            v.NearEdge = v.NearEdge || p.NearEdge;
        }
        return v;
    };
    return shape;
}

inline TShape Xor(std::vector<TShape> parts) {
    TShape shape = Around(parts);
    shape.Judge = [parts = std::move(parts)](double x, double y) {
        TVerdict v;
        for (const TShape& s : parts) {
            const TVerdict p = s(x, y);
            v.Inside = v.Inside != p.Inside;
            v.NearEdge = v.NearEdge || p.NearEdge;
        }
        return v;
    };
    return shape;
}

// Nearest integer, ties to the even one.
inline long long RoundEven(long double v) {
    const long double low = std::floor(v);
    const long double f = v - low;
    long long r = static_cast<long long>(low);
    if (f > 0.5L || (f == 0.5L && (r & 1)))
        ++r;
    return r;
}

// The program-wide generator: S = S x 134775813 + 1, draw = high half of S x n.
class TGenerator {
public:
    explicit TGenerator(std::uint32_t seed) : s_(seed) {}
    int Random(int n) {
        s_ = s_ * 134775813u + 1u;
        return int((std::uint64_t(s_) * std::uint32_t(n)) >> 32);
    }

private:
    std::uint32_t s_;
};

} // namespace ShapeModel
