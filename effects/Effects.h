#pragma once
// The numbered table of the 176 transition effects and the procedure every effect implements.

#include "effects/FrameBitmap.h"

#include <array>
#include <cstdint>

// Display: the frame being built (holds the whole old picture on entry).
// Image: the new picture, same size, never changed.
// Width, Height: frame size; ProgressWidth, ProgressHeight: w and h scaled by the progress;
// Progress: percent of the transition done, 1 to 99.
using TEffectProc = void (*)(TFrameBitmap& Display, const TFrameBitmap& Image, int Width, int Height,
                             int ProgressWidth, int ProgressHeight, int Progress);

struct TEffect {
    const char* Name;
    TEffectProc Proc;
};

constexpr int EffectCount = 176;

// The seed value of the effects with stable randomness (they replay the generator from it on
// every frame) and of the rotating shapes (an odd seed turns them the other way): the numeric
// value of the new picture's handle. The slideshow gives every transition its own; the effect
// command takes it from --seed.
inline std::uint32_t EffectSeed(const TFrameBitmap& Image) { return Image.Handle(); }

// Row n of the table is Effects[n - 1].
extern const std::array<TEffect, EffectCount> Effects;

// The row with number 1..EffectCount; throws std::out_of_range otherwise.
const TEffect& EffectRow(int number);

// The procedure of rows whose family is not drawn yet: the frame keeps the old picture.
void KeepOld(TFrameBitmap& Display, const TFrameBitmap& Image, int Width, int Height, int ProgressWidth,
             int ProgressHeight, int Progress);
