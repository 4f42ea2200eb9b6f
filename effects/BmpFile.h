#pragma once
// Windows bitmap files to and from the frame bitmap.

#include "effects/FrameBitmap.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A picture that cannot be read; the text names the file and the reason.
class TPictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a bitmap file (1, 4, 8, 16, 24 or 32 bits, bottom-up or top-down).
// Throws TPictureError for a missing, truncated or malformed file.
TFrameBitmap LoadBmpFile(const std::string& fileName);

// Decodes bitmap file contents already in memory; fileName only names the picture in errors.
TFrameBitmap DecodeBmp(const std::vector<std::uint8_t>& contents, const std::string& fileName);

// Writes a 32-bit bottom-up bitmap file. Throws TPictureError when the file cannot be written.
void SaveBmpFile(const TFrameBitmap& bitmap, const std::string& fileName);
