#include "app/pictures/PictureOrientation.h"

#include <cstring>

int ExifOrientation(const std::uint8_t* app1, std::size_t size) {
    // "Exif\0\0", then a TIFF header: byte order, 42, the offset of the first directory.
    static const std::uint8_t Signature[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (!app1 || size < 6 + 8 || std::memcmp(app1, Signature, 6) != 0)
        return 1;
    const std::uint8_t* tiff = app1 + 6;
    const std::size_t length = size - 6;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        little = false;
    else
        return 1;
    auto u16 = [&](std::size_t at) -> unsigned {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t {
        return little ? std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16
                      : std::uint32_t(u16(at)) << 16 | std::uint32_t(u16(at + 2));
    };
    if (u16(2) != 42)
        return 1;
    const std::uint32_t directory = u32(4);
    if (directory > length || length - directory < 2)
        return 1;
    const unsigned entries = u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + std::size_t(i) * 12;
        if (entry + 12 > length)
            break;
        if (u16(entry) != 0x0112)
            continue;
        // A SHORT with one value, held in the entry itself.
        if (u16(entry + 2) != 3 || u32(entry + 4) != 1)
            return 1;
        const unsigned value = u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}
