#pragma once
// Prepares slides on a worker thread of its own while earlier slides are on screen: decoding a
// large photo and looking for what matters in it take longer than a frame may.

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

template <class T> class TLookAhead {
public:
    using TPrepare = std::function<std::shared_ptr<const T>(int)>;

    // prepare(k) runs on the worker for requested slides, on the caller for others. It must be
    // safe to run on any thread; what it throws comes out of Get(k).
    explicit TLookAhead(TPrepare prepare) : prepare_(std::move(prepare)), worker_([this] { Run(); }) {}
    // Stops and joins the worker (after the slide it prepares at the moment, if any).
    ~TLookAhead() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    TLookAhead(const TLookAhead&) = delete;
    TLookAhead& operator=(const TLookAhead&) = delete;

    // Asks for slide k ahead; nothing when it is known already.
    void Request(int k) {
        {
            std::lock_guard lock(mutex_);
            if (stop_ || slides_.count(k))
                return;
            slides_[k].State = sQueued;
            queue_.push_back(k);
        }
        changed_.notify_all();
    }

    // Slide k: waits while the worker prepares it, prepares it here when nobody has begun.
    std::shared_ptr<const T> Get(int k) {
        std::unique_lock lock(mutex_);
        TEntry& entry = slides_[k]; // std::map: stays where it is while others come and go
        if (entry.State == sNone || entry.State == sQueued) {
            entry.State = sRunning;
            lock.unlock();
            Finish(k, prepare_);
            lock.lock();
        }
        changed_.wait(lock, [&] { return slides_[k].State == sDone; });
        const TEntry& done = slides_[k];
        if (done.Error)
            std::rethrow_exception(done.Error);
        return done.Slide;
    }

    // Lets go of every slide before k (they are off screen for good).
    void Forget(int below) {
        std::lock_guard lock(mutex_);
        for (auto it = slides_.begin(); it != slides_.end() && it->first < below;)
            it = it->second.State == sRunning ? std::next(it) : slides_.erase(it);
    }

    // How many slides are held or prepared at the moment.
    int Held() const {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const auto& [k, e] : slides_)
            n += e.Slide != nullptr;
        return n;
    }

private:
    enum TState { sNone, sQueued, sRunning, sDone };
    struct TEntry {
        TState State = sNone;
        std::shared_ptr<const T> Slide;
        std::exception_ptr Error;
    };

    void Finish(int k, const TPrepare& prepare) {
        std::shared_ptr<const T> slide;
        std::exception_ptr error;
        try {
            slide = prepare(k);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            TEntry& entry = slides_[k];
            entry.State = sDone;
            entry.Slide = std::move(slide);
            entry.Error = error;
        }
        changed_.notify_all();
    }

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            const int k = queue_.front();
            queue_.pop_front();
            auto it = slides_.find(k);
            if (it == slides_.end() || it->second.State != sQueued)
                continue; // forgotten, or taken by Get meanwhile
            it->second.State = sRunning;
            lock.unlock();
            Finish(k, prepare_);
            lock.lock();
        }
    }

    TPrepare prepare_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, TEntry> slides_;
    std::deque<int> queue_;
    bool stop_ = false;
    std::thread worker_; // last: starts when everything above is made
};
