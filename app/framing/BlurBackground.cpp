#include "app/framing/BlurBackground.h"

#include "app/framing/Framing.h"
#include "app/framing/PixmanImage.h"

#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// pixman does the resampling: an area-averaging reduction of the picture to a small canvas that
// it covers, a Gaussian blur there, and a bilinear enlargement into the bars. The blur works on
// one sixty-fourth of the frame's pixels, so the whole background costs a few milliseconds per
// picture at 1920x1080, once per picture and never per frame.
namespace {
// Frame pixels per pixel of the small canvas.
constexpr int Reduction = 8;
// Width of the blur in small-canvas pixels (pixman's Gaussian kernel scaled by this).
constexpr double BlurScale = 8.0;

// A separable convolution of the given sample kernel, widened by scale in both directions.
void SetConvolution(pixman_image_t* image, double scaleX, double scaleY, pixman_kernel_t kernel) {
    int count = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &count, pixman_double_to_fixed(std::max(scaleX, 1.0)), pixman_double_to_fixed(std::max(scaleY, 1.0)),
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, kernel, kernel, 1, 1);
    pixman_image_set_filter(image, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
    free(params);
}

// One blur pass from source to target (both width x height): a Gaussian of the given widths,
// the edge pixels repeated beyond the edges. A width of 1 leaves that direction as it is: one tap
// (a box reconstruction sampled by an impulse; an impulse alone would give no tap at all).
void BlurPass(std::uint32_t* source, std::uint32_t* target, int width, int height, double scaleX, double scaleY) {
    TPixmanImage from = PixmanView(source, width, height, width * 4);
    TPixmanImage to = PixmanView(target, width, height, width * 4);
    pixman_image_set_repeat(from.get(), PIXMAN_REPEAT_PAD);
    const bool acrossX = scaleX > 1, acrossY = scaleY > 1;
    int count = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &count, pixman_double_to_fixed(scaleX), pixman_double_to_fixed(scaleY), PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX,
        acrossX ? PIXMAN_KERNEL_GAUSSIAN : PIXMAN_KERNEL_IMPULSE, acrossY ? PIXMAN_KERNEL_GAUSSIAN : PIXMAN_KERNEL_IMPULSE,
        0, 0);
    pixman_image_set_filter(from.get(), PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
    free(params);
    pixman_image_composite32(PIXMAN_OP_SRC, from.get(), nullptr, to.get(), 0, 0, 0, 0, 0, 0, width, height);
}

std::uint32_t Darken(std::uint32_t p) {
    auto channel = [](std::uint32_t v) { return BackgroundFloor + v * 3 / 4; };
    return channel((p >> 16) & 0xFF) << 16 | channel((p >> 8) & 0xFF) << 8 | channel(p & 0xFF);
}
} // namespace

void DrawBlurredBackground(TFrameBitmap& frame, const TRect& placed) {
    const int fw = frame.Width(), fh = frame.Height();
    const TRect fit{std::max(placed.Left, 0), std::max(placed.Top, 0), std::min(placed.Right, fw),
                    std::min(placed.Bottom, fh)};
    if (fit.IsEmpty() || (fit.Left == 0 && fit.Top == 0 && fit.Right == fw && fit.Bottom == fh))
        return; // nothing to blur, or no bar to fill
    const int pw = fit.Right - fit.Left, ph = fit.Bottom - fit.Top;
    const int stride = fw * 4;
    TCanvasLock lock(frame);

    // 1. The picture reduced to cover the small canvas.
    const int sw = std::max(1, (fw + Reduction - 1) / Reduction), sh = std::max(1, (fh + Reduction - 1) / Reduction);
    std::vector<std::uint32_t> small(std::size_t(sw) * sh), blurred(std::size_t(sw) * sh);
    const TRect cover = CoverRect(TRect{0, 0, pw, ph}, TRect{0, 0, sw, sh});
    const double toPicture = double(pw) / std::max(1, cover.Right - cover.Left);
    {
        TPixmanImage picture = PixmanView(frame.Row(fit.Top) + fit.Left, pw, ph, stride);
        TPixmanImage target = PixmanView(small.data(), sw, sh, sw * 4);
        pixman_image_set_repeat(picture.get(), PIXMAN_REPEAT_PAD);
        SetPixmanScale(picture.get(), toPicture, toPicture, -cover.Left * toPicture, -cover.Top * toPicture);
        SetConvolution(picture.get(), toPicture, toPicture, PIXMAN_KERNEL_BOX);
        pixman_image_composite32(PIXMAN_OP_SRC, picture.get(), nullptr, target.get(), 0, 0, 0, 0, 0, 0, sw, sh);
    }
    // 2. The blur, on the small canvas: across, then down. pixman's separable convolution still
    //    visits every tap of the square kernel, so one pass of a wide kernel in each direction is
    //    far cheaper than one pass of the square.
    BlurPass(small.data(), blurred.data(), sw, sh, BlurScale, 1.0);
    BlurPass(blurred.data(), small.data(), sw, sh, 1.0, BlurScale);
    // 3. Enlarged into the bars only, then darkened there.
    TPixmanImage source = PixmanView(small.data(), sw, sh, sw * 4);
    TPixmanImage target = PixmanView(frame.Row(0), fw, fh, stride);
    pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_PAD);
    SetPixmanScale(source.get(), double(sw) / fw, double(sh) / fh);
    pixman_image_set_filter(source.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    const TRect bars[] = {{0, 0, fw, fit.Top},
                          {0, fit.Bottom, fw, fh},
                          {0, fit.Top, fit.Left, fit.Bottom},
                          {fit.Right, fit.Top, fw, fit.Bottom}};
    for (const TRect& bar : bars) {
        if (bar.IsEmpty())
            continue;
        pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, target.get(), bar.Left, bar.Top, 0, 0, bar.Left,
                                 bar.Top, bar.Right - bar.Left, bar.Bottom - bar.Top);
        for (int y = bar.Top; y < bar.Bottom; ++y) {
            std::uint32_t* row = frame.Row(y);
            for (int x = bar.Left; x < bar.Right; ++x)
                row[x] = Darken(row[x]);
        }
    }
}
