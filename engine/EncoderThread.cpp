#include "engine/EncoderThread.h"

#include "engine/FFmpegException.h"

TEncoderThread::TEncoderThread(AVCodecContext* encoder, std::string failureText, std::size_t depth)
    : encoder_(encoder), failureText_(std::move(failureText)), depth_(depth < 1 ? 1 : depth) {
    thread_ = std::thread([this] { Run(); });
}

TEncoderThread::~TEncoderThread() {
    {
        std::lock_guard guard(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TEncoderThread::ThrowIfFailed() const {
    if (failed_)
        throw FFmpegException(failureText_);
}

void TEncoderThread::Send(const AVFrame* frame) {
    TFramePtr entry;
    if (frame) {
        entry = NewFrame();
        if (ff::av_frame_ref(entry.get(), frame) < 0)
            throw FFmpegException(failureText_);
    }
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return failed_ || drained_ || frames_.size() < depth_; });
    ThrowIfFailed();
    if (drained_) // nothing is encoded after the end
        throw FFmpegException(failureText_);
    frames_.push_back(std::move(entry));
    changed_.notify_all();
}

void TEncoderThread::Collect(const std::function<void(AVPacket*)>& take, bool untilEnd) {
    std::deque<TPacketPtr> ready;
    {
        std::unique_lock guard(lock_);
        if (untilEnd)
            changed_.wait(guard, [&] { return failed_ || drained_; });
        ThrowIfFailed();
        ready.swap(packets_);
    }
    // Packets are handed out outside the lock: the encoder goes on meanwhile.
    while (!ready.empty()) {
        TPacketPtr pkt = std::move(ready.front());
        ready.pop_front();
        take(pkt.get());
    }
}

void TEncoderThread::Run() {
    for (;;) {
        TFramePtr frame;
        {
            std::unique_lock guard(lock_);
            changed_.wait(guard, [&] { return quit_ || !frames_.empty(); });
            if (quit_)
                return;
            frame = std::move(frames_.front());
            frames_.pop_front();
        }
        // A free place in the queue for a sender that waits.
        changed_.notify_all();
        bool ok = true;
        try {
            Encode(frame.get());
        } catch (...) { // the loop's thread reports it
            ok = false;
        }
        {
            std::lock_guard guard(lock_);
            if (!ok)
                failed_ = true;
            if (!frame && ok)
                drained_ = true;
        }
        changed_.notify_all();
        if (!ok || !frame)
            return;
    }
}

void TEncoderThread::Encode(AVFrame* frame) {
    int r = ff::avcodec_send_frame(encoder_, frame);
    if (r < 0 && !(frame == nullptr && r == AVERROR_EOF))
        throw FFmpegException(failureText_);
    for (;;) {
        TPacketPtr pkt = NewPacket();
        r = ff::avcodec_receive_packet(encoder_, pkt.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r < 0)
            throw FFmpegException(failureText_);
        std::lock_guard guard(lock_);
        packets_.push_back(std::move(pkt));
    }
}
