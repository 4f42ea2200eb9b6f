#pragma once
// The command line's front end of one slideshow job: the job itself is built by the application
// library (TSlideshowJob, the same code the window's Start runs) and run through the encoder
// component on a worker thread, while this thread draws the frames and shows the progress.

#include "app/SlideshowJob.h"

#include <string>

struct TRenderResult {
    std::string OutputFile;
    int Frames = 0;          // frames the sequencer delivered
    bool WithSoundtrack = false;
    int StopSignal = 0;      // SIGINT or SIGTERM that stopped the run, 0 when it ran to its end
};

// Loads the libraries when needed and runs the job to its end, or until SIGINT or SIGTERM stop
// it (the file written so far is closed properly). quiet: no progress on the standard error
// stream. Throws std::runtime_error with the text a user needs when the job cannot be set up or
// fails.
// progressEvery: seconds between two plain progress lines when standard error is no terminal.
TRenderResult RenderSlideshow(const TSlideshowSettings& settings, bool quiet, double progressEvery = 5);
// The same for a document's content (slides with their own holds, effects and captions).
TRenderResult RenderSlideshow(const TSlideshowData& slideshow, bool quiet, double progressEvery = 5);
