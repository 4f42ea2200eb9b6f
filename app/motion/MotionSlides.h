#pragma once
// Pan and zoom on the sequencer: the slides whose motion style is not off are drawn anew for
// every frame they are on screen, from their picture decoded once (on a look-ahead worker while
// the slide before is shown), along the path planned for their framing and what matters in them.

#include "app/framing/Framing.h"
#include "app/show/SlideshowData.h"
#include "app/SlideshowSequencer.h"
#include "app/motion/MotionDraw.h"
#include "app/motion/MotionPlan.h"
#include "app/motion/MovingSlide.h"
#include "app/motion/SlideMotion.h"

#include <cstdint>
#include <memory>

// The request slide k's path is planned with, for its picture of pictureWidth x pictureHeight
// (upright, at any scale: only the aspect counts) in frames of frameWidth x frameHeight: the
// slide's style (its own or the output choices'), the zoom, the random seed from seedBase and the
// slide's own rectangles. The interest is left empty: the caller adds what it found.
TMotionRequest SlideMotionRequest(const TSlideshowData& data, int k, int pictureWidth, int pictureHeight, int frameWidth,
                                  int frameHeight, std::uint32_t seedBase);

// The still background a picture moves over under blur framing: the picture letterboxed into a
// frame of frameWidth x frameHeight, blurred. picture may be a scaled copy of one of
// pictureWidth x pictureHeight.
TFrameBitmap MotionBackground(const TFrameBitmap& picture, int pictureWidth, int pictureHeight, int frameWidth,
                              int frameHeight);

// Decodes and plans slide k of data for frames of frameWidth x frameHeight; seedBase is the
// run's (random motion differs from slide to slide and repeats with the seed).
std::shared_ptr<const TMovingSlide> PrepareMovingSlide(const TSlideshowData& data, int k, int frameWidth, int frameHeight,
                                                       std::uint32_t seedBase, TInterestFinder findInterest = FindInterest);


// Sets the sequencer's SlideMoves and DrawSlide for the moving slides of data and the still fill
// slides whose crop their interest moves off centre (clears them when there are neither). Call after the sequencer was prepared: frame size, frame counts and seed
// come from it.
void InstallSlideMotion(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data,
                        TInterestFinder findInterest = FindInterest);
