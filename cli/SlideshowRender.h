#pragma once
// One slideshow job without a window, built the way the window's Start builds it: the frame
// input adapter as input 0 with its parameter string, the container's codecs, frame rate, frame
// size and bit rate as output options, a unique "slideshow-_(new)" name in the output folder.
// The sequencer draws on this thread (the pumped "user-interface thread") while the engine
// encodes on a worker thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TRenderJob {
    std::vector<std::string> Pictures;
    std::string OutDir;
    std::string Format = "mp4";
    std::string FrameSize = "320x240"; // as the window shows it
    std::string FrameRate = "30:1";
    int BitRateKbps = 768;
    double HoldSeconds = 5;
    double TransitionSeconds = 2;
    bool RandomEffects = true;
    std::optional<std::uint32_t> Seed; // random effects from this seed instead of the clock
    // The soundtrack, input 1 of the job; like the window, a name that is empty or names no
    // existing file adds no soundtrack.
    std::string Audio;
    int AudioChannels = 2;        // 1 for mono
    int AudioSampleRate = 44100;  // 0 leaves the rate to the engine
    // "Break when no pictures": the end of the slideshow also ends the run, even while the
    // soundtrack goes on.
    bool BreakWhenNoPictures = false;
};

struct TRenderResult {
    std::string OutputFile;
    int Frames = 0; // frames the sequencer delivered
    bool WithSoundtrack = false;
};

// Loads the libraries when needed and runs the job to its end. Throws std::runtime_error with
// the text a user needs when the job cannot be set up or fails.
TRenderResult RenderSlideshow(const TRenderJob& job);
