#pragma once
// What matters in a picture: where the faces are, or without faces the area of most detail.
// Motion keeps every face whole inside the frame for the whole motion and centres on the detail
// otherwise; the fill framing places its crop by the same rule.

#include "app/motion/MotionTypes.h"
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

// The folder of the face detector's cascade files (haarcascades/ below it): the system's
// OpenCV data folder unless set. A change takes effect with the next call of FindInterest.
// Without the files no faces are found and one line says so through the interest log.
void SetInterestCascadeFolder(const std::string& folder);
std::string InterestCascadeFolder();

// Receives the face detector's log lines (a missing cascade file, once per folder); standard
// error when none is set. Called on the thread that calls FindInterest.
void SetInterestLog(std::function<void(const std::string&)> log);
