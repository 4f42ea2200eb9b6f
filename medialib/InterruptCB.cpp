#include "medialib/InterruptCB.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace {
// Created before main, destroyed after it; the atomic pointer lets a late callback see that the
// registry is gone instead of touching a destroyed object.
struct TRegistryHolder {
    TRegistryHolder() : Registry(std::make_unique<TInterruptCB>()) { Current.store(Registry.get()); }
    ~TRegistryHolder() { Current.store(nullptr); }
    std::unique_ptr<TInterruptCB> Registry;
    static inline std::atomic<TInterruptCB*> Current{nullptr};
} holder;

// The address that marks the interrupt record of an output; its value means nothing.
char outputMarker;
} // namespace

void TInterruptCB::AddInterrupt(TThreadID threadId, void* Sender, TInterruptCheck check, TInterruptReach reach) {
    std::lock_guard guard(lock_);
    for (const TEntry& e : entries_)
        if (e.ThreadId == threadId && e.Sender == Sender && e.Check == check)
            return;
    entries_.push_back({threadId, Sender, check, reach});
}

void TInterruptCB::RemoveInterrupt(TThreadID threadId, void* Sender, TInterruptCheck check) {
    std::lock_guard guard(lock_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const TEntry& e) {
        return e.ThreadId == threadId && e.Sender == Sender && e.Check == check;
    });
    if (it != entries_.end())
        entries_.erase(it);
}

// The check runs after the lock is released: a job's check logs its time-out, and that line may
// wait for the user-interface thread, which must not find the registry locked meanwhile (it
// registers checks itself when it opens files). Only the polling thread removes its own
// entries, so the entry stays valid while that thread runs its check.
bool TInterruptCB::CheckInterrupt(TThreadID threadId, bool output) {
    TEntry first{};
    {
        std::lock_guard guard(lock_);
        auto it = std::find_if(entries_.begin(), entries_.end(), [&](const TEntry& e) {
            return e.ThreadId == threadId && !(output && e.Reach == TInterruptReach::InputsOnly);
        });
        if (it == entries_.end())
            return false;
        first = *it;
    }
    return first.Check && first.Check(first.Sender);
}

void TInterruptCB::ClearInterrupts() {
    std::lock_guard guard(lock_);
    entries_.clear();
}

std::size_t TInterruptCB::Count() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

TInterruptCB* InterruptRegistry() { return TRegistryHolder::Current.load(); }

int InterruptCallback(void* opaque) {
    TInterruptCB* registry = InterruptRegistry();
    return registry && registry->CheckInterrupt(CurrentThreadId(), opaque == &outputMarker) ? 1 : 0;
}

AVIOInterruptCB InterruptCallbackRecord() { return AVIOInterruptCB{&InterruptCallback, nullptr}; }

AVIOInterruptCB OutputInterruptCallbackRecord() { return AVIOInterruptCB{&InterruptCallback, &outputMarker}; }

TInterruptScope::TInterruptScope(void* Sender, TInterruptCheck check, TInterruptReach reach)
    : thread_(CurrentThreadId()), sender_(Sender), check_(check) {
    if (TInterruptCB* registry = InterruptRegistry())
        registry->AddInterrupt(thread_, sender_, check_, reach);
}

TInterruptScope::~TInterruptScope() {
    if (TInterruptCB* registry = InterruptRegistry())
        registry->RemoveInterrupt(thread_, sender_, check_);
}
