#pragma once
// The orientation a camera records in a photo's EXIF data (tag 0x0112): how the stored pixels
// must be turned or mirrored to show the picture upright.

#include <cstddef>
#include <cstdint>

// 1 upright, 2 mirrored left-right, 3 turned half way, 4 mirrored top-bottom, 5 mirrored along
// the main diagonal, 6 turned a quarter clockwise to show, 7 mirrored along the other diagonal,
// 8 turned a quarter anticlockwise to show. Anything else reads as 1.
int ExifOrientation(const std::uint8_t* app1, std::size_t size);

// The stored pixel shown at upright position (u, v) of a picture stored as width x height.
struct TOrientedSource {
    int Orientation = 1;
    int StoredWidth = 0, StoredHeight = 0;

    bool SwapsSides() const { return Orientation >= 5 && Orientation <= 8; }
    int UprightWidth() const { return SwapsSides() ? StoredHeight : StoredWidth; }
    int UprightHeight() const { return SwapsSides() ? StoredWidth : StoredHeight; }
    void Map(int u, int v, int& x, int& y) const {
        const int w = StoredWidth - 1, h = StoredHeight - 1;
        switch (Orientation) {
        case 2: x = w - u, y = v; break;
        case 3: x = w - u, y = h - v; break;
        case 4: x = u, y = h - v; break;
        case 5: x = v, y = u; break;
        case 6: x = v, y = h - u; break;
        case 7: x = w - v, y = h - u; break;
        case 8: x = w - v, y = u; break;
        default: x = u, y = v; break;
        }
    }
};
