#pragma once
// Video clips as slides of a document.
//
// A slide whose file is a video clip (IsClipFile) plays the clip from its in point to its out
// point in place of a held picture: its hold lasts the played part's length in frames at the
// slideshow's rate (the frame-count rule over those seconds), whatever hold the slide or the
// output choices give. Hold frame h shows the clip picture that covers h frame times after the
// in point. The transition into the clip shows its first picture, the transition out of it the
// picture of its last hold frame: the clip's sound then lies exactly under its hold.

#include "app/show/SlideshowData.h"
#include "app/SlideshowSequencer.h"
#include "app/soundtrack/AudioOverlay.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TClipDecoder;

// True when the slide's file is a video clip.
bool IsClipSlide(const TSlide& slide);
// Seconds the clip slide plays: from its in point to its out point or the clip's end, whichever
// comes first. 0 for a still slide, or for a clip that cannot be read (ClipProblems says why).
double ClipPlaySeconds(const TSlide& slide);
// The hold in frames of a clip slide; 0 for a still slide (or a clip that cannot be read).
int ClipHoldFrames(const TFrameRate& frameRate, const TSlide& slide);
// Why the document's clips cannot all be played: the first one's slide number (from 1) and
// reason, naming the file; empty when every clip plays. Opens every clip once.
std::string ClipProblems(const TSlideshowData& data);

// The clips' own sounds laid over the soundtrack, in slide order: each from its in point for
// its hold's length, at its first hold frame's time; mixed with the music ducking, or alone;
// a muted clip or one without sound gives none. holds: every slide's hold in frames
// (SlideHolds in app/timing/SlideHolds.h, which also gives them for a document).
std::vector<TAudioOverlay> ClipAudioOverlaysAt(const TSlideshowData& data, const std::vector<int>& holds);

// The clip slides of one run: a decoder per clip, started when the slide before it comes on
// screen (or when the clip itself is asked for first) and ended once the slide after the clip
// is on screen.
class TClipSlides {
public:
    TClipSlides(std::shared_ptr<const TSlideshowData> data, int frameWidth, int frameHeight);
    ~TClipSlides();

    bool IsClip(int k) const;
    // Draws clip slide k for its own frame (see TSlideshowSequencer::DrawSlide).
    void Draw(int k, int frame, TFrameBitmap& bitmap);
    // Slide k came on screen (its transition in began): the clip after it starts decoding,
    // clips two or more slides back are let go.
    void SlideShown(int k);
    // Decoders running or kept (for tests).
    int Decoders() const;

private:
    TClipDecoder& DecoderOf(int k);
    void LetGoBefore(int k);

    std::shared_ptr<const TSlideshowData> data_;
    int frameWidth_, frameHeight_;
    int transitionFrames_;
    double frameSeconds_;
    std::vector<int> holds_;          // per slide: the clip's hold in frames, 0 for a still slide
    mutable std::mutex lock_;
    std::map<int, std::unique_ptr<TClipDecoder>> decoders_;
};

// Makes the sequencer draw the clip slides of data through its moving-slide hooks; slides that
// are no clips keep the hooks set before (pan and zoom).
void InstallClipSlides(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data);
