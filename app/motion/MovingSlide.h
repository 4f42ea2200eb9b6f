#pragma once
// A slide ready to move: its picture decoded once, the path planned over it, what matters in it.

#include "app/motion/Interest.h"
#include "app/motion/MotionPlan.h"
#include "effects/FrameBitmap.h"

// A slide ready to move.
struct TMovingSlide {
    TFrameBitmap Picture;     // upright, at the detail the closest view needs
    TFrameBitmap Background;  // blur framing: the blurred background, which stays while the picture moves
    TMotionPath Path;
    TInterest Interest;
    TFrameBitmap Still;       // fill framing without motion, off centre: the frame, drawn once (StillFill.h)
};

// What matters in a picture (FindInterest, unless a caller brings its own).
using TInterestFinder = TInterest (*)(const TFrameBitmap&);
