#include "engine/FFEncoder.h"
#include "engine/EngineSupport.h"

#include <memory>
#include <stdexcept>

void TFFEncoder::CheckWorking(const char* name) const {
    if (working_)
        throw std::logic_error(Fmt("Cannot %s while working.", name));
}

// Nothing is reported here: the tasks that ran have told their ends already, and those that
// never ran have nothing to tell. A stop going on (whose wait may have served the call that
// came here) still uses the tasks, so it refuses like a run does.
void TFFEncoder::ClearTasks() {
    {
        std::lock_guard guard(terminateLock_);
        if ((working_ && !allTerminated_) || stopping_ > 0)
            throw std::logic_error("Cannot ClearTasks while working.");
    }
    EndRuns();
    std::lock_guard guard(terminateLock_);
    tasks_.Clear();
    LastErrMsg.clear();
    finishedCount_ = 0;
    nextTask_ = -1;
    tasksLeft_ = 0;
    allTerminated_ = false;
    threaded_ = false;
    working_ = false;
    paused_ = false;
}

int TFFEncoder::AddTask(const std::string& fileName, const TInputOptions* options) {
    CheckWorking("AddTask");
    try {
        auto job = std::make_unique<TFFmpeg>(MaxFiles, this);
        job->RaiseOnOptionError = true;
        ConnectSlots(*job);
        if (options) {
            TInputOptions o = *options;
            if (o.FileName.empty())
                o.FileName = fileName;
            job->ApplyInputOptions(o);
        }
        job->IOTimeout = IOTimeoutMs;
        if (!job->OpenInputFile(fileName)) {
            LastErrMsg = job->LastError;
            return -1;
        }
        job->AttachInputInfo(0);
        job->OnProgress = [this](TCustomFFmpeg& j, const TProgressInfo& values) { DoProgress(j, values); };
        job->OnTerminate = [this](TCustomFFmpeg& j) { DoTerminate(&j); };
        std::lock_guard guard(terminateLock_);
        return tasks_.Add(std::move(job));
    } catch (const std::exception& e) {
        LastErrMsg = e.what();
        return -1;
    }
}

bool TFFEncoder::AddInputFile(int taskIndex, const std::string& fileName, const TInputOptions* options) {
    CheckWorking("AddInputFile");
    TFFmpeg& task = tasks_.Get(taskIndex);
    if (task.InputCount() >= MaxFiles) {
        LastErrMsg = Fmt("max input files %d reached", MaxFiles);
        return false;
    }
    int index = task.InputCount();
    try {
        task.RaiseOnOptionError = true;
        if (options) {
            TInputOptions o = *options;
            if (o.FileName.empty())
                o.FileName = fileName;
            task.ApplyInputOptions(o);
        } else {
            task.ResetInputRecord(index);
        }
        task.IOTimeout = IOTimeoutMs;
        if (task.OpenInputFile(fileName)) {
            task.AttachInputInfo(index);
            return true;
        }
        task.ResetInputRecord(index);
        LastErrMsg = task.LastError;
        return false;
    } catch (const std::exception& e) {
        LastErrMsg = e.what();
        return false;
    }
}

bool TFFEncoder::SetOutputFile(int taskIndex, const std::string& fileName, const TOutputOptions* options) {
    CheckWorking("SetOutputFile");
    TFFmpeg& task = tasks_.Get(taskIndex);
    if (task.OutputCount() >= MaxFiles) {
        LastErrMsg = Fmt("max output files %d reached", MaxFiles);
        return false;
    }
    int index = task.OutputCount();
    try {
        task.RaiseOnOptionError = true;
        bool join = false;
        if (options) {
            TOutputOptions o = *options;
            if (o.FileName.empty())
                o.FileName = fileName;
            join = o.Join;
            task.ApplyOutputOptions(o);
        } else {
            task.ResetOutputRecord(index);
        }
        task.IOTimeout = IOTimeoutMs;
        if (task.OpenOutputFile(fileName, join) < 0) {
            LastErrMsg = task.LastError;
            task.ResetOutputRecord(index);
            return false;
        }
        if (options)
            task.ApplyOutputOptionsAfterOpen(index);
        return true;
    } catch (const std::exception& e) {
        LastErrMsg = e.what();
        return false;
    }
}

TFFDecoder& TFFEncoder::InputInfo(int taskIndex, int inputIndex) { return tasks_.Get(taskIndex).InputInfo(inputIndex); }

// The terminate lock is held for the bookkeeping only, never across a run in the calling
// thread: a handler of that run, or another thread, may stop the tasks meanwhile.
void TFFEncoder::StartTask(int threadCount) {
    CheckWorking("StartTask");
    {
        std::lock_guard guard(terminateLock_);
        finishedCount_ = 0;
        nextTask_ = 0;
        tasksLeft_ = tasks_.Count();
        allTerminated_ = false;
        threaded_ = threadCount > 0;
        working_ = true;
        paused_ = false;
        if (tasks_.Count() == 0) {
            FinalNotification(); // nothing to run still ends with the final notification
            return;
        }
    }
    if (threaded_) {
        // Starting a worker is quick: the first ones start under the lock, so a stop waits
        // until they run and then stops them.
        std::lock_guard guard(terminateLock_);
        for (int started = 0; started < threadCount && tasksLeft_ > 0; ++started)
            StartNextTask();
        return;
    }
    while (tasksLeft_ > 0)
        StartNextTask();
}

void TFFEncoder::Pause() {
    if (!working_ || paused_)
        return;
    for (int i = 0; i < tasks_.Count(); ++i)
        tasks_.Get(i).PauseJob();
    paused_ = true;
}

void TFFEncoder::Resume() {
    if (!working_ || !paused_)
        return;
    for (int i = 0; i < tasks_.Count(); ++i)
        tasks_.Get(i).ResumeJob();
    paused_ = false;
}

void TFFEncoder::Stop(bool wait) {
    ++stopping_;
    struct TStopped {
        std::atomic<int>& Count;
        ~TStopped() { --Count; }
    } stopped{stopping_};
    {
        std::lock_guard guard(terminateLock_);
        tasksLeft_ = 0;
    }
    if (!working_)
        return;
    // A stop lets paused tasks go as well; the state says so.
    paused_ = false;
    for (int i = 0; i < tasks_.Count(); ++i)
        tasks_.Get(i).TerminateJob(wait);
}

void TFFEncoder::RemoveTask(int taskIndex) {
    CheckWorking("RemoveTask");
    std::lock_guard guard(terminateLock_);
    tasks_.Delete(taskIndex);
}
