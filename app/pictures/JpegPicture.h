#pragma once
// JPEG files straight into a frame: decoded row by row into the fit rectangle, never held whole.

#include "app/framing/Framing.h"
#include "effects/FrameBitmap.h"

#include <string>

// Draws the JPEG file fitted into frame (only the fit rectangle is written). With allowScaling,
// a photo at least twice the frame size in both directions is decoded at 1/2, 1/4 or 1/8 of its
// size (the smallest that still covers the frame), which samples the same positions as a full
// decode. Returns the reduction used (1, 2, 4 or 8). Throws TPictureError naming the file and
// the reason when it cannot be opened or decoded, including a file that ends early.
// framing chooses the rectangle the picture is stretched into (fill may reach beyond the
// frame; only the frame's pixels are written); placed receives it when given.
int DrawJpegPicture(const std::string& fileName, TFrameBitmap& frame, bool allowScaling,
                    TFraming framing = TFraming::Letterbox, TRect* placed = nullptr);

// The size the JPEG file shows upright (its EXIF orientation applied), from its header alone.
// Throws TPictureError like DrawJpegPicture.
void ReadJpegUprightSize(const std::string& fileName, int& width, int& height);
