#pragma once
// One picture file into a frame: black, with the picture fitted in the middle.

#include "effects/FrameBitmap.h"

#include <string>

class TPictureLoader {
public:
    // ".bmp" in any case goes to the bitmap reader, every other extension to the JPEG decoder.
    // Throws TPictureError naming the file and the reason; the frame is black or partly drawn then.
    void Load(const std::string& fileName, TFrameBitmap& frame);

    // Reduced JPEG decoding for photos at least twice the frame size (on by default).
    bool ScaledDecoding = true;
    // The reduction the last JPEG was decoded with (1, 2, 4 or 8); 1 after a bitmap.
    int LastReduction() const { return lastReduction_; }

    static bool IsBitmapFileName(const std::string& fileName);

private:
    int lastReduction_ = 1;
};
