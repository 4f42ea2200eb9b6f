#pragma once
// The bar, criss cross, uneven shred and speckle effects (rows 60-68, 71-79, 86-109 and 124-127
// of the effect table): each builds one strip region (StripRegions.h) from the progress sizes and
// copies the new picture through it; row 99 intersects two bar regions.

#include "effects/Effects.h"

#include <type_traits>

namespace BarEffects {

using TStripEffect = std::remove_pointer_t<TEffectProc>;

TStripEffect BarsInFromRight; // 60
TStripEffect BarsInFromLeft; // 61
TStripEffect BarsLeftThenRight; // 62
TStripEffect BarsRightThenLeft; // 63
TStripEffect BarsFromBothSides; // 64
TStripEffect UnevenShredFromRight; // 65
TStripEffect UnevenShredFromLeft; // 66
TStripEffect UnevenShredOutFromMiddleHorizontal; // 67
TStripEffect UnevenShredInToMiddleHorizontal; // 68
TStripEffect BarsFromBottom; // 71
TStripEffect BarsFromTop; // 72
TStripEffect BarsTopThenBottom; // 73
TStripEffect BarsBottomThenTop; // 74
TStripEffect BarsFromTopAndBottom; // 75
TStripEffect UnevenShredFromBottom; // 76
TStripEffect UnevenShredFromTop; // 77
TStripEffect UnevenShredFromHorizon; // 78
TStripEffect UnevenShredInToHorizon; // 79
TStripEffect CrissCrossFromBottomRight; // 86
TStripEffect CrissCrossFromTopRight; // 87
TStripEffect CrissCrossFromBottomLeft; // 88
TStripEffect CrissCrossFromTopLeft; // 89
TStripEffect CrissCrossBounceFromTopLeft; // 90
TStripEffect CrissCrossBounceFromBottomLeft; // 91
TStripEffect CrissCrossBounceFromTopRight; // 92
TStripEffect CrissCrossBounceFromBottomRight; // 93
TStripEffect CrissCrossFromRightTopAndBottom; // 94
TStripEffect CrissCrossFromLeftTopAndBottom; // 95
TStripEffect CrissCrossFromLeftRightAndBottom; // 96
TStripEffect CrissCrossFromLeftRightAndTop; // 97
TStripEffect CrissCrossFromTopLeftRightAndBottom; // 98
TStripEffect CrissCrossFromBottomLeftTopRight; // 99
TStripEffect UnevenShredFromBottomAndRight; // 100
TStripEffect UnevenShredFromTopAndRight; // 101
TStripEffect UnevenShredFromBottomAndLeft; // 102
TStripEffect UnevenShredFromTopAndLeft; // 103
TStripEffect UnevenShredFromHorizonAndRight; // 104
TStripEffect UnevenShredFromHorizonAndLeft; // 105
TStripEffect UnevenShredFromBottomAndVertMiddle; // 106
TStripEffect UnevenShredFromTopAndVertMiddle; // 107
TStripEffect UnevenShredFromCentre; // 108
TStripEffect UnevenShredToCentre; // 109
TStripEffect SpeckleFromRight; // 124
TStripEffect SpeckleFromLeft; // 125
TStripEffect SpeckleFromBottom; // 126
TStripEffect SpeckleFromTop; // 127

} // namespace BarEffects
