#pragma once
// One picture file into a frame: black, with the picture fitted in the middle.

#include "app/framing/Framing.h"
#include "effects/FrameBitmap.h"

#include <string>

class TPictureLoader {
public:
    // JPEG, PNG or Windows bitmap, told apart by the file's first bytes (by the extension when
    // they are none of these: ".bmp" in any case to the bitmap reader, any other to the JPEG
    // decoder). A JPEG's EXIF orientation is honoured; transparent PNG parts show black.
    // Throws TPictureError naming the file and the reason; the frame is black or partly drawn then.
    void Load(const std::string& fileName, TFrameBitmap& frame);

    enum TKind { pkJpeg, pkPng, pkBitmap };
    static TKind KindOf(const std::string& fileName);

    // Reduced JPEG decoding for photos at least twice the frame size (on by default).
    bool ScaledDecoding = true;
    // The reduction the last JPEG was decoded with (1, 2, 4 or 8); 1 after a bitmap.
    int LastReduction() const { return lastReduction_; }

    // How the picture fills the frame; the blurred background of blur framing is made here,
    // once per picture.
    TFraming Framing = TFraming::Letterbox;

    static bool IsBitmapFileName(const std::string& fileName);

private:
    // Draws the picture into its rectangle on the black frame and returns the rectangle.
    TRect Draw(const std::string& fileName, TFrameBitmap& frame);
    int lastReduction_ = 1;
};
