#pragma once
// Procedurally drawn pictures for the built-in demo slideshow, so a demo needs no files.

#include "effects/FrameBitmap.h"

#include <string>
#include <vector>

constexpr int DemoPictureCount = 4;

// Picture index (0 .. DemoPictureCount-1) of the given size.
TFrameBitmap DrawDemoPicture(int index, int width, int height);

// Writes every demo picture as a BMP file into folder; returns their paths.
std::vector<std::string> WriteDemoPictures(const std::string& folder, int width, int height);
