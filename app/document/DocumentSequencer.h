#pragma once
// A document's slides on the frame sequencer: the pictures in their order, each slide's own hold
// and effect, the title slides' backgrounds, and the captions as a layer over the finished frames.

#include "app/document/SlideshowDocument.h"
#include "app/SlideshowSequencer.h"
#include "app/timing/SlideHolds.h"

#include <cstdint>
#include <memory>
#include <string>


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
