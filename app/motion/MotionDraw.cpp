#include "app/motion/MotionDraw.h"

#include "app/framing/PixmanImage.h"
#include "app/motion/MotionResample.h"

#include "medialib/FFApi.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {
TPixmanImage Wrap(const TFrameBitmap& bitmap) {
    return PixmanView(bitmap.Pixels(), bitmap.Width(), bitmap.Height(), bitmap.Stride());
}

void SetFilter(pixman_image_t* source, TMotionFilter filter, double sx, double sy) {
    if (filter == TMotionFilter::Bilinear) {
        pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        return;
    }
    // Area: the picture interpolated linearly, then averaged under a tent two frame pixels
    // wide; the tent's shares add up to one and keep their centre at every phase, so a small
    // bright detail neither flickers nor wobbles while it glides. Convolution, shrinking: a
    // Lanczos window as wide as the footprint; enlarging: Lanczos interpolation.
    auto kernels = [filter](double s, pixman_kernel_t& reconstruct, pixman_kernel_t& sample) {
        if (filter == TMotionFilter::Area) {
            reconstruct = PIXMAN_KERNEL_LINEAR;
            sample = PIXMAN_KERNEL_LINEAR;
            return;
        }
        reconstruct = s > 1 ? PIXMAN_KERNEL_IMPULSE : PIXMAN_KERNEL_LANCZOS3;
        sample = s > 1 ? PIXMAN_KERNEL_LANCZOS3 : PIXMAN_KERNEL_IMPULSE;
    };
    pixman_kernel_t rx, ry, kx, ky;
    kernels(sx, rx, kx);
    kernels(sy, ry, ky);
    // Phases of the filter per pixel: coarse ones make a gliding picture wobble by the step.
    const int phaseBits = filter == TMotionFilter::Area ? 8 : 4;
    int count = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &count, pixman_double_to_fixed(std::max(sx, 1.0)), pixman_double_to_fixed(std::max(sy, 1.0)), rx, ry, kx, ky, phaseBits, phaseBits);
    if (!params) {
        pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        return;
    }
    pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
    std::free(params);
}

void FillRows(TFrameBitmap& frame, const TFrameBitmap* background, int y0, int y1, int x0, int x1) {
    if (x1 <= x0)
        return;
    for (int y = y0; y < y1; ++y) {
        std::uint32_t* row = frame.Row(y) + x0;
        const std::size_t bytes = std::size_t(x1 - x0) * 4;
        if (background)
            std::memcpy(row, background->Row(y) + x0, bytes);
        else
            std::memset(row, 0, bytes);
    }
}
} // namespace

void DrawMotionView(const TFrameBitmap& picture, const TMotionRect& view, const TFrameBitmap* background,
                    TFrameBitmap& frame, TMotionFilter filter) {
    const int fw = frame.Width(), fh = frame.Height();
    if (fw <= 0 || fh <= 0)
        return;
    if (background && (background->Width() != fw || background->Height() != fh))
        background = nullptr;
    const double pw = picture.Width(), ph = picture.Height();
    const double sx = view.W * pw / fw, sy = view.H * ph / fh;
    const double tx = view.X * pw, ty = view.Y * ph;
    // Where the picture lands in the frame, to whole pixels; beyond it the bars.
    int left = 0, top = 0, right = fw, bottom = fh;
    if (!picture.Empty() && sx > 0 && sy > 0) {
        left = int(std::clamp(std::lround(-tx / sx), 0L, long(fw)));
        right = int(std::clamp(std::lround((pw - tx) / sx), 0L, long(fw)));
        top = int(std::clamp(std::lround(-ty / sy), 0L, long(fh)));
        bottom = int(std::clamp(std::lround((ph - ty) / sy), 0L, long(fh)));
    } else {
        right = left, bottom = top;
    }
    FillRows(frame, background, 0, top, 0, fw);
    FillRows(frame, background, bottom, fh, 0, fw);
    FillRows(frame, background, top, bottom, 0, left);
    FillRows(frame, background, top, bottom, right, fw);
    if (right <= left || bottom <= top)
        return;
    if (filter == TMotionFilter::Tent) {
        ResampleTent(picture, TResampleMap{sx, sy, tx, ty}, frame, left, top, right, bottom);
        return;
    }
    TPixmanImage source = Wrap(picture);
    TPixmanImage target = PixmanView(frame.Pixels(), fw, fh, frame.Stride());
    if (!source || !target)
        return;
    SetPixmanScale(source.get(), sx, sy, tx, ty);
    SetFilter(source.get(), filter, sx, sy);
    pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_PAD);
    pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, target.get(), left, top, 0, 0, left, top,
                             right - left, bottom - top);
}

namespace {
struct TScalerFree {
    void operator()(SwsContext* c) const { ff::sws_freeContext(c); }
};

// libswscale's Lanczos in its separable passes: about a tenth of pixman's time for the same
// reduction (whose convolution filter weighs every tap pair of the square). False when the
// library is not loaded or refuses the sizes.
bool ScaleWithSwscale(const TFrameBitmap& picture, TFrameBitmap& scaled) {
    if (!ff::sws_getContext || !ff::sws_scale || !ff::sws_freeContext)
        return false;
    const std::unique_ptr<SwsContext, TScalerFree> scaler(
        ff::sws_getContext(picture.Width(), picture.Height(), AV_PIX_FMT_BGR0, scaled.Width(), scaled.Height(),
                           AV_PIX_FMT_BGR0, SWS_LANCZOS | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    const std::uint8_t* from[4] = {reinterpret_cast<const std::uint8_t*>(picture.Pixels()), nullptr, nullptr, nullptr};
    const int fromStride[4] = {picture.Stride(), 0, 0, 0};
    std::uint8_t* to[4] = {reinterpret_cast<std::uint8_t*>(scaled.Pixels()), nullptr, nullptr, nullptr};
    const int toStride[4] = {scaled.Stride(), 0, 0, 0};
    return ff::sws_scale(scaler.get(), from, fromStride, 0, picture.Height(), to, toStride) == scaled.Height();
}
} // namespace

TFrameBitmap ScaledPicture(const TFrameBitmap& picture, int width, int height) {
    TFrameBitmap scaled(std::max(width, 0), std::max(height, 0));
    if (scaled.Empty() || picture.Empty())
        return scaled;
    if (!ScaleWithSwscale(picture, scaled))
        DrawMotionView(picture, TMotionRect{}, nullptr, scaled, TMotionFilter::Convolution);
    return scaled;
}
