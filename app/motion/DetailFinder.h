#pragma once
// The area of most detail in a grey picture: where edges and texture are densest.

#include "app/show/MotionTypes.h"

#include <opencv2/core.hpp>

// In fractions of the picture; the whole picture when no area stands out from the rest (a flat
// picture, an even texture).
TMotionRect FindDetail(const cv::Mat& grey);
