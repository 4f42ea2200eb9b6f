#pragma once
// Frame bitmaps to picture files: PNG when the name ends in ".png", a 32-bit BMP otherwise.

#include "effects/FrameBitmap.h"

#include <string>

void SaveFrameImage(const TFrameBitmap& bitmap, const std::string& fileName);

// Reads a picture file into a frame bitmap: a Windows bitmap when the name ends in ".bmp"
// (any case), otherwise any format the image library reads (PNG, JPEG, ...).
// Throws TPictureError naming the file when it cannot be read.
TFrameBitmap LoadFrameImage(const std::string& fileName);
