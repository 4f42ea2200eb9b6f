#include "effects/PolygonEffects.h"

#include "effects/MulDiv.h"
#include "effects/Primitives.h"
#include "effects/RegionBuilder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

// Notation of every member: D the frame being built (holding the old picture on entry), I the
// new picture, W x H the frame, w x h the progress sizes, p the percent; hW, hH, hw, hh their
// halves. Tri and Quad are polygons filled by the winding rule.
#define POLYGON(name)                                                                                 \
    void name(TFrameBitmap& D, const TFrameBitmap& I, [[maybe_unused]] int W, [[maybe_unused]] int H, \
              [[maybe_unused]] int w, [[maybe_unused]] int h, [[maybe_unused]] int p)

#define HALVES                                                                                        \
    [[maybe_unused]] const int hW = half(W), hH = half(H), hw = half(w), hh = half(h)

namespace PolygonEffects {

namespace {

constexpr int half(int x) { return x / 2; }
constexpr long double Pi = std::numbers::pi_v<long double>;

TRegion Tri(TPoint a, TPoint b, TPoint c) { return PolygonRgn({a.X, a.Y, b.X, b.Y, c.X, c.Y}); }
TRegion Quad(TPoint a, TPoint b, TPoint c, TPoint d) { return PolygonRgn({a.X, a.Y, b.X, b.Y, c.X, c.Y, d.X, d.Y}); }

// The first part combined with each further part in turn.
TRegion Combined(TCombineMode mode, std::initializer_list<TRegion> parts) {
    TRegion result = *parts.begin();
    for (auto part = parts.begin() + 1; part != parts.end(); ++part)
        CombineRgn(result, result, *part, mode);
    return result;
}

TRegion Frame(int W, int H) { return CreateRectRgn(0, 0, W, H); }

// The sense of the turn comes from the transition's seed, so it is the same on every frame.
void RotatedReveal(TFrameBitmap& D, const TFrameBitmap& I, std::span<TPoint> points, int cx, int cy, int p) {
    RotatePoints(points, int(points.size()) - 1, cx, cy, RotationAngle(p, EffectSeed(I)));
    ClipAndCopy(D, I, CreatePolygonRgn(points.data(), int(points.size()), TFillRule::Winding));
}

// A band of half thickness c about the line at mid whose two edges zigzag in step: twelve
// corners on each edge, step apart along the band, alternately n beyond and n short of it.
// Point k runs along the first edge and point 23 - k back along the second.
std::array<TPoint, 24> ZigzagBand(int mid, int c, int n, int step, bool horizontal) {
    std::array<TPoint, 24> points;
    for (int k = 0; k < 12; ++k) {
        const int shift = k % 2 == 0 ? n : -n;
        const int along = k * step;
        const int first = mid - c + shift, second = mid + c + shift;
        points[std::size_t(k)] = horizontal ? TPoint{along, first} : TPoint{first, along};
        points[std::size_t(23 - k)] = horizontal ? TPoint{along, second} : TPoint{second, along};
    }
    return points;
}

} // namespace

long double RotationAngle(int p, std::uint32_t seed) {
    const long double a = p * Pi / 50;
    return seed % 2 == 1 ? -a : a;
}

// Right triangles with legs 2w and 2h growing from a corner.
POLYGON(RevealDiagonalFromTopLeft) { ClipAndCopy(D, I, Tri({0, 0}, {2 * w, 0}, {0, 2 * h})); }
POLYGON(RevealDiagonalFromTopRight) { ClipAndCopy(D, I, Tri({W, 0}, {W - 2 * w, 0}, {W, 2 * h})); }
POLYGON(RevealDiagonalFromBottomLeft) { ClipAndCopy(D, I, Tri({0, H}, {2 * w, H}, {0, H - 2 * h})); }
POLYGON(RevealDiagonalFromBottomRight) { ClipAndCopy(D, I, Tri({W, H}, {W - 2 * w, H}, {W, H - 2 * h})); }

// Two edges turn about opposite corners until they meet on the diagonal.
POLYGON(DiagonalSweepAnticlockwise) {
    ClipAndCopy(D, I, Combined(rgnOr, {Tri({0, H}, {0, 0}, {w, H}), Tri({W, H}, {W, 0}, {W - w, 0})}));
}

POLYGON(DiagonalSweepClockwise) {
    ClipAndCopy(D, I, Combined(rgnOr, {Tri({W, 0}, {0, 0}, {W, h}), Tri({W, H}, {0, H}, {0, H - h})}));
}

// Four edges turn about the centre, one from each corner.
POLYGON(StarburstClockwise) {
    HALVES;
    const TPoint c{hW, hH};
    ClipAndCopy(D, I,
                Combined(rgnOr, {Tri(c, {0, 0}, {w, 0}), Tri(c, {0, H}, {0, H - h}), Tri(c, {W, H}, {W - w, H}),
                                 Tri(c, {W, 0}, {W, h})}));
}

POLYGON(StarburstAnticlockwise) {
    HALVES;
    const TPoint c{hW, hH};
    ClipAndCopy(D, I,
                Combined(rgnOr, {Tri(c, {0, 0}, {0, h}), Tri(c, {0, H}, {w, H}), Tri(c, {W, H}, {W, H - h}),
                                 Tri(c, {W, 0}, {W - w, 0})}));
}

// Downward triangles, one per cell of 2cw x 2ch, growing to twice the cell. The rows of cells
// run one cell beyond the bottom edge so that the grown triangles of the row below reach up
// into the frame.
POLYGON(TriangularShred) {
    const int cw = W / 10 + 1, ch = H / 10 + 1;
    const int tw = MulDiv(cw, p, 50), th = MulDiv(ch, p, 50);
    // Centres x = cw, 3cw, ... while x - cw < W; y = ch, 3ch, ... while y - ch < H + ch.
    const TRegion triangle = Tri({-tw, -th}, {0, th}, {tw, -th});
    ClipAndCopy(D, I, RepeatRgn(triangle, cw, 2 * cw, W + cw, ch, 2 * ch, H + 2 * ch));
}

// A fan from 12 o'clock of p points, 3.6 degrees apart, on a circle through the frame's corners.
void Sweep(TFrameBitmap& D, const TFrameBitmap& I, int W, int H, int p, int sense) {
    const int hW = half(W), hH = half(H);
    const int radius = static_cast<int>(std::ceil(std::hypot(static_cast<long double>(hW), static_cast<long double>(hH))));
    const long double start = -Pi / 2;
    ClipAndCopy(D, I, CreateSectorRgn(hW, hH, radius, start, start + sense * (p * Pi / 50), p));
}

POLYGON(SweepClockwise) { Sweep(D, I, W, H, p, 1); }
POLYGON(SweepAnticlockwise) { Sweep(D, I, W, H, p, -1); }

POLYGON(RotationalRectangle) {
    HALVES;
    std::array<TPoint, 4> r{{{hW - hw, hH - hh}, {hW + hw, hH - hh}, {hW + hw, hH + hh}, {hW - hw, hH + hh}}};
    RotatedReveal(D, I, r, hW, hH, p);
}

POLYGON(RotationalStar) {
    HALVES;
    std::array<TPoint, 8> star{{{hW - 2 * w, hH},
                                {hW - hw, hH - hh},
                                {hW, hH - 2 * h},
                                {hW + hw, hH - hh},
                                {hW + 2 * w, hH},
                                {hW + hw, hH + hh},
                                {hW, hH + 2 * h},
                                {hW - hw, hH + hh}}};
    RotatedReveal(D, I, star, hW, hH, p);
}

// The centre of the turn moves down the diagonal from the top left corner.
POLYGON(SpiralRectangle) {
    HALVES;
    std::array<TPoint, 4> r{{{hW - hw, hH - hh}, {hW + hw, hH - hh}, {hW + hw, hH + hh}, {hW - hw, hH + hh}}};
    RotatedReveal(D, I, r, w, h, p);
}

// V-shaped wedges from the middle of an edge.
POLYGON(RevealVFromLeft) {
    HALVES;
    ClipAndCopy(D, I, Tri({0, hH - h}, {2 * w, hH}, {0, hH + h}));
}

POLYGON(RevealVFromRight) {
    HALVES;
    ClipAndCopy(D, I, Tri({W, hH - h}, {W - 2 * w, hH}, {W, hH + h}));
}

POLYGON(RevealVFromTop) {
    HALVES;
    ClipAndCopy(D, I, Tri({hW - w, 0}, {hW, 2 * h}, {hW + w, 0}));
}

POLYGON(RevealVFromBottom) {
    HALVES;
    ClipAndCopy(D, I, Tri({hW - w, H}, {hW, H - 2 * h}, {hW + w, H}));
}

// The horizontal tie's tips reach the opposite edge at the end; the vertical one's move twice
// as fast and cross in the middle.
POLYGON(BowTieHorizontal) {
    HALVES;
    ClipAndCopy(D, I,
                Combined(rgnOr, {Tri({0, hH - h}, {w, hH}, {0, hH + h}), Tri({W, hH - h}, {W - w, hH}, {W, hH + h})}));
}

POLYGON(BowTieVertical) {
    HALVES;
    ClipAndCopy(D, I,
                Combined(rgnOr, {Tri({hW - w, 0}, {hW, 2 * h}, {hW + w, 0}),
                                 Tri({hW - w, H}, {hW, H - 2 * h}, {hW + w, H})}));
}

POLYGON(DiagonalCrossIn) {
    HALVES;
    ClipAndCopy(D, I,
                Combined(rgnOr, {Tri({0, hH - hh}, {hw, hH}, {0, hH + hh}), Tri({W, hH - hh}, {W - hw, hH}, {W, hH + hh}),
                                 Tri({hW - hw, 0}, {hW, hh}, {hW + hw, 0}),
                                 Tri({hW - hw, H}, {hW, H - hh}, {hW + hw, H})}));
}

// The frame minus four shrinking wedges, each taken out by exclusive-or: where two wedges
// overlap, the overlap is uncovered again.
POLYGON(DiagonalCrossOut) {
    HALVES;
    const int a = half(W - w), b = half(H - h);
    ClipAndCopy(D, I,
                Combined(rgnXor, {Frame(W, H), Tri({0, hH - b}, {a, hH}, {0, hH + b}),
                                  Tri({W, hH - b}, {W - a, hH}, {W, hH + b}), Tri({hW - a, 0}, {hW, b}, {hW + a, 0}),
                                  Tri({hW - a, H}, {hW, H - b}, {hW + a, H})}));
}

POLYGON(ZigzagHorizontal) {
    HALVES;
    const int n = H / 10, step = W / 10, c = MulDiv(n, p, 100) + hh;
    const std::array<TPoint, 24> band = ZigzagBand(hH, c, n, step, true);
    ClipAndCopy(D, I, CreatePolygonRgn(band.data(), int(band.size()), TFillRule::Winding));
}

POLYGON(ZigzagVertical) {
    HALVES;
    const int n = W / 10, step = H / 10, c = MulDiv(n, p, 100) + hw;
    const std::array<TPoint, 24> band = ZigzagBand(hW, c, n, step, false);
    ClipAndCopy(D, I, CreatePolygonRgn(band.data(), int(band.size()), TFillRule::Winding));
}

// Diamonds growing about the centres of cells 2c a side, up to twice the cell.
POLYGON(DiamondShred) {
    const int c = std::min(W, H) / 10 + 1, b = MulDiv(c, p, 50);
    // Centres x = c, 3c, ... while x - c < W; y = c, 3c, ... while y - c < H.
    const TRegion diamond = Quad({-b, 0}, {0, -b}, {b, 0}, {0, b});
    ClipAndCopy(D, I, RepeatRgn(diamond, c, 2 * c, W + c, c, 2 * c, H + c));
}

POLYGON(RevealDiamondOutFromCentre) {
    HALVES;
    ClipAndCopy(D, I, Quad({hW - w, hH}, {hW, hH - h}, {hW + w, hH}, {hW, hH + h}));
}

// The frame minus a diamond that shrinks from half-diagonals of about W and H.
POLYGON(RevealDiamondInToCentre) {
    HALVES;
    ClipAndCopy(D, I,
                Combined(rgnXor, {Frame(W, H), Quad({w - hW, hH}, {hW, h - hH}, {3 * hW - w, hH}, {hW, 3 * hH - h})}));
}

// A diamond ring: the outer diamond grows beyond the frame's diamond, the inner one shrinks.
POLYGON(DiagonalBoxOut) {
    HALVES;
    ClipAndCopy(D, I,
                Combined(rgnXor, {Quad({-hw, hH}, {hW, -hh}, {2 * hW + hw, hH}, {hW, 2 * hH + hh}),
                                  Quad({hw, hH}, {hW, hh}, {2 * hW - hw, hH}, {hW, 2 * hH - hh})}));
}

} // namespace PolygonEffects
