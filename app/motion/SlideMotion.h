#pragma once
// Which motion each slide of a show has: its own style or the output choices', none for a clip,
// the seed of its random path, and whether it is a still slide whose fill crop follows what
// matters in it (the still-fill rule).

#include "app/show/SlideshowData.h"

#include <cstdint>

// The motion style of slide k: its own, else the output choices'.
TMotionStyle SlideMotionStyle(const TSlideshowData& data, int k);
// The seed of slide k's random motion.
std::uint32_t SlideMotionSeed(std::uint32_t seedBase, int k);
// Whether slide k stands still under fill framing (a still picture, motion off).
bool IsStillFillSlide(const TSlideshowData& data, int k);
