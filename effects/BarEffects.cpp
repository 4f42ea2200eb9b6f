#include "effects/BarEffects.h"

#include "effects/Primitives.h"
#include "effects/RegionBuilder.h"
#include "effects/StripRegions.h"

#include <optional>

// Notation: D the frame being built, I the new picture, W x H the frame, w x h the progress
// sizes. The two-phase bar modes run their extent up to 2w (2h); every other member up to w (h).
#define STRIP_EFFECT(name)                                                                             \
    void name(TFrameBitmap& D, const TFrameBitmap& I, [[maybe_unused]] int W, [[maybe_unused]] int H, \
              [[maybe_unused]] int w, [[maybe_unused]] int h, int)

// One member: the region of one builder, copied through.
#define STRIPS(name, builder, X, Y, horzMode, vertMode) \
    STRIP_EFFECT(name) { Reveal(D, I, builder(X, Y, W, H, horzMode, vertMode)); }

namespace BarEffects {

namespace {

// Clip-and-copy; no region (nothing collected) draws nothing.
void Reveal(TFrameBitmap& D, const TFrameBitmap& I, const std::optional<TRegion>& region) {
    if (region)
        ClipAndCopy(D, I, *region);
}

} // namespace

STRIPS(BarsInFromRight, CreateBarRgn, 2 * w, 0, 1, 0)
STRIPS(BarsInFromLeft, CreateBarRgn, 2 * w, 0, 2, 0)
STRIPS(BarsLeftThenRight, CreateBarRgn, 2 * w, 0, 4, 0)
STRIPS(BarsRightThenLeft, CreateBarRgn, 2 * w, 0, 5, 0)
STRIPS(BarsFromBothSides, CreateBarRgn, w, 0, 3, 0)
STRIPS(BarsFromBottom, CreateBarRgn, 0, 2 * h, 0, 1)
STRIPS(BarsFromTop, CreateBarRgn, 0, 2 * h, 0, 2)
STRIPS(BarsTopThenBottom, CreateBarRgn, 0, 2 * h, 0, 4)
STRIPS(BarsBottomThenTop, CreateBarRgn, 0, 2 * h, 0, 5)
STRIPS(BarsFromTopAndBottom, CreateBarRgn, 0, h, 0, 3)

STRIPS(CrissCrossFromBottomRight, CreateBarRgn, 2 * w, 2 * h, 1, 1)
STRIPS(CrissCrossFromTopRight, CreateBarRgn, 2 * w, 2 * h, 1, 2)
STRIPS(CrissCrossFromBottomLeft, CreateBarRgn, 2 * w, 2 * h, 2, 1)
STRIPS(CrissCrossFromTopLeft, CreateBarRgn, 2 * w, 2 * h, 2, 2)
STRIPS(CrissCrossBounceFromTopLeft, CreateBarRgn, 2 * w, 2 * h, 4, 4)
STRIPS(CrissCrossBounceFromBottomLeft, CreateBarRgn, 2 * w, 2 * h, 4, 5)
STRIPS(CrissCrossBounceFromTopRight, CreateBarRgn, 2 * w, 2 * h, 5, 4)
STRIPS(CrissCrossBounceFromBottomRight, CreateBarRgn, 2 * w, 2 * h, 5, 5)
STRIPS(CrissCrossFromRightTopAndBottom, CreateBarRgn, w, h, 1, 3)
STRIPS(CrissCrossFromLeftTopAndBottom, CreateBarRgn, w, h, 2, 3)
STRIPS(CrissCrossFromLeftRightAndBottom, CreateBarRgn, w, h, 3, 1)
STRIPS(CrissCrossFromLeftRightAndTop, CreateBarRgn, w, h, 3, 2)
STRIPS(CrissCrossFromTopLeftRightAndBottom, CreateBarRgn, w, h, 3, 3)

// Only the cells where the bars from the bottom right and those from the top left overlap.
STRIP_EFFECT(CrissCrossFromBottomLeftTopRight) {
    std::optional<TRegion> region = CreateBarRgn(2 * w, 2 * h, W, H, 1, 1);
    const std::optional<TRegion> other = CreateBarRgn(2 * w, 2 * h, W, H, 2, 2);
    if (!region || !other)
        return;
    CombineRgn(*region, *region, *other, rgnAnd);
    Reveal(D, I, region);
}

STRIPS(UnevenShredFromRight, CreateShredRgn, w, 0, 1, 0)
STRIPS(UnevenShredFromLeft, CreateShredRgn, w, 0, 2, 0)
STRIPS(UnevenShredOutFromMiddleHorizontal, CreateShredRgn, w, 0, 3, 0)
STRIPS(UnevenShredInToMiddleHorizontal, CreateShredRgn, w, 0, 4, 0)
STRIPS(UnevenShredFromBottom, CreateShredRgn, 0, h, 0, 1)
STRIPS(UnevenShredFromTop, CreateShredRgn, 0, h, 0, 2)
STRIPS(UnevenShredFromHorizon, CreateShredRgn, 0, h, 0, 3)
STRIPS(UnevenShredInToHorizon, CreateShredRgn, 0, h, 0, 4)
STRIPS(UnevenShredFromBottomAndRight, CreateShredRgn, w, h, 1, 1)
STRIPS(UnevenShredFromTopAndRight, CreateShredRgn, w, h, 1, 2)
STRIPS(UnevenShredFromBottomAndLeft, CreateShredRgn, w, h, 2, 1)
STRIPS(UnevenShredFromTopAndLeft, CreateShredRgn, w, h, 2, 2)
STRIPS(UnevenShredFromHorizonAndRight, CreateShredRgn, w, h, 1, 3)
STRIPS(UnevenShredFromHorizonAndLeft, CreateShredRgn, w, h, 2, 3)
STRIPS(UnevenShredFromBottomAndVertMiddle, CreateShredRgn, w, h, 3, 1)
STRIPS(UnevenShredFromTopAndVertMiddle, CreateShredRgn, w, h, 3, 2)
STRIPS(UnevenShredFromCentre, CreateShredRgn, w, h, 3, 3)
STRIPS(UnevenShredToCentre, CreateShredRgn, w, h, 4, 4)

STRIPS(SpeckleFromRight, CreateSpeckleRgn, w, h, 1, 0)
STRIPS(SpeckleFromLeft, CreateSpeckleRgn, w, h, 2, 0)
STRIPS(SpeckleFromBottom, CreateSpeckleRgn, w, h, 0, 1)
STRIPS(SpeckleFromTop, CreateSpeckleRgn, w, h, 0, 2)

} // namespace BarEffects
