#include "effects/Region.h"

TRegion::TRegion(const TRect& rect) {
    if (!rect.IsEmpty())
        rects_.push_back(rect);
}
