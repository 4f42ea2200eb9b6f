#pragma once
// The pixel effects (rows 119-123 and 168-172 of the effect table): cross-fade, pivot, pixelate,
// dissolve, random bars and channel mix. They work on pixel values rather than shapes, reading
// and writing the 32-bit pixel memory of the frame and the new picture directly (Pixelate
// stretches through the shared primitive). Blue, green and red change; copies of whole pixels
// move the fourth byte too, blends never write it.

#include "effects/Effects.h"

#include <cstdint>
#include <type_traits>

namespace PixelEffects {

using TPixelEffect = std::remove_pointer_t<TEffectProc>;

TPixelEffect Fade; // 119
TPixelEffect PivotFromTopLeft; // 120
TPixelEffect PivotFromBottomLeft; // 121
TPixelEffect PivotFromTopRight; // 122
TPixelEffect PivotFromBottomRight; // 123
TPixelEffect Pixelate; // 168
TPixelEffect Dissolve; // 169
TPixelEffect RandomBarsHorizontal; // 170
TPixelEffect RandomBarsVertical; // 171
TPixelEffect ChannelMix; // 172

// The blend step of one channel for a factor f in 0..256: old + floor(f x (new - old) / 256),
// always between old and new, new itself at 256.
constexpr int BlendStep(int oldValue, int newValue, int f) { return (oldValue * (256 - f) + newValue * f) >> 8; }

// Every pixel of the rectangle (X, Y)-(X + RW, Y + RH) of Display, clipped to the frame, gets the
// blend step towards Image with f = MulDiv(256, Percent, 100) on blue, green and red.
void BlendRect(TFrameBitmap& Display, const TFrameBitmap& Image, int Percent, int X, int Y, int RW, int RH);

// Draws Image turned by A radians about the pivot (PX, PY) by inverse mapping: PY and the mapped
// row count from the bottom of the picture, and the pixel arithmetic is 16.16 fixed point.
// Destination pixels whose source lies outside the picture keep what Display holds.
void RotateImage(TFrameBitmap& Display, const TFrameBitmap& Image, int PX, int PY, double A);

// The order in which Channel Mix switches the colour channels over (0 blue, 1 green, 2 red),
// drawn from the generator seeded with seed; the generator's state is left as it was.
struct TChannelOrder {
    int First, Second, Third;
};
TChannelOrder ChannelMixOrder(std::uint32_t seed);

} // namespace PixelEffects
