#pragma once
// How long each slide of a show is held, in frames: the one place of that rule. A clip is held
// for as long as it plays; a picture for its own hold, or the output choices' hold when it has
// none; with holds that follow the music (TSlideTiming), for those.

#include "app/show/SlideshowData.h"
#include "app/soundtrack/AudioOverlay.h"
#include "app/timing/SlideTiming.h"

#include <vector>

// Slide k's hold of its own in frames (a clip's played length, or its own seconds); 0 when it
// has none and the run's hold applies.
int OwnHoldFrames(const TSlideshowData& data, int k);
// The hold of slide k in frames: its own, or the frame-count rule over the output choices' hold.
int SlideHoldFrames(const TSlideshowData& data, int k);
// Every slide's hold; with timing, its holds take the place of the slides' (music-timed runs).
std::vector<int> SlideHolds(const TSlideshowData& data, const TSlideTiming* timing = nullptr);
// The frames of the whole run: per slide its hold and a transition, plus the fade-in and the
// two black frames at the end.
long long SlideshowFrameCount(const TSlideshowData& data, const TSlideTiming* timing = nullptr);
// The clips' own sounds laid over the soundtrack at the places these holds give them (see
// ClipAudioOverlaysAt).
std::vector<TAudioOverlay> ClipAudioOverlays(const TSlideshowData& data, const TSlideTiming* timing = nullptr);
