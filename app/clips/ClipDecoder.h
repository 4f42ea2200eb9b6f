#pragma once
// A clip decoded ahead on a thread of its own: pictures from the in point on, each converted to
// the frame at once (ClipPicture) and kept in a small bounded queue of frame-size frames, so
// drawing seldom waits and memory stays bounded whatever the clip's own size.
//
// The slideshow asks for the picture at a clip time (ShowAt); the picture whose time span covers
// that time is chosen (for phone clips with variable frame rates the spans differ). Times only go
// forward: a time before the one shown last shows the same picture again.

#include "app/framing/Framing.h"
#include "effects/FrameBitmap.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TClipPlayback {
    std::string File;
    double In = 0;          // seconds into the clip where playing starts
    double Duration = 0;    // seconds played from In
    int FrameWidth = 0, FrameHeight = 0;
    TFraming Framing = TFraming::Letterbox;
    int QueueFrames = 6;    // converted frames kept ahead at most
    int Threads = 0;        // decoder threads; 0: one per core, at most 4
};

class TClipDecoder {
public:
    explicit TClipDecoder(TClipPlayback playback);
    // Stops the thread (also in the middle of decoding) and waits for it.
    ~TClipDecoder();
    TClipDecoder(const TClipDecoder&) = delete;
    TClipDecoder& operator=(const TClipDecoder&) = delete;

    // Starts decoding ahead; a second call changes nothing.
    void Start();
    // Stops decoding and waits for the thread; ShowAt afterwards shows what was decoded.
    void Stop();

    // Copies the picture that covers clip time seconds (0 = the in point) into frame (resized to
    // the frame size). Waits for the decoder when it is not there yet (starting it when needed).
    // After the last picture of the part played, the last one stays. Throws TPictureError
    // naming the file when the clip cannot be played, or when it ends well before its length
    // (a file cut short): the frames before stay as drawn.
    void ShowAt(double seconds, TFrameBitmap& frame);

    // Converted frames waiting in the queue (for tests of the bound).
    int Queued() const;
    // The decoder's thread has ended (its part decoded, failed or stopped).
    bool Finished() const;

private:
    struct TQueued {
        double Time;
        TFrameBitmap Frame;
    };
    void Run();
    void Decode();
    // Waits for room, then queues the picture; false when stopping.
    bool Push(double time, TFrameBitmap&& frame);
    TFrameBitmap TakeBuffer();

    const TClipPlayback playback_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<TQueued> queue_;
    std::vector<TFrameBitmap> spare_;   // buffers the consumer is done with
    bool started_ = false;
    std::atomic<bool> stopping_{false};
    bool finished_ = false;
    bool threadEnded_ = false;         // the decoder's thread has done its last work
    std::string error_;                 // why decoding failed; empty when it did not
    double lastDecoded_ = -1;           // time of the last queued picture
    std::thread thread_;

    // The consumer's side (one drawing thread at a time).
    std::mutex showLock_;
    bool haveCurrent_ = false;
    TQueued current_{0, {}};
    double shownTime_ = -1e300;
};
