#include "app/playback/PlaybackDrawer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>

namespace {
QImage ImageOf(const TFrameBitmap& frame) {
    QImage image(frame.Width(), frame.Height(), QImage::Format_RGB32);
    const std::size_t row = std::size_t(frame.Width()) * 4;
    for (int y = 0; y < frame.Height(); ++y)
        std::memcpy(image.scanLine(y), frame.Row(y), row);
    return image;
}
} // namespace

TPlaybackDrawer::TPlaybackDrawer() : thread_([this] { Loop(); }) {}

TPlaybackDrawer::~TPlaybackDrawer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t TPlaybackDrawer::Order(EMode mode, long long frame) {
    std::uint64_t order;
    {
        std::lock_guard lock(mutex_);
        mode_ = mode;
        from_ = frame;
        order = ++order_;
        queue_.clear();
        atEnd_ = false;
    }
    wake_.notify_all();
    return order;
}

std::uint64_t TPlaybackDrawer::Load(const TSlideshowData& data, int width, int height, long long frame, bool play) {
    std::uint64_t order;
    {
        std::lock_guard lock(mutex_);
        load_ = data;
        width_ = width;
        height_ = height;
        mode_ = play ? EMode::Run : EMode::Still;
        from_ = frame;
        order = loadOrder_ = ++order_;
        queue_.clear();
        atEnd_ = false;
    }
    wake_.notify_all();
    return order;
}

std::uint64_t TPlaybackDrawer::Show(long long frame) { return Order(EMode::Still, frame); }
std::uint64_t TPlaybackDrawer::Play(long long frame) { return Order(EMode::Run, frame); }

void TPlaybackDrawer::Stop() {
    std::unique_lock lock(mutex_);
    mode_ = EMode::Idle;
    ++order_;
    queue_.clear();
    wake_.notify_all();
    idle_.wait(lock, [this] { return !busy_; });
}

std::optional<TDrawnFrame> TPlaybackDrawer::Take(long long index, int* dropped) {
    std::optional<TDrawnFrame> taken;
    {
        std::lock_guard lock(mutex_);
        while (!queue_.empty() && queue_.front().Order != order_)
            queue_.pop_front();
        // Frames whose time has passed while a later one is due are dropped.
        while (queue_.size() >= 2 && queue_[1].Index <= index) {
            if (dropped)
                ++*dropped;
            queue_.pop_front();
        }
        if (!queue_.empty() && queue_.front().Index <= index) {
            taken = std::move(queue_.front());
            queue_.pop_front();
        }
        // Behind the clock (the frame being drawn is already late): the frames up to the clock's
        // are not drawn at all.
        if (mode_ == EMode::Run && queue_.empty() && from_ < index) {
            if (dropped)
                *dropped += int(index + 1 - from_);
            from_ = index + 1;
        }
    }
    wake_.notify_all();
    return taken;
}

std::optional<TDrawnFrame> TPlaybackDrawer::TakeAny() {
    std::optional<TDrawnFrame> taken;
    {
        std::lock_guard lock(mutex_);
        while (!queue_.empty() && queue_.front().Order != order_)
            queue_.pop_front();
        if (!queue_.empty()) {
            taken = std::move(queue_.front());
            queue_.pop_front();
        }
    }
    wake_.notify_all();
    return taken;
}

bool TPlaybackDrawer::Queued() const {
    std::lock_guard lock(mutex_);
    return std::any_of(queue_.begin(), queue_.end(), [this](const TDrawnFrame& f) { return f.Order == order_; });
}

bool TPlaybackDrawer::AtEnd() const {
    std::lock_guard lock(mutex_);
    return atEnd_;
}

std::uint64_t TPlaybackDrawer::Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

void TPlaybackDrawer::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        busy_ = false;
        idle_.notify_all();
        wake_.wait(lock, [this] {
            return quit_ || load_ || (mode_ == EMode::Still && from_ >= 0) ||
                   (mode_ == EMode::Run && !atEnd_ && queue_.size() < QueueLength);
        });
        if (quit_)
            return;
        busy_ = true;
        const std::uint64_t order = order_;
        const EMode mode = mode_;
        const long long from = from_;
        std::optional<TSlideshowData> load = std::move(load_);
        load_.reset();
        const int width = width_, height = height_;
        const std::uint64_t loadOrder = loadOrder_;
        lock.unlock();

        TDrawnFrame drawn;
        bool have = false, end = false;
        std::optional<TPlaybackShape> shape;
        try {
            if (load) {
                shape.emplace();
                shape->Order = loadOrder;
                show_.Prepare(*load, width, height);
                shape->Frames = show_.FrameCount();
                shape->FramesPerSecond = show_.FramesPerSecond();
                shape->SlideStarts = show_.SlideStarts();
                shape->HoldStarts = show_.HoldStarts();
                shape->Run = show_.Run();
                shape->Data = show_.Data();
            }
            if (show_.Prepared() && mode != EMode::Idle) {
                // A new place to draw from, or the next frame of the run.
                if (mode == EMode::Still || load || show_.Position() != from)
                    show_.Seek(from);
                const auto start = std::chrono::steady_clock::now();
                const long long index = show_.Position();
                if (const TFrameBitmap* frame = show_.Next()) {
                    drawn.Image = ImageOf(*frame);
                    drawn.Index = index;
                    drawn.Order = order;
                    drawn.DrawMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                    have = true;
                } else {
                    end = true;
                }
            }
        } catch (const std::exception& e) {
            if (!shape)
                shape.emplace();
            shape->Order = loadOrder;
            shape->Error = e.what();
            end = true;
        }
        if (shape && OnPrepared)
            OnPrepared(*shape);

        lock.lock();
        if (order != order_)
            continue; // a newer order came while this one was drawn
        if (have) {
            ++frames_;
            queue_.push_back(std::move(drawn));
            if (mode_ == EMode::Run)
                from_ = std::max(from_, queue_.back().Index + 1); // unless Take moved it on
            else
                from_ = -1; // the still is drawn
        }
        if (end) {
            atEnd_ = true;
            if (mode_ == EMode::Still)
                from_ = -1;
        }
        if (have && OnFrame) {
            lock.unlock();
            OnFrame();
            lock.lock();
        }
    }
}
