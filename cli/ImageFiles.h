#pragma once
// Frame bitmaps to picture files: PNG when the name ends in ".png", a 32-bit BMP otherwise.

#include "effects/FrameBitmap.h"

#include <string>

void SaveFrameImage(const TFrameBitmap& bitmap, const std::string& fileName);
