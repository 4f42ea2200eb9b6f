#include "effects/StripRegions.h"

#include "effects/Random.h"
#include "effects/RegionBuilder.h"

#include <algorithm>

namespace {

constexpr int half(int x) { return x / 2; }

// The rectangles are collected into the region data in the order the patterns name them; only
// the order of the generator's draws matters for the result, and it follows the loops below.

void AddHorizontalBars(TComplexRegion& rgn, int X, int W, int H, int e, int mode) {
    if (X <= W) {
        for (int y = 0; y < H + e; y += 2 * e) {
            if (mode == 1 || mode == 5)
                rgn.AddRect(W - X, y, W, y + e);
            else if (mode == 2 || mode == 4)
                rgn.AddRect(0, y, X, y + e);
            else if (mode == 3) {
                rgn.AddRect(0, y + e, X, y + 2 * e);
                rgn.AddRect(W - X, y, W, y + e);
            }
        }
    } else {
        for (int y = e; y < H + e; y += 2 * e) {
            if (mode == 1 || mode == 4)
                rgn.AddRect(2 * W - X, y, W, y + e);
            else if (mode == 2 || mode == 5)
                rgn.AddRect(0, y, X - W, y + e);
            rgn.AddRect(0, y - e, W, y);
        }
    }
}

void AddVerticalBars(TComplexRegion& rgn, int Y, int W, int H, int e, int mode) {
    if (Y <= H) {
        for (int x = 0; x < W + e; x += 2 * e) {
            if (mode == 1 || mode == 5)
                rgn.AddRect(x, H - Y, x + e, H);
            else if (mode == 2 || mode == 4)
                rgn.AddRect(x, 0, x + e, Y);
            else if (mode == 3) {
                rgn.AddRect(x, H - Y, x + e, H);
                rgn.AddRect(x + e, 0, x + 2 * e, Y);
            }
        }
    } else {
        for (int x = e; x < W + e; x += 2 * e) {
            if (mode == 1 || mode == 4)
                rgn.AddRect(x, 2 * H - Y, x + e, H);
            else if (mode == 2 || mode == 5)
                rgn.AddRect(x, 0, x + e, Y - H);
            rgn.AddRect(x - e, 0, x, H);
        }
    }
}

} // namespace

std::optional<TRegion> CreateBarRgn(int X, int Y, int W, int H, int HorzMode, int VertMode) {
    const int e = std::min(W, H) / 50 + 1;
    TComplexRegion rgn;
    if (HorzMode != 0)
        AddHorizontalBars(rgn, X, W, H, e, HorzMode);
    if (VertMode != 0)
        AddVerticalBars(rgn, Y, W, H, e, VertMode);
    return rgn.CreateRegion();
}

std::optional<TRegion> CreateShredRgn(int X, int Y, int W, int H, int HorzMode, int VertMode) {
    const int e = std::min(W, H) / 200 + 1;
    const int rw = W % e, rh = H % e, hw = half(W), hh = half(H);
    TComplexRegion rgn;
    if (HorzMode != 0) {
        const int l = X < W ? W / 10 : 0;
        const int thick = e + rh; // strips overlap by the remainder, the last one reaches the edge
        for (int y = 0; y < H; y += e) {
            const int r = Random(2 * l) - l + X;
            const int q = half(r);
            switch (HorzMode) {
            case 1:
                rgn.AddRect(W - r, y, W, y + thick);
                break;
            case 2:
                rgn.AddRect(0, y, r, y + thick);
                break;
            case 3:
                rgn.AddRect(hw - q, y, hw, y + thick);
                rgn.AddRect(hw, y, hw + q, y + thick);
                break;
            case 4:
                rgn.AddRect(W - q, y, W, y + thick);
                rgn.AddRect(0, y, q, y + thick);
                break;
            }
        }
    }
    if (VertMode != 0) {
        const int l = Y < H ? H / 10 : 0;
        const int thick = e + rw;
        for (int x = 0; x < W; x += e) {
            const int r = Random(2 * l) + Y - l;
            const int q = half(r);
            switch (VertMode) {
            case 1:
                rgn.AddRect(x, H - r, x + thick, H);
                break;
            case 2:
                rgn.AddRect(x, 0, x + thick, r);
                break;
            case 3:
                rgn.AddRect(x, hh - q, x + thick, hh);
                rgn.AddRect(x, hh, x + thick, hh + q);
                break;
            case 4:
                rgn.AddRect(x, H - q, x + thick, H);
                rgn.AddRect(x, 0, x + thick, q);
                break;
            }
        }
    }
    return rgn.CreateRegion();
}

namespace {

// The speck pattern along one side of length `side` (W for rows of specks, H for columns).
struct TSpeckle {
    int Size, Count, Near;

    TSpeckle(int extent, int side) {
        const int g = extent < side ? side / 10 : 0;
        Size = std::max(g / 20, 2);
        Count = g / Size;
        Near = (3 * g) / (4 * Size);
    }

    // One draw for the i-th speck ahead of the edge: kept with probability 2/i in the near zone
    // (always for i <= 2), 1/i beyond it.
    bool Keep(int i) const {
        const int r = Random(i);
        return i <= Near ? r <= 1 : r == 0;
    }
};

} // namespace

std::optional<TRegion> CreateSpeckleRgn(int X, int Y, int W, int H, int HorzMode, int VertMode) {
    TComplexRegion rgn;
    if (HorzMode != 0) {
        const TSpeckle sp(X, W);
        const int s = sp.Size;
        for (int y = 0; y < H; y += half(s)) { // rows of specks overlap by half
            if (HorzMode == 1) {
                rgn.AddRect(W - X, y, W, y + s);
                for (int i = sp.Count; i >= 1; --i)
                    if (sp.Keep(i))
                        rgn.AddRect(W - X - i * s, y, W - X - i * s + s, y + s);
            } else {
                rgn.AddRect(0, y, X, y + s);
                for (int i = sp.Count; i >= 1; --i)
                    if (sp.Keep(i))
                        rgn.AddRect(X + i * s - s, y, X + i * s, y + s);
            }
        }
    }
    if (VertMode != 0) {
        const TSpeckle sp(Y, H);
        const int s = sp.Size;
        for (int x = 0; x < W; x += half(s)) {
            if (VertMode == 1) {
                rgn.AddRect(x, H - Y, x + s, H);
                for (int i = sp.Count; i >= 1; --i)
                    if (sp.Keep(i))
                        rgn.AddRect(x, H - Y - i * s, x + s, H - Y - i * s + s);
            } else {
                rgn.AddRect(x, 0, x + s, Y);
                for (int i = sp.Count; i >= 1; --i)
                    if (sp.Keep(i))
                        rgn.AddRect(x, Y + i * s - s, x + s, Y + i * s);
            }
        }
    }
    return rgn.CreateRegion();
}
