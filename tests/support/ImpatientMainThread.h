#pragma once
// A user-interface thread for tests of lock hand-overs: the thread that creates it serves the
// calls handed to it (Serve), and a caller that waits longer than the patience for its call
// gives up, runs the call itself and counts a hang. A deadlock between a worker that waits for
// the user-interface thread and that thread waiting for the worker's lock then shows as a
// failed count instead of a test that never ends.

#include "medialib/FFLog.h"
#include "medialib/MainThread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class TImpatientMainThread : public IMainThreadDispatcher {
public:
    explicit TImpatientMainThread(std::chrono::milliseconds patience) : patience_(patience) {
        SetMainThreadDispatcher(this);
    }
    ~TImpatientMainThread() override {
        SetMainThreadDispatcher(nullptr);
        Serve();
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return waiters_ == 0; });
    }
    TImpatientMainThread(const TImpatientMainThread&) = delete;
    TImpatientMainThread& operator=(const TImpatientMainThread&) = delete;

    bool IsMainThread() const override { return std::this_thread::get_id() == mainId_; }

    void RunAndWait(const std::function<void()>& call) override {
        TItem item{&call};
        std::unique_lock guard(lock_);
        ++waiters_;
        queue_.push_back(&item);
        changed_.notify_all();
        if (!changed_.wait_for(guard, patience_, [&] { return item.Done; })) {
            queue_.erase(std::find(queue_.begin(), queue_.end(), &item));
            ++hangs_;
            guard.unlock();
            call();
            guard.lock();
        }
        --waiters_;
        changed_.notify_all();
    }

    // Runs the queued calls; returns how many.
    int Serve() {
        std::unique_lock guard(lock_);
        int count = 0;
        while (!queue_.empty()) {
            TItem* item = queue_.front();
            queue_.pop_front();
            guard.unlock();
            (*item->Call)();
            guard.lock();
            item->Done = true;
            ++count;
            changed_.notify_all();
        }
        return count;
    }
    void ServePending() override { Serve(); }

    std::size_t Pending() const {
        std::lock_guard guard(lock_);
        return queue_.size();
    }
    // Calls whose caller gave up waiting for this thread.
    int Hangs() const {
        std::lock_guard guard(lock_);
        return hangs_;
    }

private:
    struct TItem {
        const std::function<void()>* Call;
        bool Done = false;
    };
    const std::thread::id mainId_ = std::this_thread::get_id();
    const std::chrono::milliseconds patience_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<TItem*> queue_;
    int waiters_ = 0;
    int hangs_ = 0;
};

// What came of LogUnderLockWhileMainThreadWaits.
struct TLockHandOver {
    int Hangs = 0;             // log deliveries that waited for the user-interface thread in vain
    bool Delivered = false;    // the worker's line reached the log handler
    bool OnMainThread = false; // ... on the user-interface thread
};

// A worker takes a lock (a TGuard for as long as it lives) and logs a line while it holds it;
// this thread, the user-interface thread, wants the same lock meanwhile and serves the calls
// handed to it once it has had it. Log lines go to the user-interface thread during the test.
template <class TGuard>
TLockHandOver LogUnderLockWhileMainThreadWaits(std::chrono::milliseconds patience) {
    using namespace std::chrono_literals;
    TLockHandOver result;
    TFFLogger& logger = GetFFLogger();
    const bool wasInMainThread = logger.TriggerEventInMainThread();
    const TLogLevel wasLevel = logger.LogLevel();
    const std::thread::id mainId = std::this_thread::get_id();
    {
        TImpatientMainThread ui(patience);
        logger.SetTriggerEventInMainThread(true);
        logger.SetLogLevel(llInfo);
        logger.SetOnLog([&](void*, TThreadID, TLogLevel, const std::string& msg) {
            if (msg == "a line under the lock") {
                result.Delivered = true;
                result.OnMainThread = std::this_thread::get_id() == mainId;
            }
        });
        std::atomic<bool> locked{false}, done{false};
        std::thread worker([&] {
            {
                TGuard held;
                locked = true;
                logger.Log(nullptr, llInfo, "a line under the lock");
                std::this_thread::sleep_for(50ms); // this thread is waiting for the lock by now
            }
            done = true;
        });
        while (!locked && ui.Pending() == 0)
            std::this_thread::sleep_for(1ms);
        { TGuard mine; }
        while (!done) {
            ui.Serve();
            std::this_thread::sleep_for(1ms);
        }
        worker.join();
        ui.Serve();
        result.Hangs = ui.Hangs();
        logger.SetOnLog(nullptr);
    }
    logger.SetLogLevel(wasLevel);
    logger.SetTriggerEventInMainThread(wasInMainThread);
    return result;
}
