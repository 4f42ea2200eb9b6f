#include "medialib/CodecLock.h"
#include "medialib/InterruptCB.h"
#include "medialib/MainThread.h"
#include "tests/medialib/LogCollector.h"
#include "tests/support/ImpatientMainThread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
class CodecLockTest : public ::testing::Test {
protected:
    void SetUp() override { GetFFLogger().SetLogLevel(llDebug); }
    void TearDown() override {
        CodecLockCallback(&mine, lockDestroy);
        GetFFLogger().SetLogLevel(llInfo);
    }
    void* mine = nullptr; // the pointer a caller of the callback keeps
};
} // namespace

TEST_F(CodecLockTest, CreateObtainReleaseDestroyWithTheirLogLines) {
    UnregisterCodecLock(); // the loader's own lock shares the single slot
    TLogCollector log;
    ASSERT_EQ(CodecLockCallback(&mine, lockCreate), 0);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(CodecLockCallback(&mine, lockObtain), 0);
    EXPECT_EQ(CodecLockCallback(&mine, lockRelease), 0);
    EXPECT_EQ(CodecLockCallback(&mine, lockDestroy), 0);
    EXPECT_EQ(mine, nullptr);
    const auto texts = log.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_THAT(texts[0], ::testing::MatchesRegex("create codec mutex \\[-?[0-9]+\\]\\."));
    const std::string id = texts[0].substr(texts[0].find('['));
    EXPECT_EQ(texts[1], "obtain codec mutex " + id);
    EXPECT_EQ(texts[2], "release codec mutex " + id);
    EXPECT_EQ(texts[3], "destory codec mutex " + id);
}

TEST_F(CodecLockTest, RefusesMisuse) {
    UnregisterCodecLock();
    TLogCollector log;
    EXPECT_EQ(CodecLockCallback(&mine, lockObtain), -1);
    EXPECT_EQ(CodecLockCallback(&mine, lockRelease), -1);
    EXPECT_EQ(CodecLockCallback(&mine, lockDestroy), 0) << "destroying nothing is fine";
    EXPECT_EQ(CodecLockCallback(&mine, 7), -1);
    EXPECT_EQ(CodecLockCallback(&mine, 0x1FF), -1);
    ASSERT_EQ(CodecLockCallback(&mine, lockCreate), 0);
    EXPECT_EQ(CodecLockCallback(&mine, lockCreate), -1) << "a second lock into the same pointer";
    EXPECT_EQ(CodecLockCallback(&mine, lockRelease), -1) << "released without being obtained";
    const auto texts = log.Texts();
    EXPECT_EQ(texts[0], "error, codec mutex not available.");
    EXPECT_EQ(texts[1], "error, codec mutex not available.");
    EXPECT_EQ(texts[2], "error, invalid codec mutex operation 7.");
    EXPECT_EQ(texts[3], "error, invalid codec mutex operation -1.") << "the operation is shown as a signed byte";
    EXPECT_THAT(texts[5], ::testing::MatchesRegex("error, codec mutex \\[-?[0-9]+\\] already exist\\."));
    EXPECT_THAT(texts[6], ::testing::StartsWith("error, could not release codec mutex ["));
    EXPECT_EQ(log.Lines()[0].Level, llError);
}

TEST_F(CodecLockTest, ALockLeftBehindIsReplacedWithAWarning) {
    UnregisterCodecLock();
    ASSERT_EQ(CodecLockCallback(&mine, lockCreate), 0);
    void* other = nullptr; // a caller that lost track of the first lock
    TLogCollector log;
    ASSERT_EQ(CodecLockCallback(&other, lockCreate), 0);
    EXPECT_THAT(log.Texts()[0], ::testing::MatchesRegex("warning, local codec mutex \\[-?[0-9]+\\] not destroyed\\."));
    EXPECT_EQ(log.Lines()[0].Level, llWarning);
    EXPECT_EQ(CodecLockCallback(&other, lockObtain), 0);
    EXPECT_EQ(CodecLockCallback(&other, lockRelease), 0);
    EXPECT_EQ(CodecLockCallback(&other, lockDestroy), 0);
    mine = nullptr; // the slot it pointed to is empty now
}

TEST_F(CodecLockTest, SerialisesCodecWorkAcrossThreads) {
    GetFFLogger().SetLogLevel(llInfo);
    RegisterCodecLock();
    std::atomic<int> inside{0}, overlaps{0};
    auto work = [&] {
        for (int i = 0; i < 200; ++i) {
            TCodecLockGuard guard;
            ASSERT_TRUE(guard.Locked());
            if (inside.fetch_add(1) != 0)
                ++overlaps;
            std::this_thread::yield();
            inside.fetch_sub(1);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(overlaps, 0);
    {
        TLogCollector log;
        TCodecLockGuard held; // a job inside avcodec_open2 ...
        ASSERT_TRUE(held.Locked());
        RegisterCodecLock(); // ... while another task's start loads the libraries again
        EXPECT_TRUE(log.Lines().empty());
        TCodecLockGuard again;
        EXPECT_TRUE(again.Locked()) << "the lock is the same one, its owner may take it again";
    }
    UnregisterCodecLock();
    TLogCollector log;
    EXPECT_FALSE(TCodecLockGuard().Locked()) << "without a lock the codec work is refused";
}

TEST_F(CodecLockTest, AThreadThatDoesNotOwnTheLockCannotReleaseIt) {
    UnregisterCodecLock();
    ASSERT_EQ(CodecLockCallback(&mine, lockCreate), 0);
    ASSERT_EQ(CodecLockCallback(&mine, lockObtain), 0); // this thread owns it
    TLogCollector log;
    std::atomic<int> stranger{99}, obtained{0}, released{-1};
    std::thread other([&] {
        stranger = CodecLockCallback(&mine, lockRelease);
        obtained = CodecLockCallback(&mine, lockObtain) == 0 ? 1 : -1; // waits for the owner
        released = CodecLockCallback(&mine, lockRelease);
    });
    while (stranger == 99)
        std::this_thread::yield();
    EXPECT_EQ(stranger, -1) << "a release by a thread that does not own the lock is refused";
    // The refused release left the lock with its owner: the other thread is still waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(obtained, 0) << "the lock was taken away from its owner";
    EXPECT_EQ(CodecLockCallback(&mine, lockRelease), 0);
    other.join();
    EXPECT_EQ(obtained, 1);
    EXPECT_EQ(released, 0);
    const auto texts = log.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_THAT(texts[0], ::testing::StartsWith("error, could not release codec mutex ["));
}

namespace {
struct TJob {
    bool Stop = false;
    int Checks = 0;
};
bool StopRequested(void* sender) {
    auto* job = static_cast<TJob*>(sender);
    ++job->Checks;
    return job->Stop;
}
bool Never(void*) { return false; }
} // namespace

TEST(InterruptRegistry, AsksOnlyTheFirstCheckOfTheCallingThread) {
    TInterruptCB& registry = *InterruptRegistry();
    registry.ClearInterrupts();
    TJob job, otherJob;
    const TThreadID me = CurrentThreadId();
    EXPECT_EQ(InterruptCallback(nullptr), 0) << "no entries for this thread";

    registry.AddInterrupt(me, &job, StopRequested);
    registry.AddInterrupt(me, &job, StopRequested);
    EXPECT_EQ(registry.Count(), 1u) << "the same registration is kept once";
    registry.AddInterrupt(me, &otherJob, StopRequested);
    job.Stop = true;
    EXPECT_EQ(InterruptCallback(nullptr), 1);
    EXPECT_EQ(otherJob.Checks, 0) << "only the first entry of the thread is asked";

    int fromOtherThread = -1;
    std::thread([&] { fromOtherThread = InterruptCallback(nullptr); }).join();
    EXPECT_EQ(fromOtherThread, 0) << "another thread does not see this thread's job";

    registry.RemoveInterrupt(me, &job, StopRequested);
    EXPECT_EQ(InterruptCallback(nullptr), 0) << "now the other job answers";
    EXPECT_EQ(otherJob.Checks, 1);
    registry.RemoveInterrupt(me, &otherJob, Never);
    EXPECT_EQ(registry.Count(), 1u) << "removal matches the check too";
    registry.ClearInterrupts();
    EXPECT_EQ(registry.Count(), 0u);
}

TEST(InterruptRegistry, ScopeRegistersForItsLifetimeAndTheRecordPointsAtTheCallback) {
    TJob job;
    job.Stop = true;
    {
        TInterruptScope scope(&job, StopRequested);
        AVIOInterruptCB cb = InterruptCallbackRecord();
        ASSERT_NE(cb.callback, nullptr);
        EXPECT_EQ(cb.callback(cb.opaque), 1);
    }
    EXPECT_EQ(InterruptCallback(nullptr), 0);
    EXPECT_EQ(InterruptRegistry()->Count(), 0u);
}

TEST(InterruptRegistry, AStopOfInputReadsLeavesTheWritesOfOutputsAlone) {
    TJob job;
    job.Stop = true;
    const AVIOInterruptCB input = InterruptCallbackRecord(), output = OutputInterruptCallbackRecord();
    {
        TInterruptScope scope(&job, StopRequested, TInterruptReach::InputsOnly);
        EXPECT_EQ(input.callback(input.opaque), 1);
        EXPECT_EQ(output.callback(output.opaque), 0) << "a flush or trailer after a stop must be written";
        {
            // A check for all I/O registered later (an output being opened) still applies.
            TJob opening;
            opening.Stop = true;
            TInterruptScope timeout(&opening, StopRequested);
            EXPECT_EQ(output.callback(output.opaque), 1);
        }
    }
    EXPECT_EQ(InterruptRegistry()->Count(), 0u);
    TInterruptScope everything(&job, StopRequested);
    EXPECT_EQ(output.callback(output.opaque), 1);
}

namespace {
std::atomic<bool> insideCheck{false};
bool TimesOutAndSaysSo(void*) {
    insideCheck = true;
    GetFFLogger().Log(nullptr, llInfo, "connecting/reading/writing timeout");
    return true;
}
} // namespace

TEST(InterruptRegistry, ACheckWaitingForTheMainThreadLeavesTheRegistryFree) {
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    GetFFLogger().SetLogLevel(llInfo);
    TLogCollector log(true); // lines reach the handler on the main thread: the worker waits for it
    insideCheck = false;
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        TInterruptScope scope(nullptr, TimesOutAndSaysSo);
        answer = InterruptCallback(nullptr);
    });
    while (!insideCheck)
        std::this_thread::yield();
    // The main thread registering a check of its own (it opens files too) must not wait for the
    // worker, which in turn waits for the main thread to take its log line.
    auto registering = std::async(std::launch::async, [] {
        InterruptRegistry()->AddInterrupt(1, nullptr, Never);
        InterruptRegistry()->RemoveInterrupt(1, nullptr, Never);
    });
    EXPECT_EQ(registering.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    while (answer < 0)
        mainThread.Pump(std::chrono::milliseconds(5));
    worker.join();
    registering.wait();
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(answer, 1);
    EXPECT_THAT(log.Texts(), ::testing::ElementsAre("connecting/reading/writing timeout"));
    EXPECT_EQ(InterruptRegistry()->Count(), 0u);
}

// A line logged while the codec lock is held must not wait for the user-interface thread: that
// thread may itself be waiting for the lock (closing a job's codecs), and then neither moves.
// The line is delivered after the release instead.
TEST_F(CodecLockTest, ALineLoggedUnderTheLockWaitsForItsReleaseNotForTheUserInterfaceThread) {
    RegisterCodecLock();
    TLockHandOver r = LogUnderLockWhileMainThreadWaits<TCodecLockGuard>(std::chrono::milliseconds(2000));
    EXPECT_EQ(r.Hangs, 0) << "the worker waited for the user-interface thread while holding the codec lock";
    EXPECT_TRUE(r.Delivered);
    EXPECT_TRUE(r.OnMainThread);
}
