#include "engine/ConvertThread.h"
#include "engine/CustomFFmpeg.h"

#include <sys/resource.h>
#include <unistd.h>

void ApplyThreadPriority(TThreadPriority priority) {
    static const int niceValues[] = {19, 10, 5, 0, -5, -10, -15};
    int nice = niceValues[priority >= tpIdle && priority <= tpTimeCritical ? priority : tpNormal];
    if (nice != 0)
        (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), nice); // refused without privileges: fine
}

TConvertThread::TConvertThread(TCustomFFmpeg& job, TThreadPriority priority) : job_(job), priority_(priority) {}

TConvertThread::~TConvertThread() {
    std::thread t;
    {
        std::lock_guard guard(lock_);
        t = std::move(thread_);
    }
    if (t.joinable()) {
        if (t.get_id() == std::this_thread::get_id())
            t.detach(); // a job freed from its own end-of-run handler: nothing may follow there
        else
            t.join();
    }
}

void TConvertThread::Resume() {
    std::lock_guard guard(lock_);
    if (!thread_.joinable())
        thread_ = std::thread([this] { Execute(); });
}

bool TConvertThread::Started() const {
    std::lock_guard guard(lock_);
    return thread_.joinable();
}

bool TConvertThread::IsCurrent() const {
    std::lock_guard guard(lock_);
    return thread_.get_id() == std::this_thread::get_id();
}

void TConvertThread::Execute() {
    ApplyThreadPriority(priority_);
    job_.RunFinished.Reset();
    job_.RunJob();
    job_.RunFinished.Set();
}
