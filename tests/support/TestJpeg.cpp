#include "tests/support/TestJpeg.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace {
void WriteJpeg(const std::string& fileName, int width, int height,
               const std::function<std::uint32_t(int x, int y)>& colour, int quality, bool grayscale,
               bool progressive, int orientation) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot create " + fileName);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors); // test pictures are well formed: the default exit is fine
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = grayscale ? 1 : 3;
    info.in_color_space = grayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (orientation > 0) {
        // "Exif\0\0", a little-endian TIFF header and one directory with the orientation tag.
        const JOCTET exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                               0x12, 0x01, 3, 0, 1, 0, 0, 0, JOCTET(orientation), 0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * info.input_components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colour(x, y);
            if (grayscale) {
                row[x] = static_cast<JSAMPLE>(c & 0xFF);
            } else {
                row[3 * x] = static_cast<JSAMPLE>(c >> 16);
                row[3 * x + 1] = static_cast<JSAMPLE>(c >> 8);
                row[3 * x + 2] = static_cast<JSAMPLE>(c);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

} // namespace

void WriteTestJpeg(const std::string& fileName, int width, int height,
                   const std::function<std::uint32_t(int x, int y)>& colour, int quality, bool grayscale) {
    WriteJpeg(fileName, width, height, colour, quality, grayscale, false, 0);
}

void WriteTestJpeg(const std::string& fileName, int width, int height,
                   const std::function<std::uint32_t(int x, int y)>& colour, const TTestJpegOptions& options) {
    WriteJpeg(fileName, width, height, colour, options.Quality, false, options.Progressive, options.Orientation);
}

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixaroll-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string WriteTwoTestPictures(const TTempDir& dir) {
    std::string names;
    for (int i = 0; i < 2; ++i) {
        std::string file = dir.File("p" + std::to_string(i) + ".jpg");
        WriteTestJpeg(file, 80, 60, [i](int x, int y) { return std::uint32_t(x * 3 + y * 0x300 + i * 0x400000); });
        names += " " + file;
    }
    return names;
}
