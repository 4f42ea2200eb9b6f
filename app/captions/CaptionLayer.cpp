#include "app/captions/CaptionLayer.h"

#include "app/output/FrameCount.h"
#include "app/captions/SlideCaption.h"

#include <algorithm>
#include <cmath>

std::pair<int, int> CaptionOpacities(const TFrameMoment& moment, int fadeFrames) {
    if (moment.Steps <= 0)
        return {255, 0}; // held
    const int fade = std::clamp(fadeFrames, 1, moment.Steps);
    const int c = moment.Step;
    // Fade frame i of f (from 0) stands at (i + 1) / (f + 1): never quite gone or whole inside
    // the transition, so the fades join the holds on both sides smoothly.
    auto share = [&](int i) { return int(std::lround(255.0 * (i + 1) / (fade + 1))); };
    const int out = c < fade ? share(fade - 1 - c) : 0;
    const int inStep = c - (moment.Steps - fade);
    const int in = inStep >= 0 ? share(inStep) : 0;
    return {out, in};
}

TCaptionStyle SlideTextStyle(const TSlideshowData& data, int k) {
    const TSlide& slide = data.Slides.at(std::size_t(k));
    if (slide.CaptionStyle)
        return *slide.CaptionStyle;
    return slide.Title.On ? TitleStyleOf(data.CaptionStyle) : data.CaptionStyle;
}

TCaptionText SlideCaptionImage(const TSlideshowData& data, int k, int frameWidth, int frameHeight) {
    const TSlide& slide = data.Slides.at(std::size_t(k));
    return MakeCaptionText(SlideCaptionText(slide), SlideTextStyle(data, k), frameWidth, frameHeight,
                           slide.Title.On ? TitleSafeInset : 0);
}

int CaptionFadeFrames(const TSlideshowData& data) {
    const int transition = FrameCount(data.Output.FrameRate, data.Output.TransitionSeconds);
    if (!data.CaptionFadeSeconds)
        return std::max(transition, 1);
    return std::clamp(FrameCount(data.Output.FrameRate, *data.CaptionFadeSeconds), 1,
                      std::max(transition, 1));
}

TCaptionLayer::TCaptionLayer(std::shared_ptr<const TSlideshowData> data, int frameWidth, int frameHeight)
    : data_(std::move(data)), width_(frameWidth), height_(frameHeight), fade_(CaptionFadeFrames(*data_)) {}

const TCaptionText& TCaptionLayer::Caption(int k) {
    auto found = made_.find(k);
    if (found != made_.end())
        return found->second;
    // The run goes forward: what lies behind the slides on screen is not needed again.
    made_.erase(made_.begin(), made_.lower_bound(k - 1));
    return made_.emplace(k, SlideCaptionImage(*data_, k, width_, height_)).first->second;
}

std::uint64_t TCaptionLayer::Look(const TFrameMoment& moment) {
    const auto [out, in] = CaptionOpacities(moment, fade_);
    const int count = int(data_->Slides.size());
    auto part = [&](int k, int opacity) -> std::uint64_t {
        if (k < 0 || k >= count || opacity == 0 || Caption(k).Image.isNull())
            return 0;
        return (std::uint64_t(k) + 1) << 8 | std::uint64_t(opacity);
    };
    // 24 bits of slide and 8 of opacity each: equal looks draw the same pixels.
    return part(moment.Outgoing, out) << 32 | part(moment.Incoming, in);
}

void TCaptionLayer::Draw(TFrameBitmap& frame, const TFrameMoment& moment) {
    const auto [out, in] = CaptionOpacities(moment, fade_);
    const int count = int(data_->Slides.size());
    if (moment.Outgoing >= 0 && moment.Outgoing < count && out > 0)
        BlendCaption(frame, Caption(moment.Outgoing), out);
    if (moment.Incoming >= 0 && moment.Incoming < count && in > 0)
        BlendCaption(frame, Caption(moment.Incoming), in);
}
