#pragma once
// Where a picture lands in the frame: aspect kept, centred, scaled up or down.

#include "effects/Region.h"

// The fit rectangle of source within target: the full width of target when the source is
// relatively wider, else its full height; the same margin (rounded, halves to even) is taken
// from both sides of the other direction. An empty source or target gives an empty rectangle.
TRect FitRect(const TRect& source, const TRect& target);
