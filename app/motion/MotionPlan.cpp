#include "app/motion/MotionPlan.h"

#include <algorithm>
#include <cmath>

namespace {
// Views in the picture's own pixels (doubles), turned into fractions at the end.
struct TBox {
    double X = 0, Y = 0, W = 0, H = 0;
};

struct TGeometry {
    double PW = 1, PH = 1;  // picture
    double Aspect = 1;      // the frame's width / height
    double BaseW = 1, BaseH = 1; // the view of the still framing (zoom 1)
    bool HasFaces = false;
    TBox Faces;             // the union of the face boxes
    double TargetX = 0.5, TargetY = 0.5; // centre of what matters
};

TGeometry Geometry(const TMotionRequest& r) {
    TGeometry g;
    g.PW = std::max(r.PictureWidth, 1);
    g.PH = std::max(r.PictureHeight, 1);
    g.Aspect = double(std::max(r.FrameWidth, 1)) / std::max(r.FrameHeight, 1);
    const bool wider = g.PW / g.PH > g.Aspect;
    if (r.Framing == TFraming::Fill) { // the largest view inside the picture
        g.BaseW = wider ? g.PH * g.Aspect : g.PW;
        g.BaseH = wider ? g.PH : g.PW / g.Aspect;
    } else { // the smallest view holding the picture
        g.BaseW = wider ? g.PW : g.PH * g.Aspect;
        g.BaseH = wider ? g.PW / g.Aspect : g.PH;
    }
    double left = g.PW, top = g.PH, right = 0, bottom = 0;
    for (const TMotionRect& f : r.Interest.Faces) {
        const double l = std::clamp(f.X, 0.0, 1.0) * g.PW, t = std::clamp(f.Y, 0.0, 1.0) * g.PH;
        const double rr = std::clamp(f.X + f.W, 0.0, 1.0) * g.PW, b = std::clamp(f.Y + f.H, 0.0, 1.0) * g.PH;
        if (rr <= l || b <= t)
            continue;
        left = std::min(left, l), top = std::min(top, t), right = std::max(right, rr), bottom = std::max(bottom, b);
        g.HasFaces = true;
    }
    if (g.HasFaces) {
        g.Faces = {left, top, right - left, bottom - top};
        g.TargetX = left + g.Faces.W / 2;
        g.TargetY = top + g.Faces.H / 2;
    } else {
        const TMotionRect& d = r.Interest.Detail;
        g.TargetX = std::clamp(d.X + d.W / 2, 0.0, 1.0) * g.PW;
        g.TargetY = std::clamp(d.Y + d.H / 2, 0.0, 1.0) * g.PH;
    }
    return g;
}

// The zoom a view may take at most so that the faces still fit into it.
double FaceZoomLimit(const TGeometry& g) {
    if (!g.HasFaces)
        return LargestMotionZoom;
    const double limit = std::min(g.BaseW / std::max(g.Faces.W, 1e-9), g.BaseH / std::max(g.Faces.H, 1e-9));
    return std::max(limit, 1.0);
}

struct TRange {
    double Lo = 0, Hi = 0;
};

// Where a view of extent v may start along an axis of the picture of extent p: inside the
// picture where it crops, around the picture where it is larger; and around the faces.
TRange Allowed(double v, double p, bool faces, double faceLo, double faceHi) {
    TRange r = v <= p ? TRange{0, p - v} : TRange{p - v, 0};
    if (faces) {
        const TRange f{std::max(r.Lo, faceHi - v), std::min(r.Hi, faceLo)};
        if (f.Lo <= f.Hi)
            return f;
        // The faces do not fit (fill with faces wider apart than the crop): centre on them.
        const double mid = std::clamp((faceLo + faceHi - v) / 2, r.Lo, r.Hi);
        return {mid, mid};
    }
    return r;
}

TRange AllowedX(const TGeometry& g, double w) { return Allowed(w, g.PW, g.HasFaces, g.Faces.X, g.Faces.X + g.Faces.W); }
TRange AllowedY(const TGeometry& g, double h) { return Allowed(h, g.PH, g.HasFaces, g.Faces.Y, g.Faces.Y + g.Faces.H); }

double Place(const TRange& r, double target, double v) { return std::clamp(target - v / 2, r.Lo, r.Hi); }

// The view at zoom z (limited by the faces), centred on what matters as far as allowed.
TBox ViewAt(const TGeometry& g, double z) {
    z = std::clamp(z, 1.0, FaceZoomLimit(g));
    TBox b;
    b.W = g.BaseW / z;
    b.H = g.BaseH / z;
    b.X = Place(AllowedX(g, b.W), g.TargetX, b.W);
    b.Y = Place(AllowedY(g, b.H), g.TargetY, b.H);
    return b;
}

TMotionRect Fraction(const TGeometry& g, const TBox& b) { return {b.X / g.PW, b.Y / g.PH, b.W / g.PW, b.H / g.PH}; }

// A small generator of our own: the same numbers on every platform and library.
struct TSplitMix {
    std::uint64_t State;
    std::uint64_t Next() {
        std::uint64_t z = (State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Unit() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); } // [0, 1)
    double Between(double lo, double hi) { return lo + (hi - lo) * Unit(); }
};

// Pan: along the axis where the picture overflows the zoomed view most, from one end of the
// allowed range to the other; across it centred on what matters (or at `across` of its range).
TMotionPath Pan(const TGeometry& g, double zoom, bool reverse, const double* across) {
    TBox v = ViewAt(g, zoom);
    const TRange rx = AllowedX(g, v.W), ry = AllowedY(g, v.H);
    const bool horizontal = (g.PW - v.W) / v.W >= (g.PH - v.H) / v.H;
    TBox a = v, b = v;
    if (horizontal) {
        a.X = rx.Lo, b.X = rx.Hi;
        if (across)
            a.Y = b.Y = ry.Lo + (ry.Hi - ry.Lo) * *across;
    } else {
        a.Y = ry.Lo, b.Y = ry.Hi;
        if (across)
            a.X = b.X = rx.Lo + (rx.Hi - rx.Lo) * *across;
    }
    if (reverse)
        std::swap(a, b);
    return {TMotionStyle::Pan, Fraction(g, a), Fraction(g, b)};
}

TBox RandomView(const TGeometry& g, double z, TSplitMix& rng) {
    TBox b = ViewAt(g, z);
    const TRange rx = AllowedX(g, b.W), ry = AllowedY(g, b.H);
    b.X = rng.Between(rx.Lo, rx.Hi);
    b.Y = rng.Between(ry.Lo, ry.Hi);
    return b;
}

TMotionPath Random(const TGeometry& g, double zoom, std::uint32_t seed) {
    TSplitMix rng{0x5EED0000ull ^ (std::uint64_t(seed) << 20) ^ seed};
    const int kind = int(rng.Next() % 3);
    if (kind == 2) {
        const double across = rng.Unit();
        return Pan(g, zoom, rng.Next() & 1, &across);
    }
    // A wide view near the whole framing and a close one near the full zoom.
    const double wide = 1 + (zoom - 1) * rng.Between(0, 0.25);
    const double close = 1 + (zoom - 1) * rng.Between(0.75, 1);
    const TBox a = RandomView(g, wide, rng), b = RandomView(g, close, rng);
    if (kind == 0)
        return {TMotionStyle::ZoomIn, Fraction(g, a), Fraction(g, b)};
    return {TMotionStyle::ZoomOut, Fraction(g, b), Fraction(g, a)};
}

// A slide's own rectangle: given the frame's aspect around its centre, kept between the whole
// framing and the closest zoom, and moved inside what the framing allows.
TBox OwnView(const TGeometry& g, const TMotionRect& f) {
    TBox b{f.X * g.PW, f.Y * g.PH, std::max(f.W, 1e-6) * g.PW, std::max(f.H, 1e-6) * g.PH};
    const double cx = b.X + b.W / 2, cy = b.Y + b.H / 2;
    if (b.W / b.H > g.Aspect)
        b.H = b.W / g.Aspect;
    else
        b.W = b.H * g.Aspect;
    const double scale = std::clamp(b.W / g.BaseW, 1 / LargestMotionZoom, 1.0);
    b.W = g.BaseW * scale;
    b.H = g.BaseH * scale;
    const TRange rx = Allowed(b.W, g.PW, false, 0, 0), ry = Allowed(b.H, g.PH, false, 0, 0);
    b.X = Place(rx, cx, b.W);
    b.Y = Place(ry, cy, b.H);
    return b;
}
// Between a view around the picture (larger than it along an axis: the bars) and one inside it
// (cropping), the edges move in straight lines; unless the bars are shared in the same
// proportion as the crop's margins, the view would cut one side of the picture while it still
// shows a bar beyond the other. At the moment the view's size passes the picture's, it then
// matches the picture exactly. A view around the picture holds every face wherever it sits.
void ShareBars(double& aPos, double aSize, double bPos, double bSize) {
    if (aSize <= 1 || bSize >= 1)
        return;
    const double before = bPos, after = 1 - bPos - bSize; // the crop's margins
    aPos = before + after > 0 ? -(aSize - 1) * before / (before + after) : aPos;
}

TMotionPath Aligned(TMotionPath path, TFraming framing) {
    if (framing == TFraming::Fill)
        return path;
    TMotionRect& a = path.Start;
    TMotionRect& b = path.End;
    ShareBars(a.X, a.W, b.X, b.W);
    ShareBars(b.X, b.W, a.X, a.W);
    ShareBars(a.Y, a.H, b.Y, b.H);
    ShareBars(b.Y, b.H, a.Y, a.H);
    return path;
}

TMotionPath Plan(const TMotionRequest& request);
} // namespace

TMotionPath PlanMotion(const TMotionRequest& request) { return Aligned(Plan(request), request.Framing); }

namespace {
TMotionPath Plan(const TMotionRequest& request) {
    const TGeometry g = Geometry(request);
    const double zoom = std::clamp(request.Zoom, SmallestMotionZoom, LargestMotionZoom);
    switch (request.Style) {
    case TMotionStyle::ZoomIn:
        return {TMotionStyle::ZoomIn, Fraction(g, ViewAt(g, 1)), Fraction(g, ViewAt(g, zoom))};
    case TMotionStyle::ZoomOut:
        return {TMotionStyle::ZoomOut, Fraction(g, ViewAt(g, zoom)), Fraction(g, ViewAt(g, 1))};
    case TMotionStyle::Pan:
        return Pan(g, zoom, false, nullptr);
    case TMotionStyle::Random:
        return Random(g, zoom, request.Seed);
    case TMotionStyle::Rects:
        return {TMotionStyle::Rects, Fraction(g, OwnView(g, request.Start)), Fraction(g, OwnView(g, request.End))};
    case TMotionStyle::Off:
        break;
    }
    const TMotionRect still = Fraction(g, ViewAt(g, 1));
    return {TMotionStyle::Off, still, still};
}
} // namespace

TMotionRect MotionView(const TMotionPath& path, double progress) {
    const double s = std::clamp(progress, 0.0, 1.0);
    auto mix = [s](double a, double b) { return a + (b - a) * s; };
    const TMotionRect& a = path.Start;
    const TMotionRect& b = path.End;
    // Edges, not centre and size: an edge between two edges that hold a box holds it too.
    const double left = mix(a.X, b.X), right = mix(a.X + a.W, b.X + b.W);
    const double top = mix(a.Y, b.Y), bottom = mix(a.Y + a.H, b.Y + b.H);
    return {left, top, right - left, bottom - top};
}

double MotionProgress(int frame, long long frames, bool easeIn, bool easeOut) {
    if (frames <= 1)
        return easeOut ? 1.0 : 0.0;
    const double t = std::clamp(double(frame) / (frames - 1), 0.0, 1.0);
    // A speed that ramps up evenly over the first half and down over the last half where
    // eased, and stays constant otherwise; the distance covered is 1.
    const double in = easeIn ? 0.5 : 0.0, out = easeOut ? 0.5 : 0.0;
    const double top = 1 / (1 - (in + out) / 2);
    if (t < in)
        return top * t * t / (2 * in);
    if (t > 1 - out)
        return 1 - top * (1 - t) * (1 - t) / (2 * out);
    return top * (t - in / 2);
}

double ClosestViewZoom(const TMotionRequest& request) {
    switch (request.Style) {
    case TMotionStyle::Off:
        return 1;
    case TMotionStyle::Rects: {
        const TGeometry g = Geometry(request);
        const double a = OwnView(g, request.Start).W, b = OwnView(g, request.End).W;
        return g.BaseW / std::min(a, b);
    }
    default:
        return std::clamp(request.Zoom, SmallestMotionZoom, LargestMotionZoom);
    }
}

TMotionRect FillView(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight, const TInterest& interest) {
    TMotionRequest r;
    r.PictureWidth = pictureWidth, r.PictureHeight = pictureHeight;
    r.FrameWidth = frameWidth, r.FrameHeight = frameHeight;
    r.Framing = TFraming::Fill;
    r.Interest = interest;
    return PlanMotion(r).Start;
}
