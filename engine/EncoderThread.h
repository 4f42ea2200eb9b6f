#pragma once
// An encoder that runs on a thread of its own, beside the transcode loop.
//
// The loop hands it references to frames, in order, and collects the packets it has made; the
// packets are muxed on the loop's thread as before, so the container sees one writer. The
// queue of frames is short: a loop that runs ahead of the encoder waits for a free place, which
// keeps the memory bounded. The encoder context belongs to the thread from the first Send until
// the end has been collected (or the object is destroyed); the loop only reads what the opening
// fixed (format, rate, frame size, time base).
//
// Used for the audio of a run that also encodes video: the audio encoder's work then overlaps
// the video encoder's instead of adding to it.

#include "engine/FFPtr.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TEncoderThread {
public:
    // failureText: the message of the FFmpegException thrown when the encoder fails.
    TEncoderThread(AVCodecContext* encoder, std::string failureText, std::size_t depth = 8);
    // Ends the thread; frames still queued are dropped.
    ~TEncoderThread();
    TEncoderThread(const TEncoderThread&) = delete;
    TEncoderThread& operator=(const TEncoderThread&) = delete;

    // Queues a new reference to frame; nullptr ends the input and drains the encoder. Waits while
    // the queue is full. Throws FFmpegException once the encoder has failed, or when frame
    // cannot be referenced.
    void Send(const AVFrame* frame);
    // Hands every packet made so far to take, in order; with untilEnd (only after the end was
    // sent) it first waits until the encoder has been drained, so every packet is handed out. The packet is unreferenced
    // after take returns. Throws FFmpegException once the encoder has failed.
    void Collect(const std::function<void(AVPacket*)>& take, bool untilEnd);

private:
    void Run();
    void Encode(AVFrame* frame); // on the thread, without the lock
    void ThrowIfFailed() const;  // with the lock held

    AVCodecContext* encoder_;
    std::string failureText_;
    std::size_t depth_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<TFramePtr> frames_;  // nullptr entry: the end
    std::deque<TPacketPtr> packets_;
    bool drained_ = false;          // the end has been encoded
    bool failed_ = false;
    bool quit_ = false;
    std::thread thread_;
};
