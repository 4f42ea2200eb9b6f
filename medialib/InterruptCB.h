#pragma once
// Per-thread interrupt checks for blocking FFmpeg I/O.
//
// Every AVFormatContext the engine creates gets InterruptCallbackRecord() as its
// interrupt_callback. libavformat polls it while it blocks; it asks the first check registered
// for the polling thread (the job running there) whether to give up. Each thread sees only its
// own entries, so jobs on different threads never interrupt each other.

#include "medialib/FFApi.h"
#include "medialib/ThreadId.h"

#include <mutex>
#include <vector>

using TInterruptCheck = bool (*)(void* Sender);

class TInterruptCB {
public:
    // Adds an entry unless the same thread, Sender and check are registered already.
    void AddInterrupt(TThreadID threadId, void* Sender, TInterruptCheck check);
    // Removes the first entry with the same thread, Sender and check.
    void RemoveInterrupt(TThreadID threadId, void* Sender, TInterruptCheck check);
    // The result of the first check registered for that thread; false when there is none. The
    // check runs outside the registry's lock (it may log and so wait for the user-interface
    // thread); call it for the calling thread, whose entries no other thread removes.
    bool CheckInterrupt(TThreadID threadId);
    void ClearInterrupts();
    std::size_t Count() const;

private:
    struct TEntry {
        TThreadID ThreadId;
        void* Sender;
        TInterruptCheck Check;
    };
    mutable std::mutex lock_;
    std::vector<TEntry> entries_;
};

// The process-wide registry; nullptr once the program is ending.
TInterruptCB* InterruptRegistry();

// 1 when the calling thread's check says to give up, else 0 (libavformat's convention).
int InterruptCallback(void* opaque);

// The record to put into AVFormatContext::interrupt_callback (and avio_open2).
AVIOInterruptCB InterruptCallbackRecord();

// Registers a check for the calling thread for the lifetime of the scope (a blocking open or
// read), removing it again on every way out.
class TInterruptScope {
public:
    TInterruptScope(void* Sender, TInterruptCheck check);
    ~TInterruptScope();
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    TThreadID thread_;
    void* sender_;
    TInterruptCheck check_;
};
