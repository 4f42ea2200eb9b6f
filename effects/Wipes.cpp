#include "effects/Wipes.h"

#include "effects/Primitives.h"

#include <algorithm>

// Notation of every wipe: D the frame being built (holding the old picture on entry), I the
// new picture, W x H the frame, w x h the progress sizes. A block taken from D itself is the
// old picture moving inside the frame; the primitives read such a block before writing it.
#define WIPE(name)                                                                                    \
    void name(TFrameBitmap& D, const TFrameBitmap& I, [[maybe_unused]] int W, [[maybe_unused]] int H, \
              [[maybe_unused]] int w, [[maybe_unused]] int h, int)

namespace Wipes {

namespace {
constexpr int half(int x) { return x / 2; }
// How far the unroll shading darkens the edges of the roll.
constexpr int RollShade = 64;
} // namespace

int RollWidth(int length, int uncovered) {
    int r = length / 10;
    if (uncovered < r)
        r = uncovered;
    else if (length - uncovered < 2 * r)
        r = half(length - uncovered);
    return r;
}

// Horizontal members.

WIPE(ExpandFromRight) { Stretch(D, W - w, 0, w, H, I, 0, 0, W, H); }
WIPE(ExpandFromLeft) { Stretch(D, 0, 0, w, H, I, 0, 0, W, H); }
WIPE(SlideInFromRight) { Copy(D, W - w, 0, W, H, I, 0, 0); }
WIPE(SlideInFromLeft) { Copy(D, w - W, 0, W, H, I, 0, 0); }
WIPE(RevealFromLeft) { Copy(D, 0, 0, w, H, I, 0, 0); }
WIPE(RevealFromRight) { Copy(D, W - w, 0, w, H, I, W - w, 0); }
WIPE(ExpandInFromRight) { Stretch(D, 0, 0, 2 * W - w, H, I, 0, 0, w, H); }
WIPE(ExpandInFromLeft) { Stretch(D, w - W, 0, 2 * W - w, H, I, W - w, 0, w, H); }
WIPE(ExpandInToMiddle) { Stretch(D, w - W, 0, 3 * W - 2 * w, H, I, half(W - w), 0, w, H); }
WIPE(ExpandOutFromMiddle) { Stretch(D, half(W - w), 0, w, H, I, 0, 0, W, H); }

WIPE(RevealOutFromMiddle) {
    const int x = half(W - w);
    Copy(D, x, 0, w, H, I, x, 0);
}

WIPE(RevealInFromSides) {
    const int c = half(w);
    Copy(D, 0, 0, c, H, I, 0, 0);
    Copy(D, W - c, 0, c, H, I, W - c, 0);
}

WIPE(ExpandInFromSides) {
    const int d = half(w), s = half(W);
    Stretch(D, 0, 0, d, H, I, 0, 0, s, H);
    Stretch(D, W - d, 0, d, H, I, s, 0, s, H);
}

// The roll is the slice of the new picture beyond it, mirrored, shaded darker at its edges.
WIPE(UnrollFromLeft) {
    const int r = RollWidth(W, w);
    Stretch(D, w + r - 1, 0, -r, H, I, w + r, 0, r, H);
    Copy(D, 0, 0, w, H, I, 0, 0);
    ShadeColumns(D, RollShade, w, r);
}

WIPE(UnrollFromRight) {
    const int r = RollWidth(W, w), x = W - w;
    Stretch(D, x - 1, 0, -r, H, I, x - 2 * r - 1, 0, r, H);
    Copy(D, x, 0, w, H, I, x, 0);
    ShadeColumns(D, RollShade, x - r, r);
}

WIPE(BuildUpFromRight) {
    Copy(D, 0, 0, w, H, I, 0, 0);
    const int s = std::min(W - w, W / 10);
    Stretch(D, w, 0, W - w, H, I, w, 0, s, H);
}

WIPE(BuildUpFromLeft) {
    const int x = W - w;
    Copy(D, x, 0, w, H, I, x, 0);
    const int sx = std::max(x - W / 10, 0);
    Stretch(D, 0, 0, x, H, I, sx, 0, x - sx, H);
}

// Vertical members: the horizontal ones with the axes exchanged.

WIPE(ExpandFromBottom) { Stretch(D, 0, H - h, W, h, I, 0, 0, W, H); }
WIPE(ExpandFromTop) { Stretch(D, 0, 0, W, h, I, 0, 0, W, H); }
WIPE(SlideInFromBottom) { Copy(D, 0, H - h, W, H, I, 0, 0); }
WIPE(SlideInFromTop) { Copy(D, 0, h - H, W, H, I, 0, 0); }
WIPE(RevealFromTop) { Copy(D, 0, 0, W, h, I, 0, 0); }
WIPE(RevealFromBottom) { Copy(D, 0, H - h, W, h, I, 0, H - h); }
WIPE(ExpandInFromBottom) { Stretch(D, 0, 0, W, 2 * H - h, I, 0, 0, W, h); }
WIPE(ExpandInFromTop) { Stretch(D, 0, h - H, W, 2 * H - h, I, 0, H - h, W, h); }
WIPE(ExpandInToMiddleHorizontal) { Stretch(D, 0, h - H, W, 3 * H - 2 * h, I, 0, half(H - h), W, h); }
WIPE(ExpandOutFromMiddleHorizontal) { Stretch(D, 0, half(H - h), W, h, I, 0, 0, W, H); }

WIPE(RevealFromMiddleHorizontal) {
    const int y = half(H - h);
    Copy(D, 0, y, W, h, I, 0, y);
}

WIPE(SlideInFromTopAndBottom) {
    const int c = half(h);
    Copy(D, 0, 0, W, c, I, 0, 0);
    Copy(D, 0, H - c, W, c, I, 0, H - c);
}

WIPE(ExpandInFromTopAndBottom) {
    const int d = half(h), s = half(H);
    Stretch(D, 0, 0, W, d, I, 0, 0, W, s);
    Stretch(D, 0, H - d, W, d, I, 0, s, W, s);
}

WIPE(UnrollFromTop) {
    const int r = RollWidth(H, h);
    Stretch(D, 0, h + r - 1, W, -r, I, 0, h + r, W, r);
    Copy(D, 0, 0, W, h, I, 0, 0);
    ShadeRows(D, RollShade, h, r);
}

WIPE(UnrollFromBottom) {
    const int r = RollWidth(H, h), y = H - h;
    Stretch(D, 0, y - 1, W, -r, I, 0, y - 2 * r - 1, W, r);
    Copy(D, 0, y, W, h, I, 0, y);
    ShadeRows(D, RollShade, y - r, r);
}

WIPE(BuildUpFromBottom) {
    Copy(D, 0, 0, W, h, I, 0, 0);
    const int s = std::min(H - h, H / 10);
    Stretch(D, 0, h, W, H - h, I, 0, h, W, s);
}

WIPE(BuildUpFromTop) {
    const int y = H - h;
    Copy(D, 0, y, W, h, I, 0, y);
    const int sy = std::max(y - H / 10, 0);
    Stretch(D, 0, 0, W, y, I, 0, sy, W, y - sy);
}

// Corner and centre members.

WIPE(ExpandFromBottomRight) { Stretch(D, W - w, H - h, w, h, I, 0, 0, W, H); }
WIPE(ExpandFromTopRight) { Stretch(D, W - w, 0, w, h, I, 0, 0, W, H); }
WIPE(ExpandFromTopLeft) { Stretch(D, 0, 0, w, h, I, 0, 0, W, H); }
WIPE(ExpandFromBottomLeft) { Stretch(D, 0, H - h, w, h, I, 0, 0, W, H); }
WIPE(SlideInFromBottomRight) { Copy(D, W - w, H - h, W, H, I, 0, 0); }
WIPE(SlideInFromTopRight) { Copy(D, W - w, h - H, W, H, I, 0, 0); }
WIPE(SlideInFromTopLeft) { Copy(D, w - W, h - H, W, H, I, 0, 0); }
WIPE(SlideInFromBottomLeft) { Copy(D, w - W, H - h, W, H, I, 0, 0); }
WIPE(RevealFromTopLeft) { Copy(D, 0, 0, w, h, I, 0, 0); }
WIPE(RevealFromBottomLeft) { Copy(D, 0, H - h, w, h, I, 0, H - h); }
WIPE(RevealFromBottomRight) { Copy(D, W - w, H - h, w, h, I, W - w, H - h); }
WIPE(RevealFromTopRight) { Copy(D, W - w, 0, w, h, I, W - w, 0); }
WIPE(AppearAndContractToTopLeft) { Stretch(D, 0, 0, 2 * W - w, 2 * H - h, I, 0, 0, w, h); }
WIPE(AppearAndContractToBottomLeft) { Stretch(D, 0, h - H, 2 * W - w, 2 * H - h, I, 0, H - h, w, h); }
WIPE(AppearAndContractToBottomRight) { Stretch(D, w - W, h - H, 2 * W - w, 2 * H - h, I, W - w, H - h, w, h); }
WIPE(AppearAndContractToTopRight) { Stretch(D, w - W, 0, 2 * W - w, 2 * H - h, I, W - w, 0, w, h); }

WIPE(AppearAndContractToMiddle) {
    Stretch(D, w - W, h - H, 3 * W - 2 * w, 3 * H - 2 * h, I, half(W - w), half(H - h), w, h);
}

WIPE(ExpandOutFromCentre) { Stretch(D, half(W - w), half(H - h), w, h, I, 0, 0, W, H); }

WIPE(RevealOutFromCentre) {
    const int x = half(W - w), y = half(H - h);
    Copy(D, x, y, w, h, I, x, y);
}

// Everything but a shrinking centred rectangle: the frame minus that rectangle is drawn as the
// bands above and below it and the strips beside it. An empty rectangle excludes nothing.
WIPE(RevealInToCentre) {
    const int left = half(w), top = half(h), right = W - half(w), bottom = H - half(h);
    if (left >= right || top >= bottom) {
        Copy(D, 0, 0, W, H, I, 0, 0);
        return;
    }
    Copy(D, 0, 0, W, top, I, 0, 0);
    Copy(D, 0, bottom, W, H - bottom, I, 0, bottom);
    Copy(D, 0, top, left, bottom - top, I, 0, top);
    Copy(D, right, top, W - right, bottom - top, I, right, top);
}

WIPE(QuartersRevealInToMiddle) {
    const int cw = half(w), ch = half(h), x = W - cw, y = H - ch;
    Copy(D, 0, 0, cw, ch, I, 0, 0);
    Copy(D, 0, y, cw, ch, I, 0, y);
    Copy(D, x, y, cw, ch, I, x, y);
    Copy(D, x, 0, cw, ch, I, x, 0);
}

WIPE(QuartersExpandToMiddle) {
    const int dw = half(w), dh = half(h), sw = half(W), sh = half(H);
    Stretch(D, 0, 0, dw, dh, I, 0, 0, sw, sh);
    Stretch(D, 0, H - dh, dw, dh, I, 0, sh, sw, sh);
    Stretch(D, W - dw, H - dh, dw, dh, I, sw, sh, sw, sh);
    Stretch(D, W - dw, 0, dw, dh, I, sw, 0, sw, sh);
}

// A pinwheel: each quarter slides in from a different side.
WIPE(QuartersSlideInToMiddle) {
    const int sw = half(W), sh = half(H);
    Copy(D, half(w) - sw, 0, sw, sh, I, 0, 0);     // top left, from the left
    Copy(D, sw, half(h) - sh, sw, sh, I, sw, 0);   // top right, from the top
    Copy(D, W - half(w), sh, sw, sh, I, sw, sh);   // bottom right, from the right
    Copy(D, 0, H - half(h), sw, sh, I, 0, sh);     // bottom left, from the bottom
}

// Push and slide-out members: the old picture moves inside D first, then the new one is drawn.

WIPE(PushRight) {
    Copy(D, w, 0, W - w, H, D, 0, 0);
    Copy(D, 0, 0, w, H, I, W - w, 0);
}

WIPE(PushLeft) {
    Copy(D, 0, 0, W - w, H, D, w, 0);
    Copy(D, W - w, 0, w, H, I, 0, 0);
}

WIPE(PushAndSqueezeRight) {
    Stretch(D, w, 0, W - w, H, D, 0, 0, W, H);
    Copy(D, 0, 0, w, H, I, W - w, 0);
}

WIPE(PushAndSqueezeLeft) {
    Stretch(D, 0, 0, W - w, H, D, 0, 0, W, H);
    Copy(D, W - w, 0, w, H, I, 0, 0);
}

WIPE(PushDown) {
    Copy(D, 0, h, W, H - h, D, 0, 0);
    Copy(D, 0, 0, W, h, I, 0, H - h);
}

WIPE(PushUp) {
    Copy(D, 0, 0, W, H - h, D, 0, h);
    Copy(D, 0, H - h, W, h, I, 0, 0);
}

WIPE(PushAndSqueezeDown) {
    Stretch(D, 0, h, W, H - h, D, 0, 0, W, H);
    Copy(D, 0, 0, W, h, I, 0, H - h);
}

WIPE(PushAndSqueezeUp) {
    Stretch(D, 0, 0, W, H - h, D, 0, 0, W, H);
    Copy(D, 0, H - h, W, h, I, 0, 0);
}

WIPE(SlideOutFromRight) {
    Copy(D, w, 0, W - w, H, D, 0, 0);
    Copy(D, 0, 0, w, H, I, 0, 0);
}

WIPE(SlideOutFromLeft) {
    const int x = W - w;
    Copy(D, 0, 0, x, H, D, w, 0);
    Copy(D, x, 0, w, H, I, x, 0);
}

WIPE(SlideOutFromBottom) {
    Copy(D, 0, h, W, H - h, D, 0, 0);
    Copy(D, 0, 0, W, h, I, 0, 0);
}

WIPE(SlideOutFromTop) {
    const int y = H - h;
    Copy(D, 0, 0, W, y, D, 0, h);
    Copy(D, 0, y, W, h, I, 0, y);
}

} // namespace Wipes

#undef WIPE
