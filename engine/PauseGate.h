#pragma once
// How a job's worker is paused: the controlling thread closes the gate and the worker, which
// passes it at every loop pass, between duplicated frames and inside the I/O interrupt check,
// waits there until the gate opens again. (A thread cannot be suspended from outside here, and
// stopping a thread wherever it happens to be could leave a lock held.)

#include <condition_variable>
#include <mutex>

class TPauseGate {
public:
    void Close() {
        std::lock_guard guard(lock_);
        closed_ = true;
    }
    void Open() {
        {
            std::lock_guard guard(lock_);
            closed_ = false;
        }
        opened_.notify_all();
    }
    bool IsClosed() const {
        std::lock_guard guard(lock_);
        return closed_;
    }
    // Returns at once when the gate is open; otherwise waits until it opens.
    void Pass() {
        std::unique_lock guard(lock_);
        opened_.wait(guard, [&] { return !closed_; });
    }

private:
    mutable std::mutex lock_;
    std::condition_variable opened_;
    bool closed_ = false;
};
