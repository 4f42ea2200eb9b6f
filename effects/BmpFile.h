#pragma once
// Windows bitmap files to and from the frame bitmap.

#include "effects/FrameBitmap.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// A picture that cannot be read; the text names the file and the reason.
class TPictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A bitmap file opened for reading row by row: the headers are read and checked at once, each
// row is read from the file when it is asked for. Throws TPictureError like LoadBmpFile.
class TBmpReader {
public:
    explicit TBmpReader(const std::string& fileName);
    ~TBmpReader();
    TBmpReader(const TBmpReader&) = delete;
    TBmpReader& operator=(const TBmpReader&) = delete;
    int Width() const;
    int Height() const;
    // Row y counted from the top into Width() pixels.
    void ReadRow(int y, std::uint32_t* row);

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// Reads a bitmap file (1, 4, 8, 16, 24 or 32 bits, bottom-up or top-down).
// Throws TPictureError for a missing, truncated or malformed file.
TFrameBitmap LoadBmpFile(const std::string& fileName);

// Decodes bitmap file contents already in memory; fileName only names the picture in errors.
TFrameBitmap DecodeBmp(const std::vector<std::uint8_t>& contents, const std::string& fileName);

// Writes a 32-bit bottom-up bitmap file. Throws TPictureError when the file cannot be written.
void SaveBmpFile(const TFrameBitmap& bitmap, const std::string& fileName);
