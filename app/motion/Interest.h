#pragma once
// What matters in a picture: where the faces are, or without faces the area of most detail.
// Motion keeps every face whole inside the frame for the whole motion and centres on the detail
// otherwise; the fill framing places its crop by the same rule.

#include "app/motion/FaceCascades.h"
#include "app/show/MotionTypes.h"
#include "effects/FrameBitmap.h"

#include <functional>
#include <string>
#include <vector>

struct TInterest {
    std::vector<TMotionRect> Faces;   // one box per face found, in fractions of the picture
    TMotionRect Detail;               // the area of most detail; the whole picture when none stands out
    bool operator==(const TInterest&) const = default;
};

// Looks at a picture drawn whole into a bitmap (B, G, R, X, any size; a reduced decode is
// enough). Slow enough that it belongs off the user-interface thread; safe to call from any
// thread, several at once.
TInterest FindInterest(const TFrameBitmap& picture);
