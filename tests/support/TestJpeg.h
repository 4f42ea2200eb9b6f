#pragma once
// Test pictures made in code: JPEG files compressed with libjpeg, and temporary folders.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// Writes a width x height JPEG whose pixel (x, y) is colour(x, y) as 0xRRGGBB.
void WriteTestJpeg(const std::string& fileName, int width, int height,
                   const std::function<std::uint32_t(int x, int y)>& colour, int quality = 95, bool grayscale = false);

// The rarer kinds of JPEG files cameras and programs write.
struct TTestJpegOptions {
    int Quality = 95;
    bool Progressive = false;
    int Orientation = 0; // 1..8: an EXIF block with this orientation; 0: none
};
void WriteTestJpeg(const std::string& fileName, int width, int height,
                   const std::function<std::uint32_t(int x, int y)>& colour, const TTestJpegOptions& options);

// A fresh folder below the system's temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Two small pictures of the slideshow tests (p0.jpg and p1.jpg, 80x60, gradients of different
// colours) in dir: their names, each after a space, as a command line lists them.
std::string WriteTwoTestPictures(const TTempDir& dir);
