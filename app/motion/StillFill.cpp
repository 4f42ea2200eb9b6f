#include "app/motion/StillFill.h"

#include "app/clips/ClipSlides.h"

#include <cmath>

bool IsStillFillSlide(const TSlideshowData& data, int k) {
    if (k < 0 || k >= int(data.Slides.size()) || data.Output.Framing != TFraming::Fill)
        return false;
    return !IsClipSlide(data.Slides[std::size_t(k)]) && !data.Slides[std::size_t(k)].Title.On && SlideMotionStyle(data, k) == TMotionStyle::Off;
}

void PrepareStillFill(TMovingSlide& slide, const TMotionRect& centred, int frameWidth, int frameHeight) {
    slide.Still = TFrameBitmap();
    const TMotionRect& view = slide.Path.Start;
    // Less than a hundredth of a frame pixel away from the centred crop: the loader's crop.
    const double nearX = 0.01 * view.W / std::max(frameWidth, 1), nearY = 0.01 * view.H / std::max(frameHeight, 1);
    const bool off = std::abs(view.X - centred.X) >= nearX || std::abs(view.Y - centred.Y) >= nearY;
    if (off && !slide.Picture.Empty() && frameWidth > 0 && frameHeight > 0) {
        slide.Still.SetSize(frameWidth, frameHeight);
        DrawMotionView(slide.Picture, view, nullptr, slide.Still, TMotionFilter::Convolution);
    }
    slide.Picture = TFrameBitmap();
}
