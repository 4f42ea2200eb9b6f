#pragma once
// Drawing one transition frame the way the slideshow does it.

#include "effects/FrameBitmap.h"

// w and h for percent p: they keep the frame's aspect ratio and scale from the longer side.
void ProgressSize(int width, int height, int percent, int& progressWidth, int& progressHeight);

// Builds the frame of effect row effectNumber at the given percent in display:
// copies the old picture in; at percent <= 0 that is all; at percent >= 100 copies the new
// picture; otherwise calls the row's procedure. All three bitmaps have the same size.
// Locks: oldPicture only while it is copied; newPicture and display for the whole call.
void DrawTransitionFrame(TFrameBitmap& display, const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture,
                         int effectNumber, int percent);
