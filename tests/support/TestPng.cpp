#include "tests/support/TestPng.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include <png.h>

void WriteTestPng(const std::string& fileName, int width, int height,
                  const std::function<std::uint32_t(int x, int y)>& colour, bool interlaced) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot create " + fileName);
    // Test pictures are well formed: libpng's default error handling (abort) is fine here.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_byte> image(std::size_t(width) * height * 4);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        rows[std::size_t(y)] = image.data() + std::size_t(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colour(x, y);
            png_bytep p = rows[std::size_t(y)] + 4 * x;
            p[0] = png_byte(c >> 16), p[1] = png_byte(c >> 8), p[2] = png_byte(c), p[3] = png_byte(c >> 24);
        }
    }
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}
