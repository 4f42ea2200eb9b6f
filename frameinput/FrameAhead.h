#pragma once
// Drawing the next frame while the engine encodes the current one.
//
// A frame input whose adapter asks for it starts the frame event of frame n + 1 as soon as it
// has handed out frame n, on a thread of its own (which passes the event on to the
// user-interface thread when the adapter raises its events there); the next read collects the
// result. One call is under way at most, so the frames and their order stay those of reading
// them one by one.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class TFrameAhead {
public:
    TFrameAhead();
    // Waits for a call under way (its result and exception are dropped) and ends the thread.
    ~TFrameAhead();
    TFrameAhead(const TFrameAhead&) = delete;
    TFrameAhead& operator=(const TFrameAhead&) = delete;

    // Starts call on the thread. Only when nothing is pending.
    void Start(std::function<int()> call);
    // A call was started and has not been collected yet.
    bool Pending() const;
    // Waits for the call started last and returns its result; an exception it threw is
    // thrown here.
    int Collect();
    // Waits for a call under way and drops its result and exception.
    void Discard();

private:
    void Run();

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::function<int()> call_;
    bool started_ = false;  // a call was started and is not collected
    bool done_ = false;     // it has returned
    bool quit_ = false;
    int result_ = 0;
    std::exception_ptr failure_;
    std::thread thread_;
};
