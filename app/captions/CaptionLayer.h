#pragma once
// The slides' captions as a layer over the finished frames: the sequencer hands every frame to
// it after the transition, so no effect cuts, mirrors or moves a caption. A held slide shows its
// caption as drawn; during a transition the outgoing slide's caption fades out and the incoming
// one's fades in, over the whole transition (a cross-fade) or over the document's fade time:
// then the outgoing caption fades over the transition's first frames and the incoming one over
// its last. Title slides show their text the same way, in the title style and inside the safe
// area.
//
// Each caption is laid out and drawn once for the run's frame size (CaptionText.h) and blended
// onto the frames it shows on; only the slides around the one on screen are kept.

#include "app/show/SlideshowData.h"
#include "app/SlideshowSequencer.h"
#include "app/captions/CaptionText.h"

#include <map>
#include <memory>
#include <utility>

// The share of the frame's width and height a title's text keeps from the edges.
inline constexpr double TitleSafeInset = 0.1;

// Opacities (0..255) of the outgoing and the incoming slide's captions at moment, when the
// captions fade over fadeFrames (at most the transition's length, at least 1).
std::pair<int, int> CaptionOpacities(const TFrameMoment& moment, int fadeFrames);

// The style slide k's text is drawn in.
TCaptionStyle SlideTextStyle(const TSlideshowData& data, int k);
// Slide k's caption laid out and drawn for the frame size (title slides inside the safe area).
TCaptionText SlideCaptionImage(const TSlideshowData& data, int k, int frameWidth, int frameHeight);
// The caption fade in frames: the document's fade time, or the transition's length.
int CaptionFadeFrames(const TSlideshowData& data);

class TCaptionLayer : public TFrameLayer {
public:
    TCaptionLayer(std::shared_ptr<const TSlideshowData> data, int frameWidth, int frameHeight);
    std::uint64_t Look(const TFrameMoment& moment) override;
    void Draw(TFrameBitmap& frame, const TFrameMoment& moment) override;

private:
    const TCaptionText& Caption(int k);
    std::shared_ptr<const TSlideshowData> data_;
    int width_, height_, fade_;
    std::map<int, TCaptionText> made_;
};
