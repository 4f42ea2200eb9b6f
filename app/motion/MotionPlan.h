#pragma once
// Where the view over a picture starts and ends for each motion style, and how it travels in
// between. Pure functions: the same request always gives the same path.
//
// A view is a rectangle of the picture (in fractions of its width and height) with the frame's
// aspect; it is shown over the whole frame. With fill framing it always lies inside the picture.
// With letterbox and blur framing it may be larger than the picture in a direction: the picture
// then stays whole inside the view there (the bars), while in a direction where the view is
// smaller than the picture (the motion crops) it lies inside the picture. Every face box of the
// interest stays whole inside every view of a planned path whenever the view can hold them all.

#include "app/framing/Framing.h"
#include "app/motion/Interest.h"
#include "app/motion/MotionNames.h"
#include "app/show/MotionTypes.h"

#include <cstdint>

struct TMotionRequest {
    int PictureWidth = 0, PictureHeight = 0; // upright, at any scale (only the aspect counts)
    int FrameWidth = 0, FrameHeight = 0;
    TFraming Framing = TFraming::Letterbox;
    TMotionStyle Style = TMotionStyle::Off;
    double Zoom = DefaultMotionZoom;         // how far zoom and pan go (1 = not at all)
    TInterest Interest;
    std::uint32_t Seed = 0;                  // the choices of random
    TMotionRect Start, End;                  // the slide's own rectangles (rects)
};

struct TMotionPath {
    TMotionStyle Style = TMotionStyle::Off;  // what random chose; otherwise the request's
    TMotionRect Start, End;                  // views at the first and the last frame
    bool operator==(const TMotionPath&) const = default;
};

TMotionPath PlanMotion(const TMotionRequest& request);

// The view between the ends at progress 0..1: every edge moves in a straight line, so whatever
// both ends hold whole (faces, the picture's inside) every view in between holds too.
TMotionRect MotionView(const TMotionPath& path, double progress);

// Progress of the motion at a slide's own frame (0 .. frames - 1): constant speed, except for a
// gentle start (easeIn) and stop (easeOut), each over half the slide, at the ends of a slideshow.
double MotionProgress(int frame, long long frames, bool easeIn, bool easeOut);

// The closest view of a path of this request, relative to the whole framing (1 = the picture
// as the framing shows it still): how much detail the decoded picture must hold.
double ClosestViewZoom(const TMotionRequest& request);

// The still crop of fill framing: the largest view of the frame's aspect inside the picture,
// placed by the interest (faces whole, else centred on the detail).
TMotionRect FillView(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight, const TInterest& interest);
