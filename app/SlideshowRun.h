#pragma once
// What a run of a document's slideshow is made of before any frame is drawn, worked out in one
// place for everything that draws or plays it (the job, the window's player): the holds from the
// music, the frame count, the clips' sounds over the music, the soundtrack's plan, and the
// sequencer set up for the slides. A player that draws the same document at another frame size
// gets exactly the frames a job would draw at that size.

#include "app/document/SlideshowDocument.h"
#include "app/SlideshowSequencer.h"
#include "app/soundtrack/AudioOverlay.h"
#include "app/soundtrack/SoundtrackBuilder.h"
#include "app/timing/SlideTiming.h"

#include <memory>
#include <string>
#include <vector>

struct TSlideshowRun {
    std::shared_ptr<const TSlideTiming> Timing; // holds from the music; null when they do not follow it
    std::vector<std::string> TimingLines;       // what the music timing found (for the log)
    long long Frames = 0;                       // the frames the run delivers in all
    double VideoSeconds = 0;
    double LastTransitionSeconds = 0;           // the transition into black at the end
    std::vector<TAudioOverlay> Overlays;        // the clips' own sounds at their places
};

// Plans the music timing and prepares sequencer for data's slides and output choices (the
// caller has checked the clips with ClipProblems). Throws std::runtime_error naming a soundtrack
// the holds cannot be taken from.
TSlideshowRun PrepareSlideshowRun(TSlideshowSequencer& sequencer, const TSlideshowData& data);


// The soundtrack a run of settings builds: its songs, fades, loop and overlays at sampleRate.
TSoundtrackPlan SoundtrackPlanOf(const TSlideshowSettings& settings, const TSlideshowRun& run, int sampleRate);
