#include "medialib/FFLoad.h"
#include "medialib/FFLog.h"
#include "medialib/MainThread.h"
#include "tests/medialib/LogCollector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <barrier>
#include <cstddef>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <thread>

using ::testing::ElementsAre;

namespace {
// Independent spelling of an address in a prefix: upper-case hex over the pointer's full width.
std::string Hex(const void* p) {
    std::ostringstream out;
    out << std::uppercase << std::hex << std::setw(2 * sizeof(void*)) << std::setfill('0') << uintptr_t(p);
    return out.str();
}

struct TFakeContext {
    const AVClass* Class;
    void* Parent;
};

const char* FakeName(void* ctx) { return static_cast<TFakeContext*>(ctx)->Parent ? "child" : "parent"; }

AVClass MakeClass(int version) {
    AVClass cls{};
    cls.class_name = "Fake";
    cls.item_name = FakeName;
    cls.version = version;
    cls.parent_log_context_offset = offsetof(TFakeContext, Parent);
    return cls;
}

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLib(avutil)) << FFLoader().LastErrMsg();
        GetFFLogger().SetLogLevel(llDebug);
        GetFFLogger().SetLogLevel(llInfo); // FFmpeg threshold 32
    }
};
} // namespace

TEST(LogLevels, ConvertBothWays) {
    EXPECT_EQ(LogLevelToAV(llQuiet), -8);
    EXPECT_EQ(LogLevelToAV(llPanic), 0);
    EXPECT_EQ(LogLevelToAV(llError), 16);
    EXPECT_EQ(LogLevelToAV(llDebug), 48);
    EXPECT_EQ(AVLevelToLogLevel(-8), llQuiet);
    EXPECT_EQ(AVLevelToLogLevel(-100), llQuiet);
    EXPECT_EQ(AVLevelToLogLevel(-1), llPanic); // the quotient truncates toward zero
    EXPECT_EQ(AVLevelToLogLevel(7), llPanic);
    EXPECT_EQ(AVLevelToLogLevel(12), llFatal);
    EXPECT_EQ(AVLevelToLogLevel(24), llWarning);
    EXPECT_EQ(AVLevelToLogLevel(100), llDebug);
}

TEST_F(LoggerTest, AssemblesPiecesIntoOneLineWithThePrefixOnce) {
    TLogCollector log;
    AVClass cls = MakeClass(LIBAVUTIL_VERSION_INT);
    TFakeContext ctx{&cls, nullptr};
    FFLogPiece(&ctx, AV_LOG_INFO, "abc");
    EXPECT_TRUE(log.Lines().empty()) << "an unfinished line waits";
    FFLogPiece(&ctx, AV_LOG_INFO, "%s\n", "def");
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].Msg, "[parent @ " + Hex(&ctx) + "] abcdef");
    EXPECT_EQ(log.Lines()[0].Level, llInfo);
    EXPECT_EQ(log.Lines()[0].Thread, CurrentThreadId());
    EXPECT_EQ(log.Lines()[0].Sender, &GetFFLogger());
}

TEST_F(LoggerTest, PrefixNamesTheParentOnlyForNewEnoughClasses) {
    TLogCollector log;
    AVClass parentCls = MakeClass(LIBAVUTIL_VERSION_INT);
    TFakeContext parent{&parentCls, nullptr};
    AVClass newCls = MakeClass(0x320F03), oldCls = MakeClass(0x320F02);
    TFakeContext child{&newCls, &parent}, oldChild{&oldCls, &parent};
    FFLogPiece(&child, AV_LOG_ERROR, "one\n");
    FFLogPiece(&oldChild, AV_LOG_ERROR, "two\n");
    FFLogPiece(nullptr, AV_LOG_ERROR, "three\n");
    EXPECT_THAT(log.Texts(), ElementsAre("[parent @ " + Hex(&parent) + "] [child @ " + Hex(&child) + "] one",
                                         "[child @ " + Hex(&oldChild) + "] two", "three"));
}

TEST_F(LoggerTest, ErrorCaptureKeepsThisThreadsErrorsAlsoWhenTheLevelHidesThem) {
    TLogCollector log;
    GetFFLogger().SetLogLevel(llQuiet);
    AVClass cls = MakeClass(LIBAVUTIL_VERSION_INT);
    TFakeContext ctx{&cls, nullptr};
    std::string inner, outer;
    {
        TFFErrorCapture capture;
        FFLogPiece(&ctx, AV_LOG_WARNING, "only a warning\n");
        FFLogPiece(&ctx, AV_LOG_ERROR, "width too large\n");
        {
            TFFErrorCapture nested;
            FFLogPiece(nullptr, AV_LOG_FATAL, "inner reason\n");
            inner = nested.Text();
        }
        std::thread other([] { FFLogPiece(nullptr, AV_LOG_ERROR, "another thread's error\n"); });
        other.join();
        FFLogPiece(nullptr, AV_LOG_ERROR, "second reason\n");
        outer = capture.Text();
    }
    FFLogPiece(nullptr, AV_LOG_ERROR, "after the scope\n");
    EXPECT_EQ(inner, "inner reason");
    EXPECT_EQ(outer, "width too large; second reason");
    EXPECT_TRUE(log.Lines().empty()) << "the quiet level still holds for the log";
}

TEST_F(LoggerTest, FoldsRepeatedLinesAndSplitsPiecesHoldingSeveralLines) {
    TLogCollector log;
    FFLogPiece(nullptr, AV_LOG_WARNING, "same\n");
    FFLogPiece(nullptr, AV_LOG_WARNING, "same\n");
    FFLogPiece(nullptr, AV_LOG_WARNING, "same\n");
    FFLogPiece(nullptr, AV_LOG_WARNING, "first\nsecond\n");
    FFLogPiece(nullptr, AV_LOG_WARNING, "long %s\n", std::string(5000, 'x').c_str());
    EXPECT_THAT(log.Texts(), ElementsAre("same", "    Last message repeated 2 times", "first", "second",
                                         "long " + std::string(5000, 'x')));
}

TEST_F(LoggerTest, ALineRepeatedOnceIsFoldedToo) {
    TLogCollector log;
    FFLogPiece(nullptr, AV_LOG_WARNING, "once more\n");
    FFLogPiece(nullptr, AV_LOG_WARNING, "once more\n");
    FFLogPiece(nullptr, AV_LOG_WARNING, "next\n");
    EXPECT_THAT(log.Texts(), ElementsAre("once more", "    Last message repeated 1 times", "next"));
}

TEST_F(LoggerTest, AHandlerThatThrowsNeitherEscapesIntoFFmpegNorLosesTheNextLines) {
    TLogCollector log;
    std::vector<std::string> seen;
    GetFFLogger().SetOnLog([&](void*, TThreadID, TLogLevel, const std::string& msg) {
        seen.push_back(msg);
        if (msg == "bad")
            throw std::runtime_error("handler failed");
    });
    EXPECT_NO_THROW(ff::av_log(nullptr, AV_LOG_ERROR, "bad\ngood\n"));
    EXPECT_NO_THROW(ff::av_log(nullptr, AV_LOG_ERROR, "later\n"));
    EXPECT_THAT(seen, ElementsAre("bad", "good", "later"));
}

TEST_F(LoggerTest, DropsFFmpegMessagesAboveTheThreshold) {
    TLogCollector log;
    FFLogPiece(nullptr, AV_LOG_VERBOSE, "chatty\n");
    EXPECT_TRUE(log.Lines().empty());
    FFLogPiece(nullptr, AV_LOG_VERBOSE | AV_LOG_C(134), "tinted\n");
    EXPECT_TRUE(log.Lines().empty()) << "a colour hint does not change the level";
    GetFFLogger().SetLogLevel(llVerbose);
    FFLogPiece(nullptr, AV_LOG_VERBOSE, "chatty\n");
    FFLogPiece(nullptr, AV_LOG_ERROR | AV_LOG_C(134), "tinted\n");
    EXPECT_THAT(log.Texts(), ElementsAre("chatty", "tinted"));
    EXPECT_EQ(log.Lines()[1].Level, llError);
}

TEST_F(LoggerTest, AssemblesLinesPerThreadWhenTwoThreadsLogAtOnce) {
    TLogCollector log;
    std::barrier both(2);
    TThreadID ids[2] = {};
    auto worker = [&](int n) {
        ids[n] = CurrentThreadId();
        const std::string name = "thread" + std::to_string(n);
        for (int round = 0; round < 50; ++round) {
            FFLogPiece(nullptr, AV_LOG_INFO, "%s begins %d, ", name.c_str(), round);
            both.arrive_and_wait(); // the other thread's piece lands between our two pieces
            FFLogPiece(nullptr, AV_LOG_INFO, "%s ends %d\n", name.c_str(), round);
            both.arrive_and_wait();
        }
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    int seen[2] = {0, 0};
    for (const TLogged& line : log.Lines()) {
        const int n = line.Thread == ids[0] ? 0 : 1;
        ASSERT_EQ(line.Thread, ids[n]);
        const std::string name = "thread" + std::to_string(n), round = std::to_string(seen[n]);
        EXPECT_EQ(line.Msg, name + " begins " + round + ", " + name + " ends " + round);
        ++seen[n];
    }
    EXPECT_EQ(seen[0], 50);
    EXPECT_EQ(seen[1], 50);
}

TEST_F(LoggerTest, ProgramMessagesFollowTheLevelRules) {
    TLogCollector log;
    int sender = 0;
    GetFFLogger().SetLogLevel(llError);
    GetFFLogger().Log(&sender, llVerbose, "verbose passes");
    GetFFLogger().Log(&sender, llWarning, "warning is filtered");
    GetFFLogger().LogFmt(&sender, llError, "error %d %s", 7, "passes");
    GetFFLogger().SetLogLevel(llQuiet);
    GetFFLogger().Log(&sender, llVerbose, "nothing under quiet");
    GetFFLogger().SetLogLevel(llInfo);
    GetFFLogger().Log(&sender, llDebug, "debug is filtered");
    EXPECT_THAT(log.Texts(), ElementsAre("verbose passes", "error 7 passes"));
    EXPECT_EQ(log.Lines()[0].Sender, &sender);
    EXPECT_EQ(log.Lines()[0].Level, llVerbose);
}

TEST_F(LoggerTest, LevelByNameOrNumber) {
    TFFLogger& logger = GetFFLogger();
    logger.SetLogLevelByName("WARNING");
    EXPECT_EQ(logger.LogLevel(), llWarning);
    EXPECT_EQ(ff::av_log_get_level(), 24);
    logger.SetLogLevelByName("40");
    EXPECT_EQ(logger.LogLevel(), llVerbose);
    logger.SetLogLevelByName("-8");
    EXPECT_EQ(logger.LogLevel(), llQuiet);
    EXPECT_THROW(logger.SetLogLevelByName("loud"), std::invalid_argument);
    EXPECT_THROW(logger.SetLogLevelByName("12x"), std::invalid_argument);
    EXPECT_EQ(logger.LogLevel(), llQuiet);
}

TEST_F(LoggerTest, LevelSetBeforeBindingIsAppliedByTheLoaderWhichAlsoRoutesFFmpegsLog) {
    FFLoader().UnloadLib(avutil);
    GetFFLogger().SetLogLevel(llDebug);
    EXPECT_EQ(AVLogLevel(), 32) << "nothing to apply it to yet";
    ASSERT_TRUE(FFLoader().LoadLib(avutil));
    EXPECT_EQ(ff::av_log_get_level(), 48);
    TLogCollector log;
    ff::av_log(nullptr, AV_LOG_ERROR, "through %s\n", "ffmpeg");
    EXPECT_THAT(log.Texts(), ElementsAre("through ffmpeg"));
}

TEST_F(LoggerTest, OnlyOneOwnedLoggerAndItReplacesTheAutoCreatedOne) {
    EXPECT_TRUE(GetFFLogger().AutoCreated());
    {
        TFFLogger owned;
        EXPECT_EQ(&GetFFLogger(), &owned);
        EXPECT_FALSE(owned.AutoCreated());
        try {
            TFFLogger second;
            FAIL() << "a second owned logger was created";
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
        }
    }
    EXPECT_TRUE(GetFFLogger().AutoCreated());
}

TEST_F(LoggerTest, DeliversOnTheMainThreadWithoutHoldingTheLogLock) {
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    ClearLogState();
    std::vector<std::string> lines;
    std::vector<bool> onMain;
    GetFFLogger().SetTriggerEventInMainThread(true);
    GetFFLogger().SetOnLog([&](void*, TThreadID, TLogLevel, const std::string& msg) {
        lines.push_back(msg);
        onMain.push_back(mainThread.IsMainThread());
        if (msg == "from worker") // the window logging while a worker waits for it
            FFLogPiece(nullptr, AV_LOG_INFO, "from main\n");
    });
    std::atomic<bool> done{false};
    std::thread worker([&] {
        FFLogPiece(nullptr, AV_LOG_INFO, "from worker\n");
        done = true;
    });
    while (!done)
        mainThread.Pump(std::chrono::milliseconds(10));
    worker.join();
    SetMainThreadDispatcher(nullptr);
    GetFFLogger().SetOnLog(nullptr);
    ClearLogState();
    EXPECT_THAT(lines, ElementsAre("from worker", "from main"));
    EXPECT_THAT(onMain, ElementsAre(true, true));
}
