#pragma once
// PNG files straight into a frame, row by row into the fit rectangle (interlaced files are
// held whole, within the picture memory limit). Transparent parts show the black behind them.

#include "app/framing/Framing.h"
#include "effects/FrameBitmap.h"

#include <string>

// Draws the PNG file fitted into frame. Throws TPictureError naming the file and the reason
// when it cannot be opened or decoded, including a file that ends early or whose data is damaged.
// framing and placed as for JPEG files.
void DrawPngPicture(const std::string& fileName, TFrameBitmap& frame, TFraming framing = TFraming::Letterbox,
                    TRect* placed = nullptr);
