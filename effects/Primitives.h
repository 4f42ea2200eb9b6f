#pragma once
// The drawing primitives every effect family is built from. All of them draw into the frame
// being built (display) and clip to its bounds; blocks may reach outside the frame.
// The source is normally the new picture; it may be the display itself (push and slide-out
// effects), in which case the copy behaves as if the whole source block had been read before
// anything was written.

#include "effects/FrameBitmap.h"
#include "effects/Region.h"

// Copies the width x height block at (sx, sy) of source unscaled to (x, y) of display.
// Only the part that lies inside both bitmaps is drawn.
void Copy(TFrameBitmap& display, int x, int y, int width, int height, const TFrameBitmap& source, int sx, int sy);

// Scales the sw x sh block at (sx, sy) of source onto the block at (x, y) of display by nearest
// neighbour. A negative width mirrors left to right with x naming the rightmost column (the
// block covers x+width+1 .. x); a negative height mirrors top to bottom with y naming the
// bottom row. Destination pixel i (counted from x, in the direction of the block) takes source
// column sx + floor((2i + 1) x sw / (2 |width|)), its centre sample; rows likewise.
// Destination pixels whose sample lies outside source are left alone. A zero or negative
// source size, or a zero destination size, draws nothing.
void Stretch(TFrameBitmap& display, int x, int y, int width, int height, const TFrameBitmap& source, int sx,
             int sy, int sw, int sh);

// Copies image onto display at (0, 0) inside region only. An empty region draws nothing.
void ClipAndCopy(TFrameBitmap& display, const TFrameBitmap& image, const TRegion& region);

// Darken a strip of display towards its edges by up to amount (the shading of a roll):
// ShadeColumns works on columns left .. left+count-1, ShadeRows on rows top .. top+count-1.
// Blue, green and red change, clamped to 0..255; the fourth byte is left alone.
void ShadeColumns(TFrameBitmap& display, int amount, int left, int count);
void ShadeRows(TFrameBitmap& display, int amount, int top, int count);

// The stretch uses the processor's vector units where it has them (AVX2); tests and
// benchmarks switch them off to check and time the portable paths.
void UseVectorUnits(bool allowed);
// Whether the AVX2 paths may run: the processor has AVX2 and UseVectorUnits has not switched
// them off. The pixel effects follow the same switch.
bool AvxPathsEnabled();
