#include "app/document/DocumentSequencer.h"

#include "app/output/FrameCount.h"
#include "app/output/FrameSizeLimits.h"
#include "app/captions/SlideCaption.h"
#include "app/captions/CaptionLayer.h"
#include "app/captions/TitleSlide.h"
#include "app/clips/ClipSlides.h"
#include "app/motion/MotionSlides.h"
#include "effects/Effects.h"

#include <charconv>
#include <stdexcept>

int RandomSlideEffect(std::uint32_t seedBase, int k) {
    // Another stream of the transition seeds than the effects' own (they get TransitionSeed(k)).
    return int(TSlideshowSequencer::TransitionSeed(seedBase ^ 0xA5A5A5A5u, k) % EffectCount) + 1;
}

void PrepareDocumentSequencer(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data,
                              std::shared_ptr<const TSlideTiming> timing) {
    const TSlideshowData& d = *data;
    const TSlideshowSettings& out = d.Output;
    sequencer.PictureCount = [data] { return int(data->Slides.size()); };
    sequencer.PicturePath = [data](int k) { return data->Slides.at(std::size_t(k)).Picture; };
    // The window may replace the picture list by its live one: positions beyond the slides
    // have no values of their own.
    std::vector<int> ownHolds;
    for (int k = 0; k < int(d.Slides.size()); ++k)
        ownHolds.push_back(OwnHoldFrames(d, k));
    sequencer.PictureHoldFrames = [ownHolds](int k) {
        return k >= 0 && k < int(ownHolds.size()) ? ownHolds[std::size_t(k)] : 0;
    };
    if (timing)
        sequencer.PictureHoldFrames = [timing](int k) {
            return k >= 0 && k < int(timing->HoldFrames.size()) ? timing->HoldFrames[std::size_t(k)] : 0;
        };
    sequencer.PictureEffect = [data, &sequencer](int k) {
        if (k < 0 || k >= int(data->Slides.size()))
            return 0;
        const std::optional<int>& effect = data->Slides[std::size_t(k)].Effect;
        if (!effect)
            return 0;
        return *effect == SlideEffectRandom ? RandomSlideEffect(sequencer.SeedBase, k) : *effect;
    };
    sequencer.PictureLoaded = nullptr;
    const TFrameSize size = SlideshowFrameSize(out.FrameSize);
    // Captions are a layer over the finished frames; a show without them has none.
    sequencer.Layer = nullptr;
    if (HasCaptions(d)) {
        std::string reason;
        if (!EnsureCaptionDrawing(reason))
            throw std::runtime_error(reason);
        sequencer.Layer = std::make_shared<TCaptionLayer>(data, size.Width, size.Height);
    }
    sequencer.SlideMoves = nullptr;
    sequencer.DrawSlide = nullptr;
    sequencer.Prepare(size.Width, size.Height,
                      FrameCount(out.FrameRate, out.HoldSeconds), FrameCount(out.FrameRate, out.TransitionSeconds),
                      out.RandomEffects, out.Seed);
    sequencer.PictureLoader.Framing = out.Framing;
    // Motion first: the clips' hooks take their own slides and hand the others on to it.
    InstallSlideMotion(sequencer, data);
    InstallClipSlides(sequencer, data);
    InstallTitleSlides(sequencer, data);
}
