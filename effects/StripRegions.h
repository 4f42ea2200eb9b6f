#pragma once
// The strip regions of the bar, criss cross, uneven shred and speckle effects: many thin
// rectangles growing from the edges or the middle, collected in one TComplexRegion and made into
// one region. All three take
//   X, Y: how far the horizontal strips reach along x and the vertical strips along y;
//   W, H: the frame size;
//   HorzMode, VertMode: the pattern of the horizontal strips (lying along x, stacked down the
//   frame) and of the vertical strips (side by side across it); 0 for none.
// The horizontal strips are collected first, then the vertical ones; with both modes set the
// region is their union. None when no rectangle was collected.

#include "effects/Region.h"

#include <optional>

// Regular interleaved bars of thickness Min(W, H) div 50 + 1. The extent runs up to 2W (2H) in
// the two-phase modes: the even bands fill while it is at most W (H), the odd ones after.
// Mode 1: both phases from the right (bottom); 2: both from the left (top); 4: first left (top)
// then right (bottom); 5: first right (bottom) then left (top); 3: even bands from the right
// (bottom) and odd bands from the left (top) at once, one extent of at most W (H).
std::optional<TRegion> CreateBarRgn(int X, int Y, int W, int H, int HorzMode, int VertMode);

// Strips of Min(W, H) div 200 + 1 pixels whose lengths jitter by up to a tenth of the frame
// around the extent, one draw of the program-wide generator per strip (so the ragged edge
// changes from frame to frame). Mode 1 from the right (bottom), 2 from the left (top), 3 out
// from the middle line, 4 in from both sides.
std::optional<TRegion> CreateShredRgn(int X, int Y, int W, int H, int HorzMode, int VertMode);

// A solid part of extent X (Y) with specks scattered ahead of its edge, in overlapping rows
// (columns) of specks; the i-th speck ahead is kept with probability about 2/i near the edge and
// 1/i beyond, drawn from the program-wide generator. Mode 1 from the right (bottom), any other
// from the left (top).
std::optional<TRegion> CreateSpeckleRgn(int X, int Y, int W, int H, int HorzMode, int VertMode);
