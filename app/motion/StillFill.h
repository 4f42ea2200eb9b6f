#pragma once
// Fill framing without motion, placed on what matters: the crop of a still slide follows its
// interest (faces whole, else the detail) by the same rule as the motion. The picture is looked
// at on the look-ahead worker like a moving slide's; where the interest leaves the crop centred
// (nothing found) the slide is read by the picture loader exactly as without it.

#include "app/motion/MotionDraw.h"
#include "app/motion/MovingSlide.h"
#include "app/show/MotionTypes.h"


// For a still fill slide prepared by PrepareMovingSlide: when its planned crop is not centred
// (the crop planned without interest), draws the crop once into slide.Still (frameWidth x
// frameHeight); otherwise leaves Still empty (the loader's own crop is the same). Either way
// the picture is let go: nothing else draws from it.
void PrepareStillFill(TMovingSlide& slide, const TMotionRect& centred, int frameWidth, int frameHeight);
