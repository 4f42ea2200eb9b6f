#include "medialib/CodecLock.h"

#include "medialib/FFLoad.h"
#include "medialib/FFLog.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

namespace {
// A mutex that its owner may take again (as the codec lock always allowed) and that refuses a
// release by a thread that does not own it instead of corrupting its state.
class TCodecMutex {
public:
    explicit TCodecMutex(int id) : Id(id) {}
    const int Id;

    void Obtain() {
        std::unique_lock guard(lock_);
        const auto me = std::this_thread::get_id();
        free_.wait(guard, [&] { return depth_ == 0 || owner_ == me; });
        owner_ = me;
        ++depth_;
    }
    bool Release() {
        std::lock_guard guard(lock_);
        if (depth_ == 0 || owner_ != std::this_thread::get_id())
            return false;
        if (--depth_ == 0) {
            owner_ = {};
            free_.notify_one();
        }
        return true;
    }

private:
    std::mutex lock_;
    std::condition_variable free_;
    std::thread::id owner_;
    int depth_ = 0;
};

TCodecMutex* CodecMutexSlot = nullptr;
int nextMutexId = 1;

void* processLock = nullptr; // the pointer the engine hands to the callback
bool processLockRegistered = false;

TCodecMutex** SlotOf(void** mutex) { return mutex ? static_cast<TCodecMutex**>(*mutex) : nullptr; }

void LogLock(TLogLevel level, const char* fmt, int value) { GetFFLogger().LogFmt(nullptr, level, fmt, value); }

int Create(void** mutex) {
    TCodecMutex** slot = SlotOf(mutex);
    if (slot && *slot) {
        LogLock(llError, "error, codec mutex [%d] already exist.", (*slot)->Id);
        return -1;
    }
    if (CodecMutexSlot) {
        LogLock(llWarning, "warning, local codec mutex [%d] not destroyed.", CodecMutexSlot->Id);
        delete CodecMutexSlot;
        CodecMutexSlot = nullptr;
    }
    CodecMutexSlot = new (std::nothrow) TCodecMutex(nextMutexId++);
    if (!CodecMutexSlot) {
        GetFFLogger().LogFmt(nullptr, llError, "error, failed to create codec mutex: %s.", "Out of memory");
        return -1;
    }
    LogLock(llDebug, "create codec mutex [%d].", CodecMutexSlot->Id);
    *mutex = &CodecMutexSlot;
    return 0;
}

TCodecMutex* Available(void** mutex) {
    TCodecMutex** slot = SlotOf(mutex);
    if (!slot || !*slot) {
        GetFFLogger().Log(nullptr, llError, "error, codec mutex not available.");
        return nullptr;
    }
    return *slot;
}

int Obtain(void** mutex) {
    TCodecMutex* m = Available(mutex);
    if (!m)
        return -1;
    m->Obtain();
    LogLock(llDebug, "obtain codec mutex [%d].", m->Id);
    return 0;
}

int Release(void** mutex) {
    TCodecMutex* m = Available(mutex);
    if (!m)
        return -1;
    if (!m->Release()) {
        GetFFLogger().LogFmt(nullptr, llError, "error, could not release codec mutex [%d]: %s.", m->Id,
                             "Attempt to release mutex not owned by caller");
        return -1;
    }
    LogLock(llDebug, "release codec mutex [%d].", m->Id);
    return 0;
}

int Destroy(void** mutex) {
    TCodecMutex** slot = SlotOf(mutex);
    if (slot && *slot) {
        LogLock(llDebug, "destory codec mutex [%d].", (*slot)->Id);
        delete *slot;
        *slot = nullptr;
        *mutex = nullptr;
        CodecMutexSlot = nullptr;
    }
    return 0;
}
} // namespace

int CodecLockCallback(void** mutex, int op) {
    if (LoaderShuttingDown())
        return 0;
    switch (op) {
    case lockCreate: return Create(mutex);
    case lockObtain: return Obtain(mutex);
    case lockRelease: return Release(mutex);
    case lockDestroy: return Destroy(mutex);
    default: LogLock(llError, "error, invalid codec mutex operation %d.", int(std::int8_t(op))); return -1;
    }
}

// A repeated load (the encoder loads whenever it starts a task) keeps the existing lock: a job
// running at that moment may hold it, and replacing it would free a mutex in use.
void RegisterCodecLock() {
    if (processLockRegistered && processLock)
        return;
    processLockRegistered = CodecLockCallback(&processLock, lockCreate) == 0;
}

void UnregisterCodecLock() {
    if (processLockRegistered)
        CodecLockCallback(&processLock, lockDestroy);
    processLockRegistered = false;
}

TCodecLockGuard::TCodecLockGuard() : locked_(CodecLockCallback(&processLock, lockObtain) == 0) {}

TCodecLockGuard::~TCodecLockGuard() {
    if (locked_)
        CodecLockCallback(&processLock, lockRelease);
}
