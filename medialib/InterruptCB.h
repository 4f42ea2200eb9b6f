#pragma once
// Per-thread interrupt checks for blocking FFmpeg I/O.
//
// Every AVFormatContext the engine creates gets InterruptCallbackRecord() as its
// interrupt_callback. libavformat polls it while it blocks; it asks the first check registered
// for the polling thread (the job running there) whether to give up. Each thread sees only its
// own entries, so jobs on different threads never interrupt each other.
//
// Output contexts get OutputInterruptCallbackRecord() instead: libavformat polls the callback
// before every write too, and a check that only means to cut blocking reads short (the job's
// stop test) must not fail the writes that flush an output and close it with its trailer.

#include "medialib/FFApi.h"
#include "medialib/ThreadId.h"

#include <mutex>
#include <vector>

using TInterruptCheck = bool (*)(void* Sender);

// The I/O a check may interrupt: everything, or the reading of inputs only.
enum class TInterruptReach { AllIO, InputsOnly };

class TInterruptCB {
public:
    // Adds an entry unless the same thread, Sender and check are registered already.
    void AddInterrupt(TThreadID threadId, void* Sender, TInterruptCheck check,
                      TInterruptReach reach = TInterruptReach::AllIO);
    // Removes the first entry with the same thread, Sender and check.
    void RemoveInterrupt(TThreadID threadId, void* Sender, TInterruptCheck check);
    // The result of the first check registered for that thread; false when there is none. The
    // check runs outside the registry's lock (it may log and so wait for the user-interface
    // thread); call it for the calling thread, whose entries no other thread removes. For the
    // I/O of an output (output true) the checks that only cut input reads short are passed over.
    bool CheckInterrupt(TThreadID threadId, bool output = false);
    void ClearInterrupts();
    std::size_t Count() const;

private:
    struct TEntry {
        TThreadID ThreadId;
        void* Sender;
        TInterruptCheck Check;
        TInterruptReach Reach;
    };
    mutable std::mutex lock_;
    std::vector<TEntry> entries_;
};

// The process-wide registry; nullptr once the program is ending.
TInterruptCB* InterruptRegistry();

// 1 when the calling thread's check says to give up, else 0 (libavformat's convention). The
// opaque value of OutputInterruptCallbackRecord() marks the I/O of an output.
int InterruptCallback(void* opaque);

// The record to put into an input's AVFormatContext::interrupt_callback (and avio_open2).
AVIOInterruptCB InterruptCallbackRecord();
// The record for an output's context and its avio_open2: checks of input reads do not apply.
AVIOInterruptCB OutputInterruptCallbackRecord();

// Registers a check for the calling thread for the lifetime of the scope (a blocking open or
// read), removing it again on every way out.
class TInterruptScope {
public:
    TInterruptScope(void* Sender, TInterruptCheck check, TInterruptReach reach = TInterruptReach::AllIO);
    ~TInterruptScope();
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    TThreadID thread_;
    void* sender_;
    TInterruptCheck check_;
};
