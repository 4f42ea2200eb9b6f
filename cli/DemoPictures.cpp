#include "cli/DemoPictures.h"

#include "effects/BmpFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {
std::uint8_t Clamp(double v) { return std::uint8_t(std::clamp(v, 0.0, 255.0)); }

// A sky gradient with a sun and rolling hills.
std::uint32_t Landscape(double u, double v) {
    double hill = 0.62 + 0.08 * std::sin(u * 9.0) + 0.04 * std::sin(u * 23.0 + 1.0);
    if (v > hill)
        return TFrameBitmap::MakePixel(Clamp(40 + 60 * v), Clamp(120 + 80 * (1 - v)), Clamp(40));
    double sun = std::hypot(u - 0.72, v - 0.28);
    if (sun < 0.09)
        return TFrameBitmap::MakePixel(255, 220, 90);
    return TFrameBitmap::MakePixel(Clamp(90 + 120 * v), Clamp(150 + 80 * v), 250);
}

// Concentric rings in warm colours.
std::uint32_t Rings(double u, double v) {
    double r = std::hypot(u - 0.5, v - 0.5);
    double wave = 0.5 + 0.5 * std::sin(r * 60.0);
    return TFrameBitmap::MakePixel(Clamp(200 + 55 * wave), Clamp(60 + 140 * wave), Clamp(80 * (1 - wave)));
}

// A checkerboard tilted by a quarter turn of its squares.
std::uint32_t Checker(double u, double v) {
    double a = (u + v) * 8.0, b = (u - v) * 8.0;
    bool dark = (int(std::floor(a)) + int(std::floor(b))) & 1;
    return dark ? TFrameBitmap::MakePixel(30, 40, Clamp(90 + 100 * u))
                : TFrameBitmap::MakePixel(230, 230, Clamp(180 + 60 * v));
}

// Diagonal rainbow bands.
std::uint32_t Bands(double u, double v) {
    double t = (u * 0.7 + v * 0.3) * 6.2831853 * 2.0;
    return TFrameBitmap::MakePixel(Clamp(128 + 127 * std::sin(t)), Clamp(128 + 127 * std::sin(t + 2.094)),
                                   Clamp(128 + 127 * std::sin(t + 4.189)));
}

using TShader = std::uint32_t (*)(double u, double v);
const TShader Shaders[DemoPictureCount] = {Landscape, Rings, Checker, Bands};
} // namespace

TFrameBitmap DrawDemoPicture(int index, int width, int height) {
    TFrameBitmap picture(width, height);
    TShader shader = Shaders[((index % DemoPictureCount) + DemoPictureCount) % DemoPictureCount];
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixel(x, y, shader((x + 0.5) / width, (y + 0.5) / height));
    return picture;
}

std::vector<std::string> WriteDemoPictures(const std::string& folder, int width, int height) {
    std::vector<std::string> files;
    for (int i = 0; i < DemoPictureCount; ++i) {
        std::string file = (std::filesystem::path(folder) / ("demo-" + std::to_string(i + 1) + ".bmp")).string();
        SaveBmpFile(DrawDemoPicture(i, width, height), file);
        files.push_back(file);
    }
    return files;
}
