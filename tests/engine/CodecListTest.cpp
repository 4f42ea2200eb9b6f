// The codec list lock under load: several jobs on workers and one on the user-interface thread
// open and close their codecs at the same time, while every log line (the codec lock's own
// debug lines included) waits for the user-interface thread. Nothing may hang, every run ends,
// and no codec stays open or linked.

#include "engine/CustomFFmpeg.h"
#include "medialib/FFLog.h"
#include "medialib/MainThread.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/ImpatientMainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
// Every log line goes to the user-interface thread at debug level while it lives.
class TLogToMainThread {
public:
    TLogToMainThread() {
        GetFFLogger().SetTriggerEventInMainThread(true);
        GetFFLogger().SetLogLevel(llDebug);
        GetFFLogger().SetOnLog([this](void*, TThreadID, TLogLevel, const std::string&) { ++Lines; });
    }
    ~TLogToMainThread() {
        GetFFLogger().SetOnLog(nullptr);
        GetFFLogger().SetLogLevel(llQuiet);
        GetFFLogger().SetTriggerEventInMainThread(false);
    }
    std::atomic<int> Lines{0};
};

// A job from test pictures to MPEG-4: a decoder and an encoder to open and close.
std::unique_ptr<TCustomFFmpeg> PictureJob(const std::string& output, int frames) {
    auto job = std::make_unique<TCustomFFmpeg>(1);
    job->ApplyOption("f", TestFramesFormat);
    EXPECT_TRUE(job->OpenInputFile(TestFramesName(32, 32, 25, frames))) << job->LastError;
    job->ApplyOption("vcodec", "mpeg4");
    EXPECT_GE(job->OpenOutputFile(output), 0) << job->LastError;
    return job;
}
} // namespace

TEST(CodecListLock, JobsOnWorkersAndOnTheUserInterfaceThreadOpenAndCloseCodecsAtOnce) {
    TTempDir dir;
    // A call that waits 10 s for this thread counts as a hang (and then runs on its caller).
    TImpatientMainThread mainThread(10000ms);
    TLogToMainThread log;
    constexpr int Rounds = 3, Workers = 4;
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::unique_ptr<TCustomFFmpeg>> jobs;
        for (int i = 0; i < Workers; ++i)
            jobs.push_back(PictureJob(dir.File("w" + std::to_string(round) + "-" + std::to_string(i) + ".avi"), 60));
        for (auto& job : jobs)
            if (TConvertThread* worker = job->StartJob(true))
                worker->Resume();
        // Meanwhile this thread runs a job of its own: its codecs open and close while the
        // workers hold the locks, and the workers' lines wait for it.
        auto own = PictureJob(dir.File("ui" + std::to_string(round) + ".avi"), 10);
        EXPECT_TRUE(own->Execute()) << own->ErrorMessage();
        EXPECT_EQ(own->OpenCodecs().EncoderCount() + own->OpenCodecs().DecoderCount(), 0);
        const auto limit = std::chrono::steady_clock::now() + 120s;
        auto running = [&] {
            for (auto& job : jobs)
                if (job->Running())
                    return true;
            return false;
        };
        while (running() && std::chrono::steady_clock::now() < limit) {
            mainThread.Serve();
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_FALSE(running()) << "a job did not end";
        for (auto& job : jobs) {
            EXPECT_TRUE(job->Finished()) << job->ErrorMessage();
            EXPECT_EQ(job->OpenCodecs().EncoderCount(), 0);
            EXPECT_EQ(job->OpenCodecs().DecoderCount(), 0);
        }
        EXPECT_EQ(OpenCodecCount(), 0) << "every opened codec was closed and unlinked";
        jobs.clear();
        mainThread.Serve();
    }
    EXPECT_EQ(mainThread.Hangs(), 0) << "a line waited for this thread while its lock was wanted here";
    EXPECT_GT(log.Lines.load(), 0);
}

TEST(CodecListLock, ARunThatFailsAfterOpeningItsCodecsClosesThemToo) {
    TTempDir dir;
    // A frame limit of zero: the codecs open, nothing is encoded and the run fails at its end.
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(32, 32, 25, 5))) << job.LastError;
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("vframes", "0");
    ASSERT_GE(job.OpenOutputFile(dir.File("empty.avi")), 0) << job.LastError;
    EXPECT_FALSE(job.Execute());
    EXPECT_EQ(job.ErrorMessage(), "Output file is empty, nothing was encoded");
    EXPECT_EQ(job.OpenCodecs().EncoderCount() + job.OpenCodecs().DecoderCount(), 0);
    EXPECT_EQ(OpenCodecCount(), 0);
}

// The same hand-over for the codec list lock: the end-of-run close logs under it (the codec
// lock's own lines), while the user-interface thread may be closing a job of its own.
TEST(CodecListLock, ALineLoggedUnderTheLockWaitsForItsReleaseNotForTheUserInterfaceThread) {
    TLockHandOver r = LogUnderLockWhileMainThreadWaits<TCodecListGuard>(2000ms);
    EXPECT_EQ(r.Hangs, 0) << "the worker waited for the user-interface thread while holding the codec list lock";
    EXPECT_TRUE(r.Delivered);
    EXPECT_TRUE(r.OnMainThread);
}
