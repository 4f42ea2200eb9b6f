#pragma once
// Pan and zoom on the sequencer: the slides whose motion style is not off are drawn anew for
// every frame they are on screen, from their picture decoded once (on a look-ahead worker while
// the slide before is shown), along the path planned for their framing and what matters in them.

#include "app/Framing.h"
#include "app/SlideshowDocument.h"
#include "app/SlideshowSequencer.h"
#include "app/motion/MotionDraw.h"
#include "app/motion/MotionPlan.h"

#include <memory>

// The motion style of slide k: its own, else the output choices'.
TMotionStyle SlideMotionStyle(const TSlideshowData& data, int k);

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

// Decodes and plans slide k of data for frames of frameWidth x frameHeight; seedBase is the
// run's (random motion differs from slide to slide and repeats with the seed).
std::shared_ptr<const TMovingSlide> PrepareMovingSlide(const TSlideshowData& data, int k, int frameWidth, int frameHeight,
                                                       std::uint32_t seedBase, TInterestFinder findInterest = FindInterest);

// The seed of slide k's random motion.
std::uint32_t SlideMotionSeed(std::uint32_t seedBase, int k);

// Sets the sequencer's SlideMoves and DrawSlide for the moving slides of data and the still fill
// slides whose crop their interest moves off centre (clears them when there are neither). Call after the sequencer was prepared: frame size, frame counts and seed
// come from it.
void InstallSlideMotion(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data,
                        TInterestFinder findInterest = FindInterest);
