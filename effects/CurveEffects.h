#pragma once
// The curved and elliptic reveals, blinds and grid patterns (rows 58-59, 69-70, 80-85, 128,
// 137-143, 146-149 and 153 of the effect table): each builds one clip region, an oversized
// rounded rectangle or a regular pattern of slats, bands, squares or circles that widen with the
// progress, and copies the new picture through it.

#include "effects/Effects.h"

#include <type_traits>

namespace CurveEffects {

using TCurveEffect = std::remove_pointer_t<TEffectProc>;

TCurveEffect CurvedRevealFromLeft; // 58
TCurveEffect CurvedRevealFromRight; // 59
TCurveEffect CurvedRevealFromTop; // 69
TCurveEffect CurvedRevealFromBottom; // 70
TCurveEffect CurvedRevealFromTopLeft; // 80
TCurveEffect CurvedRevealFromTopRight; // 81
TCurveEffect CurvedRevealFromBottomLeft; // 82
TCurveEffect CurvedRevealFromBottomRight; // 83
TCurveEffect EllipticRevealOutFromCentre; // 84
TCurveEffect EllipticRevealInToCentre; // 85
TCurveEffect RandomSquaresAppear; // 128
TCurveEffect BlindVertically; // 137
TCurveEffect BlindHorizontally; // 138
TCurveEffect UnevenBlindFromLeft; // 139
TCurveEffect UnevenBlindFromRight; // 140
TCurveEffect UnevenBlindFromTop; // 141
TCurveEffect UnevenBlindFromBottom; // 142
TCurveEffect RectangularShred; // 143
TCurveEffect RectanglesFromLeft; // 146
TCurveEffect RectanglesFromRight; // 147
TCurveEffect RectanglesFromTop; // 148
TCurveEffect RectanglesFromBottom; // 149
TCurveEffect CircularShred; // 153

} // namespace CurveEffects
