#pragma once
// The single logger: FFmpeg's own log output and the program's messages reach the application
// through it.
//
// FFmpeg logs pieces of lines; the callback assembles them into whole lines per thread, prefixes
// the first piece of a line with "[class @ address] " (the parent context's first), folds
// identical consecutive lines into "    Last message repeated %d times" and delivers each line
// to OnLog, by default on the user-interface thread (CallInMainThread). Lines are collected under
// the log lock and delivered after it is released, so a worker that waits for the user-interface
// thread never holds a lock that thread may need.

#include "medialib/ThreadId.h"

#include <atomic>
#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>

enum TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

using TLogEvent = std::function<void(void* Sender, TThreadID AThreadID, TLogLevel ALogLevel,
                                     const std::string& ALogMsg)>;

// FFmpeg's numeric levels: (l - 1) * 8, and back (quotient truncated toward zero, plus 1, clamped).
int LogLevelToAV(TLogLevel level);
TLogLevel AVLevelToLogLevel(int avLevel);

class TFFLogger {
public:
    // An owned logger. An auto-created one is destroyed first; when another owned logger exists,
    // throws std::logic_error("Allow creating only one instance of TFFLogger.").
    TFFLogger();
    ~TFFLogger();
    TFFLogger(const TFFLogger&) = delete;
    TFFLogger& operator=(const TFFLogger&) = delete;

    // Threshold for program messages; its FFmpeg value is FFmpeg's threshold once avutil is bound.
    TLogLevel LogLevel() const { return logLevel_.load(); }
    void SetLogLevel(TLogLevel level);
    // "quiet" ... "debug" (any case) or a decimal FFmpeg level; anything else throws
    // std::invalid_argument.
    void SetLogLevelByName(const std::string& text);

    bool TriggerEventInMainThread() const { return inMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { inMainThread_.store(value); }
    void SetOnLog(TLogEvent handler);
    bool AutoCreated() const { return autoCreated_; }

    // Installs LogCallback in FFmpeg and applies the level. avutil must be bound.
    void HookLogCallback();
    // Sets FFmpeg's threshold from LogLevel when avutil is bound; otherwise nothing.
    void ApplyLogLevel();

    // Program messages: delivered when level <= LogLevel, and llVerbose unless LogLevel is llQuiet.
    void Log(void* Sender, TLogLevel level, const std::string& msg);
    void LogFmt(void* Sender, TLogLevel level, const char* fmt, ...) __attribute__((format(printf, 4, 5)));

    // Hands one line to OnLog (on the user-interface thread when TriggerEventInMainThread).
    void Deliver(void* Sender, TThreadID threadId, TLogLevel level, const std::string& msg);

    // The callback installed in FFmpeg.
    static void LogCallback(void* context, int level, const char* fmt, va_list args);

private:
    struct TAutoCreate {};
    explicit TFFLogger(TAutoCreate);
    friend TFFLogger& GetFFLogger();

    bool autoCreated_ = false;
    std::atomic<TLogLevel> logLevel_{llInfo};
    std::atomic<bool> inMainThread_{true};
    std::mutex handlerLock_;
    TLogEvent onLog_;
};

// While it lives, the libraries' error lines written on the calling thread are kept, also when
// the log level hides them: a failure such as an encoder refusing to open can then name the
// library's own reason. Scopes nest; the innermost one collects.
class TFFErrorCapture {
public:
    TFFErrorCapture();
    ~TFFErrorCapture();
    TFFErrorCapture(const TFFErrorCapture&) = delete;
    TFFErrorCapture& operator=(const TFFErrorCapture&) = delete;
    // The error lines, joined by "; ", without their "[name @ 0x...]" prefixes; empty when none.
    std::string Text() const;

private:
    friend class TFFLogger;
    TFFErrorCapture* outer_;
    std::string text_;
};

// The single logger; creates an auto-created one when there is none.
TFFLogger& GetFFLogger();

// Holds back the deliveries that would wait for the user-interface thread, for as long as the
// calling thread holds a lock that thread may also need (the codec lock: a job opening a codec
// on a worker logs, while the user-interface thread frees another job's codecs). The lines are
// delivered in order when the outermost scope on the thread ends. Scopes nest.
class TLogDeferScope {
public:
    TLogDeferScope();
    ~TLogDeferScope();
    TLogDeferScope(const TLogDeferScope&) = delete;
    TLogDeferScope& operator=(const TLogDeferScope&) = delete;
};

// FFmpeg's threshold currently set (initially 32, info).
int AVLogLevel();

// Forgets the last line, the repetition count and unfinished lines (program end, tests).
void ClearLogState();

// printf-style text into a string, the way log lines are built ("" when the format is bad).
std::string FormatV(const char* fmt, va_list args);
