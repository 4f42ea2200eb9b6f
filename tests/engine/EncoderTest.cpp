// The encoder component and the job's threads: task order, terminate notifications, pause,
// resume and stop from another thread, progress and preview delivery.

#include "engine/FFEncoder.h"
#include "medialib/FFLog.h"
#include "medialib/MainThread.h"
#include "medialib/PreviewWindow.h"
#include "tests/medialib/LogCollector.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
// Records the terminate notifications and lets the test wait for the final one.
struct TEnds {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<TTerminateInfo> Infos;
    std::vector<std::thread::id> Threads;

    void Connect(TFFEncoder& encoder) {
        encoder.OnTerminate = [this](TCustomEncoder&, const TTerminateInfo& info) {
            std::lock_guard guard(Lock);
            Infos.push_back(info);
            Threads.push_back(std::this_thread::get_id());
            Changed.notify_all();
        };
    }
    bool WaitFinal(std::chrono::seconds limit = 60s) {
        std::unique_lock guard(Lock);
        return Changed.wait_for(guard, limit, [&] { return !Infos.empty() && Infos.back().TaskIndex == -1; });
    }
    std::vector<int> Order() {
        std::lock_guard guard(Lock);
        std::vector<int> order;
        for (const TTerminateInfo& i : Infos)
            order.push_back(i.TaskIndex);
        return order;
    }
};

TInputOptions TestInput() {
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    return in;
}

TOutputOptions Mpeg4Output() {
    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.FrameRate = "30/1";
    return out;
}

// One task from frames of the test format into file.
int AddTask(TFFEncoder& encoder, int frames, const std::string& file, int size = 32) {
    TInputOptions in = TestInput();
    int t = encoder.AddTask(TestFramesName(size, size, 30, frames), &in);
    EXPECT_GE(t, 0) << encoder.LastErrMsg;
    TOutputOptions out = Mpeg4Output();
    EXPECT_TRUE(encoder.SetOutputFile(t, file, &out)) << encoder.LastErrMsg;
    return t;
}

// Frames are written far faster than any test waits: a run of this many only ends by a stop.
constexpr int Endless = 50000000;
} // namespace

TEST(Encoder, TasksRunOneAfterAnotherAndEndsArriveInOrderThenTheFinalNotification) {
    TTempDir dir;
    TFFEncoder encoder;
    encoder.TriggerEventInMainThread = false;
    encoder.SetProgressInterval(100);
    TEnds ends;
    ends.Connect(encoder);
    std::mutex lock;
    std::vector<int> progressTasks;
    encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo info) {
        std::lock_guard guard(lock);
        progressTasks.push_back(info->TaskIndex);
    };
    AddTask(encoder, 30, dir.File("a.mp4"));
    AddTask(encoder, 30, dir.File("b.mp4"));
    encoder.StartTask(1);
    EXPECT_TRUE(encoder.Working());
    ASSERT_TRUE(ends.WaitFinal());
    EXPECT_EQ(ends.Order(), (std::vector<int>{0, 1, -1}));
    for (const TTerminateInfo& info : ends.Infos) {
        EXPECT_TRUE(info.Finished);
        EXPECT_FALSE(info.Failed);
    }
    // Every report of task 0 (its final one included) comes before the first of task 1.
    std::lock_guard guard(lock);
    ASSERT_FALSE(progressTasks.empty());
    EXPECT_TRUE(std::is_sorted(progressTasks.begin(), progressTasks.end()));
    EXPECT_EQ(progressTasks.back(), 1);
    EXPECT_EQ(ProbeVideo(dir.File("a.mp4")).Packets, 30);
    EXPECT_EQ(ProbeVideo(dir.File("b.mp4")).Packets, 30);
    // Handlers never ran on the caller's thread in threaded mode.
    for (std::thread::id id : ends.Threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST(Encoder, WithoutThreadsStartTaskReturnsAfterEveryTaskAndRaisesOnTheCallingThread) {
    TTempDir dir;
    TFFEncoder encoder;
    TEnds ends;
    ends.Connect(encoder);
    AddTask(encoder, 10, dir.File("a.mp4"));
    AddTask(encoder, 10, dir.File("b.mp4"));
    encoder.StartTask(0);
    EXPECT_EQ(ends.Order(), (std::vector<int>{0, 1, -1}));
    for (std::thread::id id : ends.Threads)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_TRUE(encoder.AllTerminated());
}

TEST(Encoder, StateRulesAndTheirMessages) {
    TTempDir dir;
    TFFEncoder encoder;
    encoder.SetProgressInterval(50);
    EXPECT_EQ(encoder.ProgressInterval(), 100);
    encoder.SetProgressInterval(101);
    EXPECT_EQ(encoder.ProgressInterval(), 101);
    EXPECT_STREQ(TFFEncoder::Version(), "3.9");

    // An input that cannot be opened adds no task.
    TInputOptions in = TestInput();
    EXPECT_EQ(encoder.AddTask("not a frame description", &in), -1);
    EXPECT_FALSE(encoder.LastErrMsg.empty());
    EXPECT_EQ(encoder.TaskCount(), 0);

    TEnds ends;
    ends.Connect(encoder);
    int t = AddTask(encoder, 5, dir.File("a.mp4"));
    // The 21st input of a task is refused with its message.
    for (int i = 1; i < TFFEncoder::MaxFiles; ++i)
        ASSERT_TRUE(encoder.AddInputFile(t, TestFramesName(32, 32, 30, 5), &in)) << i << encoder.LastErrMsg;
    EXPECT_FALSE(encoder.AddInputFile(t, TestFramesName(32, 32, 30, 5), &in));
    EXPECT_EQ(encoder.LastErrMsg, "max input files 20 reached");
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitFinal());
    EXPECT_TRUE(encoder.Working()) << "a run keeps Working until ClearTasks";
    try {
        encoder.AddTask(TestFramesName(32, 32, 30, 5), &in);
        ADD_FAILURE() << "AddTask after a run";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Cannot AddTask while working.");
    }
    EXPECT_THROW(encoder.StartTask(1), std::logic_error);
    encoder.ClearTasks(); // allowed after the final notification
    EXPECT_FALSE(encoder.Working());
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_EQ(encoder.NextTask(), -1);

    AddTask(encoder, Endless, dir.File("long.mp4"));
    encoder.StartTask(1);
    try {
        encoder.ClearTasks();
        ADD_FAILURE() << "ClearTasks while a task runs";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Cannot ClearTasks while working.");
    }
    encoder.Stop(true);
    ASSERT_TRUE(ends.WaitFinal());
    encoder.ClearTasks();
}

TEST(Encoder, StopDuringTheFirstOfTwoTasksEndsBothAndTheSecondNeverRuns) {
    TTempDir dir;
    TFFEncoder encoder;
    encoder.TriggerEventInMainThread = false;
    encoder.SetProgressInterval(100);
    TEnds ends;
    ends.Connect(encoder);
    std::atomic<bool> firstFrames{false};
    encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo info) {
        if (info->TaskIndex == 0 && info->FrameNumber > 0)
            firstFrames = true;
    };
    AddTask(encoder, Endless, dir.File("a.mp4"));
    AddTask(encoder, 30, dir.File("b.mp4"));
    encoder.StartTask(1);
    while (!firstFrames)
        std::this_thread::sleep_for(5ms);
    encoder.Stop(false);
    ASSERT_TRUE(ends.WaitFinal());
    // The task that never ran reports at once, the stopped one once its file is closed; the
    // final notification comes after both.
    std::vector<int> order = ends.Order();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[2], -1);
    EXPECT_EQ(order[0] + order[1], 1);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(ends.Infos[i].Finished) << i;
        EXPECT_FALSE(ends.Infos[i].Failed) << i;
    }
    EXPECT_TRUE(ends.Infos[2].Finished);
    EXPECT_GT(ProbeVideo(dir.File("a.mp4")).Packets, 0);
    EXPECT_EQ(DecodeErrors(dir.File("a.mp4")), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.mp4")) && ProbeVideo(dir.File("b.mp4")).Packets > 0);
}

TEST(Encoder, AStopBeforeTheWorkerStartsIsHonoured) {
    TTempDir dir;
    TFFEncoder encoder;
    TInputOptions in = TestInput();
    int t = encoder.AddTask(TestFramesName(32, 32, 30, Endless), &in);
    ASSERT_GE(t, 0);
    TOutputOptions out = Mpeg4Output();
    ASSERT_TRUE(encoder.SetOutputFile(t, dir.File("early.mp4"), &out));
    TFFmpeg& job = encoder.Task(t);
    TConvertThread* worker = job.StartJob(true);
    ASSERT_NE(worker, nullptr);
    job.StopJob(false); // the worker has not run a single step yet
    worker->Resume();
    ASSERT_TRUE(job.RunFinished.WaitFor(60s)) << "the stop was lost";
    EXPECT_FALSE(job.Finished());
    EXPECT_FALSE(job.Failed()) << job.ErrorMessage();
    EXPECT_TRUE(job.Terminated());
}

TEST(Encoder, PauseHoldsTheWorkerAndAStopWithWaitLetsAPausedTaskEnd) {
    TTempDir dir;
    TFFEncoder encoder;
    encoder.TriggerEventInMainThread = false;
    encoder.SetProgressInterval(100);
    TEnds ends;
    ends.Connect(encoder);
    std::atomic<int> frames{0};
    encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo info) { frames = info->FrameNumber; };
    AddTask(encoder, Endless, dir.File("paused.mp4"));
    TFFmpeg& job = encoder.Task(0);
    encoder.StartTask(1);
    while (frames == 0)
        std::this_thread::sleep_for(5ms);
    encoder.Pause();
    EXPECT_TRUE(encoder.Paused());
    EXPECT_TRUE(job.Paused());
    // Once the worker reached its gate nothing more is written.
    std::this_thread::sleep_for(300ms);
    int64_t size = std::filesystem::file_size(dir.File("paused.mp4"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(std::filesystem::file_size(dir.File("paused.mp4")), size);
    encoder.Resume();
    EXPECT_FALSE(encoder.Paused());
    int before = frames;
    while (frames == before)
        std::this_thread::sleep_for(5ms);
    encoder.Pause();
    encoder.Stop(true); // resumes the paused task and returns once it has ended
    EXPECT_FALSE(job.Running());
    EXPECT_FALSE(encoder.Paused());
    ASSERT_TRUE(ends.WaitFinal());
    EXPECT_FALSE(ends.Infos[0].Finished);
    EXPECT_FALSE(ends.Infos[0].Failed);
    EXPECT_EQ(DecodeErrors(dir.File("paused.mp4")), "");
}

// Pause, resume and stop from the controlling thread, many times over: no deadlock, no lost
// notification, every file closed (the sanitizer builds check for leaks and races).
TEST(Encoder, HundredCyclesOfPauseResumeStop) {
    TTempDir dir;
    TFFEncoder encoder;
    encoder.TriggerEventInMainThread = false;
    encoder.SetProgressInterval(100);
    std::atomic<int> reports{0};
    encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo) { ++reports; };
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        TEnds ends;
        ends.Connect(encoder);
        encoder.ClearTasks();
        AddTask(encoder, Endless, dir.File("cycle.mp4"), 16);
        encoder.StartTask(1);
        switch (cycle % 4) { // vary where the controlling calls meet the worker
        case 0: break;
        case 1: std::this_thread::yield(); break;
        default: std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 7)); break;
        }
        encoder.Pause();
        if (cycle % 3)
            encoder.Resume();
        encoder.Stop(cycle % 2 == 0);
        ASSERT_TRUE(ends.WaitFinal(60s));
        ASSERT_EQ(ends.Order(), (std::vector<int>{0, -1}));
        EXPECT_FALSE(ends.Infos[0].Failed) << ends.Infos[0].ErrorMessage;
        encoder.ClearTasks();
        std::filesystem::remove(dir.File("cycle.mp4"));
    }
}

// Progress events move to the user-interface thread while the worker waits; a stop with wait
// issued there keeps serving those calls, so it cannot deadlock with a worker inside one.
TEST(Encoder, ProgressReachesTheUserInterfaceThreadAndStopWithWaitServesIt) {
    TTempDir dir;
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    {
        TFFEncoder encoder;
        encoder.SetProgressInterval(100);
        TEnds ends;
        ends.Connect(encoder);
        std::vector<std::thread::id> threads;
        std::vector<int> frames;
        encoder.OnProgress = [&](TCustomEncoder&, PProgressInfo info) {
            threads.push_back(std::this_thread::get_id());
            frames.push_back(info->FrameNumber);
            std::this_thread::sleep_for(20ms); // the worker waits meanwhile
        };
        AddTask(encoder, Endless, dir.File("ui.mp4"));
        encoder.StartTask(1);
        while (frames.size() < 3)
            mainThread.Pump(10ms);
        encoder.Stop(true);
        while (!ends.WaitFinal(0s))
            mainThread.Pump(10ms);
        ASSERT_GE(frames.size(), 3u);
        for (std::thread::id id : threads)
            EXPECT_EQ(id, std::this_thread::get_id());
        EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
        encoder.ClearTasks();
    }
    SetMainThreadDispatcher(nullptr);
}

namespace {
struct TFakeWindowLog {
    std::mutex Lock;
    int Made = 0, Destroyed = 0, Shown = 0;
    int Width = 0, Height = 0;
};

class TFakePreviewWindow : public IPreviewWindow {
public:
    explicit TFakePreviewWindow(TFakeWindowLog& log) : log_(log) {
        std::lock_guard guard(log_.Lock);
        ++log_.Made;
    }
    ~TFakePreviewWindow() override {
        std::lock_guard guard(log_.Lock);
        ++log_.Destroyed;
    }
    bool Show(const std::uint8_t* bits, int width, int height, int stride, std::int64_t, std::int64_t) override {
        std::lock_guard guard(log_.Lock);
        ++log_.Shown;
        log_.Width = width;
        log_.Height = height;
        return bits && stride >= width * 4;
    }

private:
    TFakeWindowLog& log_;
};
} // namespace

TEST(Encoder, PreviewGoesToTheEventAndTheWindowAtMostEveryHundredMilliseconds) {
    TTempDir dir;
    TFakeWindowLog windows;
    SetPreviewWindowFactory([&] { return std::make_unique<TFakePreviewWindow>(windows); });
    {
        TFFEncoder encoder;
        encoder.TriggerEventInMainThread = false;
        encoder.SetPreview(true);
        encoder.SetPreviewBitmap(true);
        TEnds ends;
        ends.Connect(encoder);
        std::atomic<int> events{0};
        std::atomic<int> width{0}, height{0}, lastFrame{-1};
        std::atomic<bool> ordered{true};
        encoder.OnPreviewBitmap = [&](TCustomEncoder&, const TPreviewInfo& info) {
            ++events;
            width = info.Bitmap->Width;
            height = info.Bitmap->Height;
            if (info.FrameNumber <= lastFrame)
                ordered = false;
            lastFrame = info.FrameNumber;
        };
        AddTask(encoder, Endless, dir.File("preview.mp4"), 48);
        auto start = std::chrono::steady_clock::now();
        encoder.StartTask(1);
        while (events < 3)
            std::this_thread::sleep_for(5ms);
        encoder.SetPreview(false); // the worker closes the window at its next picture
        std::this_thread::sleep_for(250ms);
        encoder.Stop(true);
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(ends.WaitFinal());
        EXPECT_EQ(width, 48);
        EXPECT_EQ(height, 48);
        EXPECT_TRUE(ordered);
        // Thousands of frames were encoded; the throttle lets through about ten a second.
        EXPECT_LE(events, int(elapsed * 10) + 2);
        std::lock_guard guard(windows.Lock);
        EXPECT_EQ(windows.Made, 1);
        EXPECT_EQ(windows.Destroyed, 1);
        EXPECT_GE(windows.Shown, 1);
        EXPECT_EQ(windows.Width, 48);
        encoder.ClearTasks();
    }
    SetPreviewWindowFactory(nullptr);
}

namespace {
// A preview window that the user closes at its first picture, or one that cannot show any.
class TClosingPreviewWindow : public IPreviewWindow {
public:
    explicit TClosingPreviewWindow(bool closes) : closes_(closes) {}
    bool Show(const std::uint8_t*, int, int, int, std::int64_t, std::int64_t) override {
        closed_ = closes_;
        return false;
    }
    bool ClosedByUser() const override { return closed_; }

private:
    bool closes_;
    bool closed_ = false;
};
} // namespace

TEST(Encoder, APreviewWindowClosedByTheUserIsNoErrorButOneThatFailsIs) {
    for (bool closes : {true, false}) {
        SCOPED_TRACE(closes ? "closed" : "failing");
        TTempDir dir;
        TLogCollector log;
        const TLogLevel level = GetFFLogger().LogLevel();
        GetFFLogger().SetLogLevel(llVerbose);
        SetPreviewWindowFactory([closes] { return std::make_unique<TClosingPreviewWindow>(closes); });
        {
            TFFEncoder encoder;
            encoder.TriggerEventInMainThread = false;
            encoder.SetPreview(true);
            TEnds ends;
            ends.Connect(encoder);
            AddTask(encoder, 30, dir.File("preview.mp4"));
            encoder.StartTask(1);
            ASSERT_TRUE(ends.WaitFinal());
            encoder.ClearTasks();
        }
        SetPreviewWindowFactory(nullptr);
        GetFFLogger().SetLogLevel(level);
        int errors = 0, closedLines = 0;
        for (const TLogged& line : log.Lines()) {
            errors += line.Level <= llError && line.Msg.find("preview") != std::string::npos;
            closedLines += line.Msg.find("the preview window was closed") != std::string::npos;
        }
        EXPECT_EQ(errors, closes ? 0 : 1);
        EXPECT_EQ(closedLines, closes ? 1 : 0);
    }
}
