#include "app/clips/ClipDecoder.h"

#include "app/clips/ClipFile.h"
#include "app/clips/ClipPicture.h"
#include "app/clips/ClipSource.h"
#include "effects/BmpFile.h"
#include "medialib/MainThread.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>

namespace {
// A clip whose pictures stop this much before its length is cut short, not merely a container
// whose length was rounded up.
constexpr double CutShortSeconds = 1.0;

struct TFrameOwner {
    void operator()(AVFrame* f) const { ff::av_frame_free(&f); }
};
using TOwnedFrame = std::unique_ptr<AVFrame, TFrameOwner>;

TOwnedFrame AllocFrame(const std::string& file) {
    TOwnedFrame f(ff::av_frame_alloc());
    if (!f)
        throw TPictureError(ClipErrorText(file, "out of memory"));
    return f;
}

// Waits until done, on the user-interface thread serving the calls other threads wait for
// meanwhile: the decoder's thread hands its log lines to that thread and waits for them, so a
// plain wait there would never end.
template <class Done> void WaitServing(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, Done done) {
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (!dispatcher || !dispatcher->IsMainThread()) {
        changed.wait(lock, done);
        return;
    }
    while (!changed.wait_for(lock, std::chrono::milliseconds(5), done)) {
        lock.unlock();
        dispatcher->ServePending();
        lock.lock();
    }
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}
} // namespace

TClipDecoder::TClipDecoder(TClipPlayback playback) : playback_(std::move(playback)) {}

TClipDecoder::~TClipDecoder() { Stop(); }

void TClipDecoder::Start() {
    std::lock_guard<std::mutex> lock(lock_);
    if (started_ || stopping_)
        return;
    started_ = true;
    thread_ = std::thread([this] { Run(); });
}

void TClipDecoder::Stop() {
    std::thread running;
    {
        std::lock_guard<std::mutex> lock(lock_);
        stopping_ = true;
        running = std::move(thread_);
    }
    changed_.notify_all();
    if (running.joinable()) {
        std::unique_lock<std::mutex> lock(lock_);
        WaitServing(lock, changed_, [&] { return threadEnded_; });
        lock.unlock();
        running.join();
    }
    {
        std::lock_guard<std::mutex> lock(lock_);
        finished_ = true;
    }
    changed_.notify_all();
}

int TClipDecoder::Queued() const {
    std::lock_guard<std::mutex> lock(lock_);
    return int(queue_.size());
}

bool TClipDecoder::Finished() const {
    std::lock_guard<std::mutex> lock(lock_);
    return finished_;
}

void TClipDecoder::Run() {
    std::string error;
    try {
        Decode();
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = ClipErrorText(playback_.File, "decoding failed");
    }
    {
        std::lock_guard<std::mutex> lock(lock_);
        error_ = error;
        finished_ = true;
        threadEnded_ = true;
    }
    changed_.notify_all();
}

TFrameBitmap TClipDecoder::TakeBuffer() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!spare_.empty()) {
            TFrameBitmap buffer = std::move(spare_.back());
            spare_.pop_back();
            return buffer;
        }
    }
    return TFrameBitmap(playback_.FrameWidth, playback_.FrameHeight);
}

bool TClipDecoder::Push(double time, TFrameBitmap&& frame) {
    std::unique_lock<std::mutex> lock(lock_);
    const std::size_t room = std::size_t(std::max(playback_.QueueFrames, 1));
    changed_.wait(lock, [&] { return stopping_ || queue_.size() < room; });
    if (stopping_)
        return false;
    queue_.push_back({time, std::move(frame)});
    lastDecoded_ = time;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void TClipDecoder::Decode() {
    const int threads = playback_.Threads > 0 ? playback_.Threads
                                              : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    TClipSource source(playback_.File, threads, [this] { return stopping_.load(); });
    source.SeekTo(playback_.In);
    TClipPicture picture(playback_.FrameWidth, playback_.FrameHeight, playback_.Framing, source.Rotation(),
                         source.DisplayWidth(), source.DisplayHeight());
    TOwnedFrame frame = AllocFrame(playback_.File), pending = AllocFrame(playback_.File);
    bool havePending = false, anyQueued = false;
    double pendingTime = 0, last = -1e300;
    // A frame step for pictures without a time: the stream's rate, or 30 a second.
    const AVRational rate = source.Stream()->avg_frame_rate;
    const double step = rate.num > 0 && rate.den > 0 ? double(rate.den) / rate.num : 1.0 / 30;
    auto queue = [&](AVFrame* f, double time) {
        TFrameBitmap buffer = TakeBuffer();
        picture.Draw(f, buffer);
        anyQueued = true;
        return Push(time, std::move(buffer));
    };
    while (!stopping_ && source.NextFrame(frame.get())) {
        double t = source.FrameSeconds(frame.get()) - playback_.In;
        if (std::isnan(t))
            t = last + step;
        // Times never go back: a picture stamped before its predecessor follows it closely.
        if (t <= last)
            t = last + 1e-6;
        last = t;
        if (t <= 0) {
            // Before the in point: only the latest such picture can be the one shown at 0.
            ff::av_frame_unref(pending.get());
            ff::av_frame_ref(pending.get(), frame.get());
            ff::av_frame_unref(frame.get());
            havePending = true;
            pendingTime = t;
            continue;
        }
        if (havePending) {
            havePending = false;
            if (!queue(pending.get(), pendingTime))
                return;
            ff::av_frame_unref(pending.get());
        }
        if (t >= playback_.Duration && anyQueued)
            break;
        const bool queued = queue(frame.get(), t);
        ff::av_frame_unref(frame.get());
        if (!queued)
            return;
    }
    if (havePending && !stopping_)
        queue(pending.get(), pendingTime);
}

void TClipDecoder::ShowAt(double seconds, TFrameBitmap& frame) {
    std::lock_guard<std::mutex> show(showLock_);
    seconds = std::max(seconds, shownTime_);
    shownTime_ = seconds;
    Start();
    {
        std::unique_lock<std::mutex> lock(lock_);
        for (;;) {
            if (!queue_.empty()) {
                if (!haveCurrent_ || queue_.front().Time <= seconds + 1e-9) {
                    if (haveCurrent_)
                        spare_.push_back(std::move(current_.Frame));
                    current_ = std::move(queue_.front());
                    queue_.pop_front();
                    haveCurrent_ = true;
                    changed_.notify_all();
                    continue;
                }
                break; // the next picture is later: the current one covers this time
            }
            if (finished_) {
                if (!error_.empty())
                    throw TPictureError(error_);
                if (!haveCurrent_)
                    throw TPictureError(ClipErrorText(playback_.File, stopping_ ? "its playing was stopped"
                                                                                 : "not one picture of it can be decoded"));
                if (!stopping_ && seconds > lastDecoded_ + CutShortSeconds &&
                    lastDecoded_ + CutShortSeconds < playback_.Duration)
                    throw TPictureError(ClipErrorText(playback_.File, "its pictures end after " + Seconds(lastDecoded_) +
                                                                          " of the " + Seconds(playback_.Duration) +
                                                                          " it should play: the file is cut short"));
                break;
            }
            const std::size_t queued = queue_.size();
            WaitServing(lock, changed_, [&] { return finished_ || queue_.size() != queued; });
        }
    }
    TCanvasLock canvas(frame);
    frame = current_.Frame;
}
