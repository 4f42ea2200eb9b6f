#include "effects/CurveEffects.h"

#include "effects/MulDiv.h"
#include "effects/Primitives.h"
#include "effects/Random.h"
#include "effects/RegionBuilder.h"

#include <algorithm>
#include <optional>

// Notation of every member: D the frame being built (holding the old picture on entry), I the
// new picture, W x H the frame, w x h the progress sizes, p the percent.
#define CURVE(name)                                                                                   \
    void name(TFrameBitmap& D, const TFrameBitmap& I, [[maybe_unused]] int W, [[maybe_unused]] int H, \
              [[maybe_unused]] int w, [[maybe_unused]] int h, [[maybe_unused]] int p)

namespace CurveEffects {

namespace {

constexpr int half(int x) { return x / 2; }

void RoundRectReveal(TFrameBitmap& D, const TFrameBitmap& I, int left, int top, int right, int bottom, int ew,
                     int eh) {
    ClipAndCopy(D, I, CreateRoundRectRgn(left, top, right, bottom, ew, eh));
}

// Makes the region of the rectangles collected (none when nothing was added) and copies the new
// picture through it.
void CopyThrough(TFrameBitmap& D, const TFrameBitmap& I, TComplexRegion& rects) {
    const std::optional<TRegion> region = rects.CreateRegion();
    rects.Clear();
    if (region)
        ClipAndCopy(D, I, *region);
}

enum class TFrom { Left, Right, Top, Bottom };

// Slats across the whole frame, one every period pixels counted from the side named, each
// width pixels wide on the side it grows from.
void AddSlats(TComplexRegion& rects, int W, int H, int period, int width, TFrom from) {
    switch (from) {
    case TFrom::Left:
        for (int x = 0; x < W; x += period)
            rects.AddRect(x, 0, x + width, H);
        break;
    case TFrom::Right:
        for (int x = W; x > 0; x -= period)
            rects.AddRect(x - width, 0, x, H);
        break;
    case TFrom::Top:
        for (int y = 0; y < H; y += period)
            rects.AddRect(0, y, W, y + width);
        break;
    case TFrom::Bottom:
        for (int y = H; y > 0; y -= period)
            rects.AddRect(0, y - width, W, y);
        break;
    }
}

// Rows 139-142: the slat period is the progress size itself, so the slats move apart as they
// widen. Nothing is drawn while that size is 0.
void UnevenBlind(TFrameBitmap& D, const TFrameBitmap& I, int W, int H, int size, int p, TFrom from) {
    if (size <= 0)
        return;
    TComplexRegion rects;
    AddSlats(rects, W, H, size, MulDiv(size, p, 100), from);
    CopyThrough(D, I, rects);
}

// Rows 146-149: bands every 3n pixels across the slats, growing about their centre lines,
// plus slats of period w (or h) as in the uneven blinds. n is a twentieth of the side the bands
// are spread along; frames too small for a band draw nothing.
void BandsAndSlats(TFrameBitmap& D, const TFrameBitmap& I, int W, int H, int w, int h, int p, TFrom from) {
    const bool across = from == TFrom::Left || from == TFrom::Right; // horizontal bands
    const int size = across ? w : h;
    const int n = across ? H / 20 : W / 20;
    if (size <= 0 || n <= 0)
        return;
    TComplexRegion rects;
    const int a = MulDiv(n, p, 100);
    for (int b = -n; b < (across ? H : W); b += 3 * n) {
        if (across)
            rects.AddRect(0, b - a, W, b + a);
        else
            rects.AddRect(b - a, 0, b + a, H);
    }
    AddSlats(rects, W, H, size, MulDiv(size, p, 100), from);
    CopyThrough(D, I, rects);
}

} // namespace

// Rounded rectangles with corners larger than themselves: fronts with half-elliptic ends from
// a side, quarter ellipses from a corner, an almost elliptic shape about the centre.

CURVE(CurvedRevealFromLeft) { RoundRectReveal(D, I, -2 * W, 0, 2 * w, H + 1, 2 * W, 2 * W); }
CURVE(CurvedRevealFromRight) { RoundRectReveal(D, I, W - 2 * w, 0, 3 * W, H + 1, 2 * W, 2 * W); }
CURVE(CurvedRevealFromTop) { RoundRectReveal(D, I, 0, -2 * H, W + 1, 2 * h, 2 * H, 2 * H); }
CURVE(CurvedRevealFromBottom) { RoundRectReveal(D, I, 0, H - 2 * h, W + 1, 3 * H, 2 * H, 2 * H); }
CURVE(CurvedRevealFromTopLeft) { RoundRectReveal(D, I, -W, -H, (3 * w) / 2, (3 * h) / 2, 2 * W, 2 * H); }
CURVE(CurvedRevealFromTopRight) { RoundRectReveal(D, I, W - (3 * w) / 2, -H, 2 * W, (3 * h) / 2, 2 * W, 2 * H); }
CURVE(CurvedRevealFromBottomLeft) { RoundRectReveal(D, I, -W, H - (3 * h) / 2, (3 * w) / 2, 2 * H, 2 * W, 2 * H); }

CURVE(CurvedRevealFromBottomRight) {
    RoundRectReveal(D, I, W - (3 * w) / 2, H - (3 * h) / 2, 2 * W, 2 * H, 2 * W, 2 * H);
}

CURVE(EllipticRevealOutFromCentre) {
    const int cx = half(W), cy = half(H);
    RoundRectReveal(D, I, cx - w, cy - h, cx + w, cy + h, (9 * w) / 5, (9 * h) / 5);
}

// Everything outside a shrinking, almost elliptic shape: the frame minus the shape, made as
// their exclusive-or so that parts of the shape beyond the frame add nothing.
CURVE(EllipticRevealInToCentre) {
    const int dx = half(W), dy = half(H);
    TRegion region = CreateRectRgn(0, 0, W, H);
    const TRegion shape =
        CreateRoundRectRgn(w - dx, h - dy, 3 * dx - w, 3 * dy - h, (9 * (W - w)) / 5, (9 * (H - h)) / 5);
    CombineRgn(region, region, shape, rgnXor);
    ClipAndCopy(D, I, region);
}

// A cell of size c appears when its draw from the seeded generator is below p. Every cell
// draws, shown or not, column by column, so the same cells come in the same order on every
// frame and a cell once shown stays shown.
CURVE(RandomSquaresAppear) {
    const int c = (std::min(W, H) / 50) * 2 + 2;
    TComplexRegion rects;
    {
        TStableRandom seeded(EffectSeed(I));
        for (int x = 0; x < W; x += c)
            for (int y = 0; y < H; y += c)
                if (Random(100) < p)
                    rects.AddRect(x, y, x + c, y + c);
    }
    CopyThrough(D, I, rects);
}

// Fixed slat period 2n; each slat opens symmetrically about its centre line.
CURVE(BlindVertically) {
    const int n = W / 40 + 1, a = MulDiv(n, p, 100);
    TComplexRegion rects;
    for (int x = 0; x < W; x += 2 * n)
        rects.AddRect(x + n - a, 0, x + n + a, H);
    CopyThrough(D, I, rects);
}

CURVE(BlindHorizontally) {
    const int n = H / 40 + 1, a = MulDiv(n, p, 100);
    TComplexRegion rects;
    for (int y = 0; y < H; y += 2 * n)
        rects.AddRect(0, y + n - a, W, y + n + a);
    CopyThrough(D, I, rects);
}

CURVE(UnevenBlindFromLeft) { UnevenBlind(D, I, W, H, w, p, TFrom::Left); }
CURVE(UnevenBlindFromRight) { UnevenBlind(D, I, W, H, w, p, TFrom::Right); }
CURVE(UnevenBlindFromTop) { UnevenBlind(D, I, W, H, h, p, TFrom::Top); }
CURVE(UnevenBlindFromBottom) { UnevenBlind(D, I, W, H, h, p, TFrom::Bottom); }

// A grid of cells 2n a side; a square grows about the centre of each.
CURVE(RectangularShred) {
    const int n = std::min(W, H) / 10 + 1, a = MulDiv(n, p, 100);
    TComplexRegion rects;
    for (int x = 0; x < W; x += 2 * n)
        for (int y = 0; y < H; y += 2 * n)
            rects.AddRect(x + n - a, y + n - a, x + n + a, y + n + a);
    CopyThrough(D, I, rects);
}

CURVE(RectanglesFromLeft) { BandsAndSlats(D, I, W, H, w, h, p, TFrom::Left); }
CURVE(RectanglesFromRight) { BandsAndSlats(D, I, W, H, w, h, p, TFrom::Right); }
CURVE(RectanglesFromTop) { BandsAndSlats(D, I, W, H, w, h, p, TFrom::Top); }
CURVE(RectanglesFromBottom) { BandsAndSlats(D, I, W, H, w, h, p, TFrom::Bottom); }

// A grid of cells 2n a side; a circle grows about the centre of each up to a radius of 1.5n,
// which covers the whole cell.
CURVE(CircularShred) {
    const int n = std::min(W, H) / 10 + 1, b = MulDiv(3 * n, p, 200);
    const TRegion circle = CreateEllipticRgn(n - b, n - b, n + b, n + b);
    ClipAndCopy(D, I, RepeatRgn(circle, 0, 2 * n, W, 0, 2 * n, H));
}

} // namespace CurveEffects
