#pragma once
// The first picture of a clip as a small image (the picture list's thumbnail).

#include "effects/FrameBitmap.h"

#include <string>

// The clip's first picture, upright, scaled to fit within maxWidth x maxHeight with its aspect
// kept (the bitmap gets that size, no bars). False with the reason (naming the file) in why.
bool ClipFirstPicture(const std::string& fileName, int maxWidth, int maxHeight, TFrameBitmap& picture, std::string& why);
