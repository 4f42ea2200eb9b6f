#pragma once
// The sliding, stretching, unrolling and pushing wipes (rows 1-57, 129-136 and 173-176 of the
// effect table): each is a short, fixed sequence of block copies and nearest-neighbour
// stretches whose coordinates follow from the frame size and the progress sizes.

#include "effects/Effects.h"

#include <type_traits>

namespace Wipes {

using TWipe = std::remove_pointer_t<TEffectProc>;

TWipe ExpandFromRight; // 1
TWipe ExpandFromLeft; // 2
TWipe SlideInFromRight; // 3
TWipe SlideInFromLeft; // 4
TWipe RevealFromLeft; // 5
TWipe RevealFromRight; // 6
TWipe ExpandInFromRight; // 7
TWipe ExpandInFromLeft; // 8
TWipe ExpandInToMiddle; // 9
TWipe ExpandOutFromMiddle; // 10
TWipe RevealOutFromMiddle; // 11
TWipe RevealInFromSides; // 12
TWipe ExpandInFromSides; // 13
TWipe UnrollFromLeft; // 14
TWipe UnrollFromRight; // 15
TWipe BuildUpFromRight; // 16
TWipe BuildUpFromLeft; // 17
TWipe ExpandFromBottom; // 18
TWipe ExpandFromTop; // 19
TWipe SlideInFromBottom; // 20
TWipe SlideInFromTop; // 21
TWipe RevealFromTop; // 22
TWipe RevealFromBottom; // 23
TWipe ExpandInFromBottom; // 24
TWipe ExpandInFromTop; // 25
TWipe ExpandInToMiddleHorizontal; // 26
TWipe ExpandOutFromMiddleHorizontal; // 27
TWipe RevealFromMiddleHorizontal; // 28
TWipe SlideInFromTopAndBottom; // 29
TWipe ExpandInFromTopAndBottom; // 30
TWipe UnrollFromTop; // 31
TWipe UnrollFromBottom; // 32
TWipe BuildUpFromBottom; // 33
TWipe BuildUpFromTop; // 34
TWipe ExpandFromBottomRight; // 35
TWipe ExpandFromTopRight; // 36
TWipe ExpandFromTopLeft; // 37
TWipe ExpandFromBottomLeft; // 38
TWipe SlideInFromBottomRight; // 39
TWipe SlideInFromTopRight; // 40
TWipe SlideInFromTopLeft; // 41
TWipe SlideInFromBottomLeft; // 42
TWipe RevealFromTopLeft; // 43
TWipe RevealFromBottomLeft; // 44
TWipe RevealFromBottomRight; // 45
TWipe RevealFromTopRight; // 46
TWipe AppearAndContractToTopLeft; // 47
TWipe AppearAndContractToBottomLeft; // 48
TWipe AppearAndContractToBottomRight; // 49
TWipe AppearAndContractToTopRight; // 50
TWipe AppearAndContractToMiddle; // 51
TWipe ExpandOutFromCentre; // 52
TWipe RevealOutFromCentre; // 53
TWipe RevealInToCentre; // 54
TWipe QuartersRevealInToMiddle; // 55
TWipe QuartersExpandToMiddle; // 56
TWipe QuartersSlideInToMiddle; // 57
TWipe PushRight; // 129
TWipe PushLeft; // 130
TWipe PushAndSqueezeRight; // 131
TWipe PushAndSqueezeLeft; // 132
TWipe PushDown; // 133
TWipe PushUp; // 134
TWipe PushAndSqueezeDown; // 135
TWipe PushAndSqueezeUp; // 136
TWipe SlideOutFromRight; // 173
TWipe SlideOutFromLeft; // 174
TWipe SlideOutFromBottom; // 175
TWipe SlideOutFromTop; // 176

// Roll width of the unroll wipes for a side of length length of which uncovered pixels are
// uncovered: a tenth of the side, no more than what is uncovered, and no more than half of
// what is still covered.
int RollWidth(int length, int uncovered);

} // namespace Wipes
