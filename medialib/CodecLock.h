#pragma once
// The single codec mutex that serialises opening and closing codecs across jobs.
//
// libavcodec no longer asks for a lock itself, so the engine takes it around avcodec_open2 and
// the freeing of codec contexts (TCodecLockGuard). The callback keeps the historical protocol:
// the caller owns a pointer that, once created, points to CodecMutexSlot, which holds the mutex.
// Every failure returns -1 and writes an error line through the logger.

#include "medialib/FFLog.h"

enum TAVLockOp { lockCreate = 0, lockObtain = 1, lockRelease = 2, lockDestroy = 3 };

// 0 on success, -1 on failure; does nothing (0) once the loader is shutting down.
int CodecLockCallback(void** mutex, int op);

// Creates the process-wide codec lock unless it exists; called whenever avcodec has been loaded.
// UnregisterCodecLock destroys it when avcodec is unloaded.
void RegisterCodecLock();
void UnregisterCodecLock();

// Holds the process-wide codec lock for its lifetime. Locked() is false when no lock exists or
// obtaining it failed (the reason is in the log); the engine then refuses the codec operation.
// While the lock is held, log lines of this thread that would wait for the user-interface thread
// are held back and delivered after the release: that thread may itself be waiting for the lock
// (freeing a finished job's codecs), and waiting for each other would hang both.
class TCodecLockGuard {
public:
    TCodecLockGuard();
    ~TCodecLockGuard();
    TCodecLockGuard(const TCodecLockGuard&) = delete;
    TCodecLockGuard& operator=(const TCodecLockGuard&) = delete;
    bool Locked() const { return locked_; }

private:
    TLogDeferScope deferLog_; // made before the lock is taken, ended after it is released
    bool locked_;
};
