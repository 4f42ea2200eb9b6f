#include "app/timing/SlideHolds.h"

#include "app/clips/ClipSlides.h"
#include "app/output/FrameCount.h"

int OwnHoldFrames(const TSlideshowData& data, int k) {
    const TSlide& slide = data.Slides.at(std::size_t(k));
    if (const int clip = ClipHoldFrames(data.Output.FrameRate, slide))
        return clip; // a clip is held for as long as it plays
    return slide.HoldSeconds ? FrameCount(data.Output.FrameRate, *slide.HoldSeconds) : 0;
}

int SlideHoldFrames(const TSlideshowData& data, int k) {
    if (const int own = OwnHoldFrames(data, k))
        return own;
    return FrameCount(data.Output.FrameRate, data.Output.HoldSeconds);
}

std::vector<int> SlideHolds(const TSlideshowData& data, const TSlideTiming* timing) {
    std::vector<int> holds;
    for (int k = 0; k < int(data.Slides.size()); ++k)
        holds.push_back(timing && k < int(timing->HoldFrames.size()) ? timing->HoldFrames[std::size_t(k)]
                                                                     : SlideHoldFrames(data, k));
    return holds;
}

long long SlideshowFrameCount(const TSlideshowData& data, const TSlideTiming* timing) {
    const long long transition = FrameCount(data.Output.FrameRate, data.Output.TransitionSeconds);
    if (timing)
        return TimedFrameCount(timing->HoldFrames, int(transition));
    long long frames = transition + 2;
    for (int k = 0; k < int(data.Slides.size()); ++k)
        frames += SlideHoldFrames(data, k) + transition;
    return frames;
}

std::vector<TAudioOverlay> ClipAudioOverlays(const TSlideshowData& data, const TSlideTiming* timing) {
    return ClipAudioOverlaysAt(data, SlideHolds(data, timing));
}
