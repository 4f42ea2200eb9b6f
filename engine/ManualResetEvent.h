#pragma once
// An event that stays signalled until it is reset (the run-finished and terminate-finished
// events of a job).

#include <chrono>
#include <condition_variable>
#include <mutex>

class TManualResetEvent {
public:
    explicit TManualResetEvent(bool signalled) : signalled_(signalled) {}
    void Set() {
        {
            std::lock_guard guard(lock_);
            signalled_ = true;
        }
        changed_.notify_all();
    }
    void Reset() {
        std::lock_guard guard(lock_);
        signalled_ = false;
    }
    bool IsSet() const {
        std::lock_guard guard(lock_);
        return signalled_;
    }
    // True when the event was set within the time.
    bool WaitFor(std::chrono::milliseconds time) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, time, [&] { return signalled_; });
    }
    void Wait() {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return signalled_; });
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool signalled_;
};
