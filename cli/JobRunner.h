#pragma once
// Running a job of the command line to its end on a worker thread: this thread serves the calls
// the worker hands to it (the frames drawn for the frame input, progress), shows the progress on
// the standard error stream and turns SIGINT and SIGTERM into the job's stop, so that the file
// written so far is closed properly and plays. A second signal ends the program at once.

#include "engine/CustomFFmpeg.h"
#include "medialib/MainThread.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// Catches SIGINT and SIGTERM for its lifetime and restores the previous handlers afterwards.
class TStopSignals {
public:
    TStopSignals();
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;
    // The first signal received (0 while none); its exit status is 128 + the number.
    static int Received();
};

// The progress line: a bar with percent, frames, speed and time left when the stream is a
// terminal, a plain line every few seconds otherwise, nothing when quiet.
class TProgressPrinter {
public:
    // plainEvery: seconds between two plain lines (when the stream is no terminal).
    TProgressPrinter(bool quiet, int64_t expectedFrames, double frameRate, double plainEvery = 5);
    // expectedFrames above 0 gives the percent by frames, else by time against TotalDuration.
    void Show(const TProgressInfo& info);
    // Ends a bar line on a terminal.
    void Finish();
    // The texts, without the bar (tests and the plain lines).
    static std::string Describe(const TProgressInfo& info, int64_t expectedFrames, double frameRate, double elapsedSeconds);

private:
    bool quiet_, terminal_;
    int64_t expectedFrames_;
    double frameRate_;
    double plainEvery_;
    std::chrono::steady_clock::time_point start_, lastPlain_;
    bool shown_ = false;
};

struct TRunControl {
    std::function<void()> Stop;   // asks the run to end, without waiting
    std::function<bool()> Ended;  // the run has reported its end (every notification delivered)
};

// Serves queue until control.Ended(); a caught signal calls control.Stop() once. Returns the
// signal that stopped the run, or 0.
int RunUntilEnd(TQueueMainThread& queue, const TRunControl& control);

// The exit status of a command whose run a signal stopped (128 + the signal, with a note on the
// standard error stream), or 0.
int ReportStop(const char* command, int signal);

// Installs a pumped main-thread queue for its lifetime.
class TMainThreadScope {
public:
    TMainThreadScope() : previous_(MainThreadDispatcher()) { SetMainThreadDispatcher(&queue_); }
    ~TMainThreadScope() { SetMainThreadDispatcher(previous_); }
    TQueueMainThread& Queue() { return queue_; }

private:
    IMainThreadDispatcher* previous_;
    TQueueMainThread queue_;
};
