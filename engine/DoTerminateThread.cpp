#include "engine/DoTerminateThread.h"

TDoTerminateThread::TDoTerminateThread(std::function<void()> deliver)
    : thread_([done = done_, deliver = std::move(deliver)] {
          try {
              deliver();
          } catch (...) {
          }
          *done = true;
      }) {}

TDoTerminateThread::~TDoTerminateThread() {
    if (thread_.joinable()) {
        if (IsCurrent())
            thread_.detach(); // freed from its own delivery: it ends right after
        else
            thread_.join();
    }
}

void TDeliveryThreads::Start(std::function<void()> deliver) {
    std::list<std::unique_ptr<TDoTerminateThread>> ended;
    {
        std::lock_guard guard(lock_);
        for (auto it = threads_.begin(); it != threads_.end();) {
            auto next = std::next(it);
            if ((*it)->Done() && !(*it)->IsCurrent())
                ended.splice(ended.end(), threads_, it);
            it = next;
        }
        threads_.push_back(std::make_unique<TDoTerminateThread>(std::move(deliver)));
    }
    // joined outside the lock
}

void TDeliveryThreads::JoinAll() {
    for (;;) {
        std::unique_ptr<TDoTerminateThread> t;
        {
            std::lock_guard guard(lock_);
            for (auto it = threads_.begin(); it != threads_.end(); ++it)
                if (!(*it)->IsCurrent()) {
                    t = std::move(*it);
                    threads_.erase(it);
                    break;
                }
        }
        if (!t)
            return;
    }
}

bool TDeliveryThreads::Busy() {
    std::lock_guard guard(lock_);
    for (const auto& t : threads_)
        if (!t->Done() && !t->IsCurrent())
            return true;
    return false;
}
