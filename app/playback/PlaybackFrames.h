#pragma once
// The frames of a document's slideshow for the player: the same sequencer, effects, framing,
// motion, captions and clips as a job's run (PrepareSlideshowRun), at the player's frame size,
// from any frame on. Not thread-bound, but one thread at a time (the player's drawing thread).
//
// A jump to frame n sets the sequencer's counters for frame n at once (TSlideshowSequencer::Skip:
// no frame on the way is drawn, no picture decoded, no caption asked for), then draws what frame
// n shows: the picture or the two pictures of its transition. The transitions' effects come out as in a run from the
// start, since the effects keep the program's random generator as they found it.
//
// The program's random generator is the job's too: the frames keep a state of their own and put
// the generator back as they found it after every call, so a job started later (when the player
// has stopped) finds it as it would have without the player.

#include "app/document/SlideshowDocument.h"
#include "app/SlideshowRun.h"
#include "app/SlideshowSequencer.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class TPlaybackFrames {
public:
    // Sets up data's slideshow at width x height (the output choices' frame size is replaced,
    // everything else stays). Throws std::runtime_error naming what cannot be played.
    void Prepare(const TSlideshowData& data, int width, int height);
    bool Prepared() const { return prepared_; }

    long long FrameCount() const { return run_.Frames; }
    double FramesPerSecond() const { return fps_; }
    // The first frame of each slide: the first of the transition into it.
    const std::vector<long long>& SlideStarts() const { return slideStarts_; }
    // The first frame of each slide's hold.
    const std::vector<long long>& HoldStarts() const { return holdStarts_; }
    // The slide a frame shows (during a transition: the incoming one; the end frames: the last).
    int SlideAt(long long frame) const;
    const TSlideshowRun& Run() const { return run_; }
    const TSlideshowData& Data() const { return *data_; }

    // The frame the next call to Next draws.
    long long Position() const { return position_; }
    // Moves to frame (clamped to the show); the next Next draws it.
    void Seek(long long frame);
    // Draws the frame at Position and moves on; nullptr after the last one. The frame stays
    // valid until the next call.
    const TFrameBitmap* Next();

private:
    void NewSequencer();

    std::shared_ptr<const TSlideshowData> data_;
    std::unique_ptr<TSlideshowSequencer> sequencer_;
    TSlideshowRun run_;
    double fps_ = 30;
    std::vector<long long> slideStarts_, holdStarts_;
    long long position_ = 0;
    bool prepared_ = false;
    std::uint32_t random_ = 0; // the frames' own state of the program's generator
    std::uint32_t seed_ = std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
};
