#include "app/motion/SlideMotion.h"

#include "app/SlideshowSequencer.h"
#include "app/clips/ClipSlides.h"

TMotionStyle SlideMotionStyle(const TSlideshowData& data, int k) {
    if (k < 0 || k >= int(data.Slides.size()))
        return TMotionStyle::Off;
    // A video clip moves by itself: pan and zoom are for still pictures (not title slides).
    if (IsClipSlide(data.Slides[std::size_t(k)]) || data.Slides[std::size_t(k)].Title.On)
        return TMotionStyle::Off;
    const std::optional<TMotionStyle>& own = data.Slides[std::size_t(k)].Motion.Style;
    return own ? *own : data.Output.Motion;
}

std::uint32_t SlideMotionSeed(std::uint32_t seedBase, int k) {
    // Another stream than the transitions' seeds and the random slide effects.
    return TSlideshowSequencer::TransitionSeed(seedBase ^ 0x4D6F7665u, k);
}

bool IsStillFillSlide(const TSlideshowData& data, int k) {
    if (k < 0 || k >= int(data.Slides.size()) || data.Output.Framing != TFraming::Fill)
        return false;
    return !IsClipSlide(data.Slides[std::size_t(k)]) && !data.Slides[std::size_t(k)].Title.On &&
           SlideMotionStyle(data, k) == TMotionStyle::Off;
}
