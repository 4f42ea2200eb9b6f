#pragma once
// The names of the motion styles on the command line, in project files and in the window.

#include "app/show/MotionTypes.h"

#include <string>

// "off", "zoom-in", "zoom-out", "pan", "random", "rects".
const char* MotionStyleName(TMotionStyle style);
// The style of that name; false when there is none. "rects" only with allowRects: a run-wide
// choice has no rectangles of its own, only a slide has.
bool FindMotionStyle(const std::string& name, TMotionStyle& style, bool allowRects = false);

