#pragma once
// The player's drawing thread: draws the frames of a slideshow (TPlaybackFrames) one or two
// ahead into a small queue, from a place the user-interface thread names; that thread only takes
// the frames that are ready. Each order (a slideshow to draw, a place to draw from, a single
// frame to show, stop) has a number; frames carry the number of the order they were drawn for,
// so nothing drawn for an older order is ever shown.

#include "app/document/SlideshowDocument.h"
#include "app/playback/PlaybackFrames.h"

#include <QImage>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct TDrawnFrame {
    long long Index = 0;     // the frame's place in the show
    std::uint64_t Order = 0; // the order it was drawn for
    QImage Image;            // RGB32, the frame's size
    double DrawMs = 0;       // the drawing time
};

// What a prepared slideshow is like (for the scrubber and the clock).
struct TPlaybackShape {
    std::uint64_t Order = 0; // the order of the Load
    long long Frames = 0;
    double FramesPerSecond = 30;
    std::vector<long long> SlideStarts, HoldStarts;
    TSlideshowRun Run;
    TSlideshowData Data;   // as drawn (the player's frame size)
    std::string Error;     // why the slideshow cannot be played; empty when it can
};

class TPlaybackDrawer {
public:
    static constexpr std::size_t QueueLength = 2;

    TPlaybackDrawer();
    ~TPlaybackDrawer();
    TPlaybackDrawer(const TPlaybackDrawer&) = delete;
    TPlaybackDrawer& operator=(const TPlaybackDrawer&) = delete;

    // Told on the drawing thread when a slideshow was prepared (or could not be).
    std::function<void(const TPlaybackShape&)> OnPrepared;
    // Told on the drawing thread when a frame was put in the queue.
    std::function<void()> OnFrame;

    // Each returns the number of its order. Load prepares data at width x height, then shows
    // frame. Show draws frame alone; Play draws on from frame, one or two ahead.
    std::uint64_t Load(const TSlideshowData& data, int width, int height, long long frame, bool play);
    std::uint64_t Show(long long frame);
    std::uint64_t Play(long long frame);
    // Stops drawing and returns once the thread draws nothing any more (the queue is emptied).
    void Stop();

    // The latest order's newest queued frame at or before index (the clock's frame); the older
    // ones are dropped (counted in dropped). Nothing while no frame of that time is drawn yet.
    // A run that has fallen behind index goes on from just after it, without drawing the frames
    // in between.
    std::optional<TDrawnFrame> Take(long long index, int* dropped = nullptr);
    // The latest order's frame at the front of the queue, if any (a still after Show).
    std::optional<TDrawnFrame> TakeAny();
    // True when a frame of the latest order waits in the queue.
    bool Queued() const;
    // True once the latest order has drawn its last frame (the end of the show).
    bool AtEnd() const;
    std::uint64_t Frames() const; // frames drawn since construction

private:
    enum class EMode { Idle, Still, Run };
    void Loop();
    std::uint64_t Order(EMode mode, long long frame);

    mutable std::mutex mutex_;
    std::condition_variable wake_;    // an order or room in the queue
    std::condition_variable idle_;
    std::deque<TDrawnFrame> queue_;
    EMode mode_ = EMode::Idle;
    long long from_ = 0;
    std::uint64_t order_ = 0;
    std::uint64_t loadOrder_ = 0; // the order of the last Load
    std::optional<TSlideshowData> load_;
    int width_ = 0, height_ = 0;
    bool quit_ = false;
    bool busy_ = false;
    bool atEnd_ = false;
    std::uint64_t frames_ = 0;
    TPlaybackFrames show_; // only the drawing thread touches it
    std::thread thread_;
};
