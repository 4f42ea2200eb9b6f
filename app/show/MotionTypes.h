#pragma once
// The words of pan and zoom over a still picture, shared by the document, the project file and
// the motion drawing; how far a zoom may go.

#include <optional>

enum class TMotionStyle {
    Off,      // the picture stands still (the framing's own placement)
    ZoomIn,   // from the whole framing towards a part of the picture
    ZoomOut,  // the other way round
    Pan,      // along the direction in which the picture overflows the frame
    Random,   // one of the others with a random start and end framing (seeded)
    Rects,    // from the slide's own start rectangle to its own end rectangle
};

// A rectangle of the picture in fractions of its width and height (0..1 each way): resolution
// independent, so a rectangle stays where it was when the picture is decoded at another scale.
struct TMotionRect {
    double X = 0, Y = 0, W = 1, H = 1;
    bool operator==(const TMotionRect&) const = default;
};

// How far zoom-in, zoom-out, pan and random move by default, and the range a choice may take.
constexpr double DefaultMotionZoom = 1.15;
constexpr double SmallestMotionZoom = 1.0;
constexpr double LargestMotionZoom = 4.0;
