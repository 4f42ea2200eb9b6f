#pragma once
// The single codec mutex that serialises opening and closing codecs across jobs.
//
// libavcodec no longer asks for a lock itself, so the engine takes it around avcodec_open2 and
// the freeing of codec contexts (TCodecLockGuard). The callback keeps the historical protocol:
// the caller owns a pointer that, once created, points to CodecMutexSlot, which holds the mutex.
// Every failure returns -1 and writes an error line through the logger.

enum TAVLockOp { lockCreate = 0, lockObtain = 1, lockRelease = 2, lockDestroy = 3 };

// 0 on success, -1 on failure; does nothing (0) once the loader is shutting down.
int CodecLockCallback(void** mutex, int op);

// Creates the process-wide codec lock unless it exists; called whenever avcodec has been loaded.
// UnregisterCodecLock destroys it when avcodec is unloaded.
void RegisterCodecLock();
void UnregisterCodecLock();

// Holds the process-wide codec lock for its lifetime. Locked() is false when no lock exists or
// obtaining it failed (the reason is in the log); the engine then refuses the codec operation.
class TCodecLockGuard {
public:
    TCodecLockGuard();
    ~TCodecLockGuard();
    TCodecLockGuard(const TCodecLockGuard&) = delete;
    TCodecLockGuard& operator=(const TCodecLockGuard&) = delete;
    bool Locked() const { return locked_; }

private:
    bool locked_;
};
