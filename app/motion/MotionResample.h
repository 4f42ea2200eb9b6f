#pragma once
// The frames of moving slides, resampled in two separable passes of our own: a tent as wide
// as the frame's pixel spacing on the picture (never narrower than one picture pixel), so the
// weights of neighbouring frame pixels add up to one at every scale and phase and a small
// bright detail glides without wobble; fixed-point, only the picture rows in view.
//
// Measured against pixman on this machine (bench/motion_filter_bench, 1920x1080 from a picture
// decoded for a zoom of 1.15): see the note in the bench's output and README.md.

#include "effects/FrameBitmap.h"

// Picture coordinate = scale * frame coordinate + offset, each way (pixel centres at +0.5).
struct TResampleMap {
    double ScaleX = 1, ScaleY = 1, OffsetX = 0, OffsetY = 0;
};

// Draws the frame pixels [left, right) x [top, bottom) from picture through map. Picture
// pixels beyond its edges repeat the edge (no pixel from outside the picture).
void ResampleTent(const TFrameBitmap& picture, const TResampleMap& map, TFrameBitmap& frame, int left, int top, int right,
                  int bottom);
