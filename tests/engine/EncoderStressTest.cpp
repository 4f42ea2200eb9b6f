// The encoder component under unusual call orders, each many times over: destroying it during
// a run, stopping from a handler or from another thread while tasks run in the calling thread,
// clearing right after the end while a handler waits for the user-interface thread, and a
// ClearTasks that a stop's wait happens to serve. A deadlock ends the program with a message
// naming the order instead of hanging the test run.

#include "engine/FFEncoder.h"
#include "medialib/MainThread.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
// Ends the program when the scope is not left in time.
class TWatchdog {
public:
    TWatchdog(const char* what, std::chrono::seconds limit)
        : thread_([this, what, limit] {
              std::unique_lock guard(lock_);
              if (!changed_.wait_for(guard, limit, [&] { return left_; })) {
                  std::fprintf(stderr, "deadlock: %s\n", what);
                  std::_Exit(1);
              }
          }) {}
    ~TWatchdog() {
        {
            std::lock_guard guard(lock_);
            left_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool left_ = false;
    std::thread thread_;
};

// The task indexes of the terminate notifications, in the order they arrived.
struct TEndOrder {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<int> Order;
    bool AnyFailed = false;

    void Connect(TFFEncoder& encoder) {
        encoder.OnTerminate = [this](TCustomEncoder&, const TTerminateInfo& info) {
            std::lock_guard guard(Lock);
            Order.push_back(info.TaskIndex);
            AnyFailed = AnyFailed || info.Failed;
            Changed.notify_all();
        };
    }
    bool WaitFinal(std::chrono::seconds limit = 60s) {
        std::unique_lock guard(Lock);
        return Changed.wait_for(guard, limit, [&] { return !Order.empty() && Order.back() == -1; });
    }
    std::vector<int> Get() {
        std::lock_guard guard(Lock);
        return Order;
    }
};

void AddTask(TFFEncoder& encoder, int frames, const std::string& file) {
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    int t = encoder.AddTask(TestFramesName(16, 16, 30, frames), &in);
    ASSERT_GE(t, 0) << encoder.LastErrMsg;
    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.FrameRate = "30/1";
    ASSERT_TRUE(encoder.SetOutputFile(t, file, &out)) << encoder.LastErrMsg;
}

// A run of this many frames only ends by a stop.
constexpr int Endless = 50000000;

// Installs a queue as the user-interface thread (this thread) for the scope.
struct TUserInterfaceThread {
    TQueueMainThread Queue;
    TUserInterfaceThread() { SetMainThreadDispatcher(&Queue); }
    ~TUserInterfaceThread() { SetMainThreadDispatcher(nullptr); }
    // Serves the queue until done() or the limit.
    template <class F> bool ServeUntil(F done, std::chrono::seconds limit = 60s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Queue.Pump(1ms);
        }
        return true;
    }
};
} // namespace

// The worker waits inside a progress dispatch for the user-interface thread, which destroys the
// encoder: the destructor ends the run first and serves the worker meanwhile.
TEST(EncoderStress, DestroyingTheEncoderDuringARunWhoseProgressWaitsForTheUserInterfaceThread) {
    TTempDir dir;
    TUserInterfaceThread ui;
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        auto encoder = std::make_unique<TFFEncoder>();
        encoder->SetProgressInterval(100);
        encoder->OnProgress = [](TCustomEncoder&, PProgressInfo) {};
        AddTask(*encoder, Endless, dir.File("run.mp4"));
        encoder->StartTask(1);
        if (cycle % 2 == 1) { // the worker is inside the dispatch, waiting (nothing serves it)
            auto end = std::chrono::steady_clock::now() + 60s;
            while (ui.Queue.Pending() == 0 && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(1ms);
            ASSERT_GT(ui.Queue.Pending(), 0u);
        }
        else if (cycle % 4 == 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 7));
        {
            TWatchdog dog("destroying the encoder during a run", 60s);
            encoder.reset();
        }
        EXPECT_EQ(ui.Queue.Pending(), 0u);
        std::filesystem::remove(dir.File("run.mp4"));
    }
}

// Two tasks in the calling thread; the first is stopped by its own progress handler with wait,
// or from another thread with and without wait, at varying moments (also before it started).
// Both tasks report their ends, the final notification comes last, nothing fails.
TEST(EncoderStress, StopDuringTheFirstOfTwoTasksRunningInTheCallingThread) {
    TTempDir dir;
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        TFFEncoder encoder;
        encoder.SetProgressInterval(100);
        TEndOrder ends;
        ends.Connect(encoder);
        AddTask(encoder, Endless, dir.File("a.mp4"));
        AddTask(encoder, Endless, dir.File("b.mp4"));
        TWatchdog dog("a stop while tasks run in the calling thread", 60s);
        if (cycle % 3 == 0) {
            std::atomic<bool> stopped{false};
            encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo) {
                if (!stopped.exchange(true))
                    encoder.Stop(true);
            };
            encoder.StartTask(0);
        } else {
            std::thread controller([&] { encoder.StartTask(0); });
            while (!encoder.Working())
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 11));
            encoder.Stop(cycle % 3 == 2);
            controller.join();
        }
        ASSERT_TRUE(ends.WaitFinal());
        std::vector<int> order = ends.Get();
        ASSERT_EQ(order.size(), 3u);
        EXPECT_EQ(order[0] + order[1], 1);
        EXPECT_EQ(order[2], -1);
        EXPECT_FALSE(ends.AnyFailed);
        encoder.ClearTasks();
        std::filesystem::remove(dir.File("a.mp4"));
        std::filesystem::remove(dir.File("b.mp4"));
    }
}

// The terminate handler hands its work to the user-interface thread and waits for it. That
// thread clears the tasks (or destroys the encoder) the moment AllTerminated says so: the wait
// for the deliveries serves the handler's calls, and after ClearTasks every end, the final one
// included, has been handled.
TEST(EncoderStress, ClearingOrDestroyingAtTheEndWhileTheTerminateHandlerWaitsForTheUserInterfaceThread) {
    TTempDir dir;
    TUserInterfaceThread ui;
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        auto encoder = std::make_unique<TFFEncoder>();
        std::vector<int> handled; // on this thread only
        encoder->OnTerminate = [&](TCustomEncoder&, const TTerminateInfo& info) {
            CallInMainThread([&] { handled.push_back(info.TaskIndex); });
        };
        AddTask(*encoder, 3, dir.File("short.mp4"));
        encoder->StartTask(1);
        ASSERT_TRUE(ui.ServeUntil([&] { return encoder->AllTerminated(); }));
        TWatchdog dog("clearing while a terminate handler waits for the user-interface thread", 60s);
        if (cycle % 2 == 0) {
            encoder->ClearTasks();
            EXPECT_EQ(handled, (std::vector<int>{0, -1}));
        } else {
            encoder.reset();
        }
        std::filesystem::remove(dir.File("short.mp4"));
    }
}

// A stop with wait serves the user-interface thread, and a call served there may try to clear
// the tasks as soon as AllTerminated is set (the window's Start clicked during the stop). The
// tasks are still in use by that stop: it is refused, and allowed once the stop returned.
TEST(EncoderStress, ClearTasksServedByTheWaitOfAStopIsRefused) {
    TTempDir dir;
    TUserInterfaceThread ui;
    int refusedInside = 0;
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        TFFEncoder encoder;
        encoder.SetProgressInterval(100);
        std::atomic<int> frames{0};
        encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo info) { frames = info->FrameNumber; };
        TEndOrder ends;
        ends.Connect(encoder);
        AddTask(encoder, Endless, dir.File("stop.mp4"));
        encoder.StartTask(1);
        // After a frame the worker's final report goes through this thread: the stop's wait must
        // serve the queue at least once, and it serves the call below with it.
        ASSERT_TRUE(ui.ServeUntil([&] { return frames > 0; }));
        bool insideStop = false, ranInside = false, cleared = false;
        std::string refusal;
        std::atomic<bool> queued{false}, served{false};
        std::thread starter([&] {
            queued = true;
            ui.Queue.RunAndWait([&] {
                ASSERT_TRUE(ui.ServeUntil([&] { return encoder.AllTerminated(); }));
                ranInside = insideStop;
                try {
                    encoder.ClearTasks();
                    cleared = true;
                } catch (const std::logic_error& e) {
                    refusal = e.what();
                }
            });
            served = true;
        });
        while (!queued || ui.Queue.Pending() == 0)
            std::this_thread::yield();
        std::this_thread::sleep_for(2ms);
        {
            TWatchdog dog("a ClearTasks served during a stop", 60s);
            insideStop = true;
            encoder.Stop(true);
            insideStop = false;
            EXPECT_FALSE(encoder.Stopping());
            ASSERT_TRUE(ui.ServeUntil([&] { return served.load(); }));
        }
        starter.join();
        if (ranInside) {
            ++refusedInside;
            EXPECT_FALSE(cleared);
            EXPECT_EQ(refusal, "Cannot ClearTasks while working.");
            EXPECT_EQ(encoder.TaskCount(), 1);
            encoder.ClearTasks();
        } else {
            EXPECT_TRUE(cleared) << refusal;
        }
        EXPECT_EQ(encoder.TaskCount(), 0);
        ASSERT_TRUE(ends.WaitFinal());
        std::filesystem::remove(dir.File("stop.mp4"));
    }
    EXPECT_GT(refusedInside, 0) << "no call was served inside a stop";
}

// Tasks that never ran report nothing when they are cleared or destroyed: no end of theirs,
// and no final notification, turns up after the next run has started.
TEST(Encoder, TasksThatNeverRanAreClearedWithoutNotifications) {
    TTempDir dir;
    TFFEncoder encoder;
    TEndOrder ends;
    ends.Connect(encoder);
    AddTask(encoder, 5, dir.File("never.mp4"));
    // A task with its input only, as when the soundtrack could not be opened.
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    ASSERT_GE(encoder.AddTask(TestFramesName(16, 16, 30, 5), &in), 0);
    encoder.ClearTasks();
    EXPECT_TRUE(ends.Get().empty());
    AddTask(encoder, 5, dir.File("next.mp4"));
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitFinal());
    std::this_thread::sleep_for(100ms); // a late notification would arrive meanwhile
    EXPECT_EQ(ends.Get(), (std::vector<int>{0, -1}));
    encoder.ClearTasks();
    EXPECT_EQ(ends.Get().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.mp4")));

    TEndOrder destroyedEnds;
    {
        TFFEncoder other;
        destroyedEnds.Connect(other);
        AddTask(other, 5, dir.File("never2.mp4"));
    }
    EXPECT_TRUE(destroyedEnds.Get().empty());
}
