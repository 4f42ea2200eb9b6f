#pragma once
// The worker thread of one job's run.
//
// It is made "suspended": nothing runs until Resume, so the caller of StartJob can finish its
// bookkeeping first. Its body runs the job and signals the job's run-finished event whatever
// happens. The thread is joined when the object is destroyed (the job keeps it until then).

#include "engine/ThreadPriority.h"

#include <mutex>
#include <thread>

class TCustomFFmpeg;

class TConvertThread {
public:
    TConvertThread(TCustomFFmpeg& job, TThreadPriority priority);
    ~TConvertThread();
    TConvertThread(const TConvertThread&) = delete;
    TConvertThread& operator=(const TConvertThread&) = delete;

    // Starts the body the first time; later calls do nothing.
    void Resume();
    bool Started() const;
    // True when the calling thread is this worker.
    bool IsCurrent() const;

private:
    void Execute();

    TCustomFFmpeg& job_;
    const TThreadPriority priority_;
    mutable std::mutex lock_;
    std::thread thread_;
};
