#include "medialib/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {
// Pumps on the calling (main) thread until done is set.
void PumpUntil(TQueueMainThread& main, const std::atomic<bool>& done) {
    while (!done)
        main.Pump(std::chrono::milliseconds(5));
}
} // namespace

TEST(MainThread, WorkersWaitForTheirCallsToRunOnTheMainThread) {
    TQueueMainThread main;
    SetMainThreadDispatcher(&main);
    const auto mainId = std::this_thread::get_id();
    std::atomic<int> ranOnMain{0}, returnedAfterRun{0};
    std::atomic<int> finished{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w)
        workers.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                bool ran = false;
                CallInMainThread([&] {
                    ran = true;
                    ranOnMain += std::this_thread::get_id() == mainId;
                });
                returnedAfterRun += ran;
            }
            if (++finished == 3)
                done = true;
        });
    PumpUntil(main, done);
    for (auto& w : workers)
        w.join();
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(ranOnMain, 60);
    EXPECT_EQ(returnedAfterRun, 60);
}

TEST(MainThread, OnTheMainThreadAndWithoutDispatcherTheCallIsDirect) {
    int calls = 0;
    CallInMainThread([&] { ++calls; }); // no dispatcher installed
    TQueueMainThread main;
    SetMainThreadDispatcher(&main);
    CallInMainThread([&] { ++calls; }); // would deadlock if it queued
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(calls, 2);
}

TEST(MainThread, ExceptionsReachTheWaitingThreadAndThePumpGoesOn) {
    TQueueMainThread main;
    SetMainThreadDispatcher(&main);
    std::atomic<bool> done{false};
    std::string caught, direct;
    std::thread worker([&] {
        try {
            CallInMainThread([] { throw std::runtime_error("from the window"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        try { // a dispatcher used without CallInMainThread's own wrapping
            main.RunAndWait([] { throw std::runtime_error("raw"); });
        } catch (const std::runtime_error& e) {
            direct = e.what();
        }
        done = true;
    });
    PumpUntil(main, done);
    worker.join();
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(caught, "from the window");
    EXPECT_EQ(direct, "raw");
}

TEST(MainThread, DestroyingTheQueueRunsWhatWaitsAndUninstallsIt) {
    auto main = std::make_unique<TQueueMainThread>();
    SetMainThreadDispatcher(main.get());
    std::atomic<bool> ran{false};
    std::thread worker([&] { main->RunAndWait([&] { ran = true; }); });
    while (main->Pending() == 0)
        std::this_thread::yield();
    main.reset(); // the worker is still waiting for its call at this point

    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(MainThreadDispatcher(), nullptr);
}
