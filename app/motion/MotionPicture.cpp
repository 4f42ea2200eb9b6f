#include "app/motion/MotionPicture.h"

#include "app/pictures/JpegPicture.h"
#include "app/pictures/PictureLimits.h"
#include "app/pictures/PictureLoader.h"
#include "app/motion/MotionDraw.h"
#include "effects/BmpFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
// Width and height of the PNG header chunk (big-endian, right after the signature).
TPictureSize PngSize(const std::string& fileName) {
    unsigned char head[24] = {};
    std::size_t got = 0;
    if (std::FILE* f = std::fopen(fileName.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    if (got < sizeof head || std::memcmp(head + 12, "IHDR", 4) != 0)
        throw TPictureError("Cannot read picture \"" + fileName + "\": the PNG header is damaged");
    auto be = [&](int at) {
        return int((std::uint32_t(head[at]) << 24 | std::uint32_t(head[at + 1]) << 16 | std::uint32_t(head[at + 2]) << 8 |
                    head[at + 3]) & 0x7FFFFFFF);
    };
    return {be(16), be(20)};
}

// Where the picture is larger than needed by more than this, it is scaled down once.
constexpr double SpareDetail = 1.1;
} // namespace

TPictureSize UprightPictureSize(const std::string& fileName) {
    TPictureSize size;
    switch (TPictureLoader::KindOf(fileName)) {
    case TPictureLoader::pkJpeg:
        ReadJpegUprightSize(fileName, size.Width, size.Height);
        break;
    case TPictureLoader::pkPng:
        size = PngSize(fileName);
        break;
    case TPictureLoader::pkBitmap: {
        TBmpReader reader(fileName);
        size = {reader.Width(), reader.Height()};
        break;
    }
    }
    if (size.Width <= 0 || size.Height <= 0)
        throw TPictureError("Cannot read picture \"" + fileName + "\": it has no pixels");
    return size;
}

TFrameBitmap DecodePictureFor(const std::string& fileName, const TPictureSize& full, int neededWidth, int neededHeight) {
    neededWidth = std::clamp(neededWidth, 1, full.Width);
    neededHeight = std::clamp(neededHeight, 1, full.Height);
    int width = full.Width, height = full.Height;
    if (TPictureLoader::KindOf(fileName) == TPictureLoader::pkJpeg) {
        // The largest reduction that keeps the detail; the loader then decodes at exactly it.
        for (int d : {8, 4, 2})
            if (full.Width / d >= neededWidth && full.Height / d >= neededHeight) {
                width = full.Width / d;
                height = full.Height / d;
                break;
            }
    } else {
        // PNG and bitmap rows come at full size: sampled down to twice the need while read.
        const double keep = std::min(1.0, 2.0 * std::max(double(neededWidth) / full.Width, double(neededHeight) / full.Height));
        width = std::max(1, int(full.Width * keep));
        height = std::max(1, int(full.Height * keep));
    }
    if (std::int64_t(width) * height * 4 > MaxPictureBytes)
        throw TPictureError("Cannot read picture \"" + fileName + "\": " + TooLargeText(width, height, std::int64_t(width) * height * 4));
    TFrameBitmap decoded(width, height);
    TPictureLoader loader; // letterbox into a bitmap of the picture's own aspect: the whole bitmap
    loader.Load(fileName, decoded);
    if (width > neededWidth * SpareDetail && height > neededHeight * SpareDetail) {
        const double scale = std::max(double(neededWidth) / width, double(neededHeight) / height);
        return ScaledPicture(decoded, std::min(width, int(std::ceil(width * scale))), std::min(height, int(std::ceil(height * scale))));
    }
    return decoded;
}
