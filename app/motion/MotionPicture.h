#pragma once
// A picture decoded once for pan and zoom: upright, at the detail the closest view needs and
// not much more, so a large photo never sits in memory whole.

#include "effects/FrameBitmap.h"

#include <string>

struct TPictureSize {
    int Width = 0, Height = 0;
};

// The upright size of a JPEG, PNG or Windows bitmap file, from its header. Throws TPictureError.
TPictureSize UprightPictureSize(const std::string& fileName);

// The picture of size full (UprightPictureSize) with at least neededWidth x neededHeight pixels
// (fewer only when the file has fewer): a JPEG decoded reduced by 2, 4 or 8 where that still
// holds them (libjpeg scales in its transform, at a fraction of the work), then scaled down to
// the needed size with a proper filter where it is still much larger. Throws TPictureError.
TFrameBitmap DecodePictureFor(const std::string& fileName, const TPictureSize& full, int neededWidth, int neededHeight);
