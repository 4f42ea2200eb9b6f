#pragma once
// A document's slides on the frame sequencer: the pictures in their order, each slide's own hold
// and effect, the title slides' backgrounds, and the captions as a layer over the finished frames.

#include "app/SlideshowDocument.h"
#include "app/SlideshowSequencer.h"
#include "app/timing/SlideTiming.h"

#include <cstdint>
#include <memory>
#include <string>


// The hold of slide k in frames: the frame-count rule over its own seconds, or over the output
// choices' hold when it has none.
int SlideHoldFrames(const TSlideshowData& data, int k);
// The frames of the whole run: per slide its hold and a transition, plus the fade-in and the
// two black frames at the end.
// With timing, its holds take the place of the slides' (music-timed runs).
long long SlideshowFrameCount(const TSlideshowData& data, const TSlideTiming* timing = nullptr);
// The effect a slide that asks for a random one gets: made from the run's seed base and the
// slide's position, so the run's own sequence (and its generator) stays untouched and a run with
// the same seed shows the same effect.
int RandomSlideEffect(std::uint32_t seedBase, int k);

// Sets the sequencer's picture list and per-picture hooks to the slides of data and prepares it
// for a new run from the output choices (frame size, hold, transition, effects, seed). Captions
// are drawn only when a slide has one; drawing them needs a QGuiApplication (see SlideCaption.h).
// With timing, slide k is held for its HoldFrames[k] instead.
void PrepareDocumentSequencer(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data,
                              std::shared_ptr<const TSlideTiming> timing = nullptr);
