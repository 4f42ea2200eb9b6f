#include "frameinput/FrameAhead.h"

#include <stdexcept>

TFrameAhead::TFrameAhead() { thread_ = std::thread([this] { Run(); }); }

TFrameAhead::~TFrameAhead() {
    Discard();
    {
        std::lock_guard guard(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TFrameAhead::Start(std::function<int()> call) {
    {
        std::lock_guard guard(lock_);
        if (started_)
            throw std::logic_error("a frame is drawn ahead already");
        call_ = std::move(call);
        started_ = true;
        done_ = false;
        failure_ = nullptr;
    }
    changed_.notify_all();
}

bool TFrameAhead::Pending() const {
    std::lock_guard guard(lock_);
    return started_;
}

int TFrameAhead::Collect() {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return !started_ || done_; });
    if (!started_)
        throw std::logic_error("no frame is drawn ahead");
    started_ = false;
    if (failure_) {
        std::exception_ptr failure = std::move(failure_);
        failure_ = nullptr;
        std::rethrow_exception(failure);
    }
    return result_;
}

void TFrameAhead::Discard() {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return !started_ || done_; });
    started_ = false;
    failure_ = nullptr;
}

void TFrameAhead::Run() {
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return quit_ || (started_ && !done_ && call_); });
        if (quit_)
            return;
        std::function<int()> call = std::move(call_);
        call_ = nullptr;
        guard.unlock();
        int result = -1;
        std::exception_ptr failure;
        try {
            result = call();
        } catch (...) {
            failure = std::current_exception();
        }
        guard.lock();
        result_ = result;
        failure_ = failure;
        done_ = true;
        changed_.notify_all();
    }
}
