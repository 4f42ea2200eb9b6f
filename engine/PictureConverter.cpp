#include "engine/PictureConverter.h"

#include <cstdint>

namespace {
// Coefficients scaled by 2^15: 219/255 of the luma weights, 224/255 of the colour differences.
constexpr int YR = 8414, YG = 16519, YB = 3208;
constexpr int UR = -4857, UG = -9535, UB = 14392;
constexpr int VR = 14392, VG = -12052, VB = -2340;

void LumaRow(const uint8_t* __restrict src, uint8_t* __restrict dst, int width) {
    for (int x = 0; x < width; ++x) {
        int b = src[4 * x], g = src[4 * x + 1], r = src[4 * x + 2];
        dst[x] = uint8_t((YR * r + YG * g + YB * b + (16 << 15) + (1 << 14)) >> 15);
    }
}

// The two chroma samples of each 2x2 block of two rows.
void ChromaRow(const uint8_t* __restrict row0, const uint8_t* __restrict row1, uint8_t* __restrict u,
               uint8_t* __restrict v, int halfWidth) {
    for (int x = 0; x < halfWidth; ++x) {
        const uint8_t* a = row0 + 8 * x;
        const uint8_t* c = row1 + 8 * x;
        int b = a[0] + a[4] + c[0] + c[4];
        int g = a[1] + a[5] + c[1] + c[5];
        int r = a[2] + a[6] + c[2] + c[6];
        // Sums of four samples: two more bits of scale; the offset keeps the total positive.
        u[x] = uint8_t((UR * r + UG * g + UB * b + (128 << 17) + (1 << 16)) >> 17);
        v[x] = uint8_t((VR * r + VG * g + VB * b + (128 << 17) + (1 << 16)) >> 17);
    }
}
} // namespace

bool FastConversionApplies(const AVFrame* in, int width, int height, AVPixelFormat format) {
    return (in->format == AV_PIX_FMT_BGRA || in->format == AV_PIX_FMT_BGR0) && format == AV_PIX_FMT_YUV420P &&
           in->width == width && in->height == height && width % 2 == 0 && height % 2 == 0 && width > 0 &&
           height > 0 && in->linesize[0] > 0;
}

void ConvertBgraToYuv420p(const AVFrame* in, AVFrame* out) {
    const int w = in->width, h = in->height;
    for (int y = 0; y < h; y += 2) {
        const uint8_t* row0 = in->data[0] + std::ptrdiff_t(y) * in->linesize[0];
        const uint8_t* row1 = row0 + in->linesize[0];
        LumaRow(row0, out->data[0] + std::ptrdiff_t(y) * out->linesize[0], w);
        LumaRow(row1, out->data[0] + std::ptrdiff_t(y + 1) * out->linesize[0], w);
        ChromaRow(row0, row1, out->data[1] + std::ptrdiff_t(y / 2) * out->linesize[1],
                  out->data[2] + std::ptrdiff_t(y / 2) * out->linesize[2], w / 2);
    }
}
