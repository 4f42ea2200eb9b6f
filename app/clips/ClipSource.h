#pragma once
// A clip file opened for decoding its video: the demuxer, the video stream and its decoder,
// each owned and released on every path.

#include "engine/FFPtr.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TClipSource {
public:
    // Opens the file, picks its video stream and opens the decoder with up to threads threads.
    // stop, when given, is asked while the demuxer waits for the file: answering true ends
    // the reading (NextFrame then reports the end). Throws TPictureError naming the file.
    TClipSource(const std::string& fileName, int threads, std::function<bool()> stop = nullptr);
    ~TClipSource();
    TClipSource(const TClipSource&) = delete;
    TClipSource& operator=(const TClipSource&) = delete;

    AVFormatContext* Format() const { return input_.get(); }
    AVStream* Stream() const { return stream_; }
    AVCodecContext* Decoder() const { return decoder_.get(); }
    const std::string& FileName() const { return file_; }

    // Clockwise turn (0, 90, 180, 270) that makes the picture upright.
    int Rotation() const { return rotation_; }
    // Seconds of the video stream (the container's duration when the stream has none).
    double Duration() const { return duration_; }
    // The shown size: the pixel aspect and the rotation applied.
    int DisplayWidth() const { return displayWidth_; }
    int DisplayHeight() const { return displayHeight_; }

    // Jumps to the key frame at or before seconds (clip time); frames before it follow first.
    void SeekTo(double seconds);
    // The next decoded picture; false at the end of the stream. Throws TPictureError when the
    // file cannot be read on or a packet cannot be decoded.
    bool NextFrame(AVFrame* frame);
    // Clip time in seconds of a decoded frame (from the stream's start); NaN when it has none.
    double FrameSeconds(const AVFrame* frame) const;

    // True when the end came from a stop request rather than the file's end.
    bool Stopped() const { return stopped_; }

private:
    struct TInputClose {
        void operator()(AVFormatContext* c) const { ff::avformat_close_input(&c); }
    };
    static int Interrupt(void* self);
    [[noreturn]] void Fail(const std::string& reason) const;
    [[noreturn]] void Fail(const std::string& what, int code) const;

    std::string file_;
    std::function<bool()> stop_;
    std::unique_ptr<AVFormatContext, TInputClose> input_;
    AVStream* stream_ = nullptr;
    TCodecContextPtr decoder_;
    TPacketPtr packet_;
    int rotation_ = 0;
    double duration_ = 0;
    double start_ = 0;
    int displayWidth_ = 0, displayHeight_ = 0;
    bool draining_ = false;   // the demuxer ended; the decoder gives what it still holds
    bool ended_ = false;
    bool stopped_ = false;
    int badPackets_ = 0;
};

// The clockwise turn (0, 90, 180, 270) a display matrix asks for; 0 without one.
int RotationOfDisplayMatrix(const std::int32_t* matrix);
