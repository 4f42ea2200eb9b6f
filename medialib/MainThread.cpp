#include "medialib/MainThread.h"

#include <atomic>
#include <exception>

namespace {
std::atomic<IMainThreadDispatcher*> dispatcherSlot{nullptr};
} // namespace

void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher) { dispatcherSlot.store(dispatcher); }

IMainThreadDispatcher* MainThreadDispatcher() { return dispatcherSlot.load(); }

void CallInMainThread(const std::function<void()>& call) {
    IMainThreadDispatcher* d = dispatcherSlot.load();
    if (!d || d->IsMainThread()) {
        call();
        return;
    }
    std::exception_ptr failure;
    d->RunAndWait([&] {
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure)
        std::rethrow_exception(failure);
}

TQueueMainThread::TQueueMainThread() : mainId_(std::this_thread::get_id()) {}

TQueueMainThread::~TQueueMainThread() {
    IMainThreadDispatcher* self = this;
    dispatcherSlot.compare_exchange_strong(self, nullptr);
    Pump(); // nobody may stay waiting for a queue that is gone
    // A waiter woken by that pump still has to take the lock and leave; the lock and the
    // condition must live until it has.
    std::unique_lock guard(lock_);
    done_.wait(guard, [&] { return waiters_ == 0; });
}

bool TQueueMainThread::IsMainThread() const { return std::this_thread::get_id() == mainId_; }

void TQueueMainThread::RunAndWait(const std::function<void()>& call) {
    TItem item{call, false, nullptr};
    {
        std::unique_lock guard(lock_);
        ++waiters_;
        queue_.push_back(&item);
        queued_.notify_all();
        done_.wait(guard, [&] { return item.Done; });
        --waiters_;
        done_.notify_all();
    }
    if (item.Failure)
        std::rethrow_exception(item.Failure);
}

std::size_t TQueueMainThread::Pending() const {
    std::lock_guard guard(lock_);
    return queue_.size();
}

int TQueueMainThread::Pump(std::chrono::milliseconds wait) {
    std::unique_lock guard(lock_);
    if (queue_.empty() && wait.count() > 0)
        queued_.wait_for(guard, wait, [&] { return !queue_.empty(); });
    int count = 0;
    while (!queue_.empty()) {
        TItem* item = queue_.front();
        queue_.pop_front();
        guard.unlock(); // never hold the queue lock while the call runs
        try {
            item->Call();
        } catch (...) {
            item->Failure = std::current_exception();
        }
        guard.lock();
        item->Done = true;
        done_.notify_all();
        ++count;
    }
    return count;
}
