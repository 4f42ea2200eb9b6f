#pragma once
// Drawing a view of a picture into a frame with sub-pixel precision (pixman's affine
// transform straight on the B, G, R, X rows of our bitmaps: no copies, no conversions).

#include "app/show/MotionTypes.h"
#include "effects/FrameBitmap.h"

enum class TMotionFilter {
    Bilinear,    // every frame: fast, and sharp while a frame samples at most a little more
                 // than one picture pixel per frame pixel (the picture is scaled for that)
    Area,        // every frame: each frame pixel averages the picture over its own footprint
                 // (a tent of two frame pixels), so a small bright detail keeps its weight and
                 // centre at any scale and phase
    Convolution, // a Lanczos window over the footprint: the once-per-picture scaling
    Tent,        // every frame: as Area, a tent as wide as a frame pixel's footprint, drawn by
                 // our own two-pass resampler (MotionResample.h) at a fraction of the time
};

// The filter of the frames of moving slides.
constexpr TMotionFilter MotionFrameFilter = TMotionFilter::Tent;

// Draws view (fractions of picture, any scale of it) over the whole frame. Where the view
// reaches beyond the picture (the bars of letterbox and blur framing) the frame shows
// background (frame-sized; the still blurred background of blur framing) or black without it.
// The picture's edge pixels are repeated for the last fraction of a pixel, so no frame pixel
// ever mixes a picture pixel with what is outside the picture.
void DrawMotionView(const TFrameBitmap& picture, const TMotionRect& view, const TFrameBitmap* background,
                    TFrameBitmap& frame, TMotionFilter filter = TMotionFilter::Bilinear);

// The picture scaled to width x height (aspect as given) with the convolution filter.
TFrameBitmap ScaledPicture(const TFrameBitmap& picture, int width, int height);
