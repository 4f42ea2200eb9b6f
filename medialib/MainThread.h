#pragma once
// Running a call on the user-interface thread and waiting for it.
//
// The window installs a dispatcher built on Qt's blocking queued invocation; the command-line
// front end installs a TQueueMainThread that its main thread pumps. Without a dispatcher, and
// on the user-interface thread itself, the call runs directly.

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class IMainThreadDispatcher {
public:
    virtual ~IMainThreadDispatcher() = default;
    virtual bool IsMainThread() const = 0;
    // Runs call on the user-interface thread; returns when it has run. Never called from that thread.
    virtual void RunAndWait(const std::function<void()>& call) = 0;
    // On the user-interface thread while it waits for a worker (a stop with waiting): runs the
    // calls that workers are waiting for, so that a worker blocked in one can reach its end.
    virtual void ServePending() {}
};

// Installs the process-wide dispatcher (nullptr: calls run directly). Not owned.
void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher);
IMainThreadDispatcher* MainThreadDispatcher();

// Runs call on the user-interface thread and waits; direct call when already there.
// An exception thrown by the call is passed back to the caller.
void CallInMainThread(const std::function<void()>& call);

// A dispatcher whose "user-interface thread" is the thread that created it and calls Pump.
// A call that throws hands its exception to the thread that waits for it. Destroying the
// dispatcher runs the calls still queued and uninstalls it when it is the installed one.
class TQueueMainThread : public IMainThreadDispatcher {
public:
    TQueueMainThread();
    ~TQueueMainThread() override;
    TQueueMainThread(const TQueueMainThread&) = delete;
    TQueueMainThread& operator=(const TQueueMainThread&) = delete;
    bool IsMainThread() const override;
    void RunAndWait(const std::function<void()>& call) override;
    // Runs every queued call; with a timeout, first waits up to that long for one to arrive.
    // Returns the number of calls run.
    int Pump(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    void ServePending() override { Pump(); }
    // The number of calls waiting to run.
    std::size_t Pending() const;

private:
    struct TItem {
        std::function<void()> Call;
        bool Done = false;
        std::exception_ptr Failure;
    };
    std::thread::id mainId_;
    mutable std::mutex lock_;
    std::condition_variable queued_, done_;
    int waiters_ = 0; // threads inside RunAndWait; the queue outlives the last of them
    std::deque<TItem*> queue_;
};
