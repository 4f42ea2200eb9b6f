#pragma once
// pixman images over our frames (B, G, R, X bytes are PIXMAN_x8r8g8b8), owned, and the affine
// scale that maps frame coordinates to source coordinates.

#include <pixman.h>

#include <cstdint>
#include <memory>

struct TPixmanImageFree {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using TPixmanImage = std::unique_ptr<pixman_image_t, TPixmanImageFree>;

// An image over rows of 32-bit pixels it does not own. pixman only reads a source image, but its
// interface takes the rows as writable memory.
inline TPixmanImage PixmanView(const std::uint32_t* pixels, int width, int height, int strideBytes) {
    return TPixmanImage(pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height,
                                                 const_cast<std::uint32_t*>(pixels), strideBytes));
}

// Source coordinate = scale * destination coordinate + offset, each way.
inline void SetPixmanScale(pixman_image_t* image, double sx, double sy, double dx = 0, double dy = 0) {
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(sx);
    t.matrix[0][2] = pixman_double_to_fixed(dx);
    t.matrix[1][1] = pixman_double_to_fixed(sy);
    t.matrix[1][2] = pixman_double_to_fixed(dy);
    pixman_image_set_transform(image, &t);
}
