#pragma once
// The background of blur framing: the bars around a fitted picture filled with a blurred,
// slightly darkened copy of the picture scaled to cover the frame.

#include "effects/FrameBitmap.h"
#include "effects/Region.h"

// picture is where the fitted picture already stands in frame (the rest is black). Every pixel
// outside it is overwritten with the background; the pixels inside it are left as they are.
// The background is never pure black: each channel is at least BackgroundFloor.
void DrawBlurredBackground(TFrameBitmap& frame, const TRect& picture);

constexpr int BackgroundFloor = 12;
