#include "engine/CustomEncoder.h"
#include "engine/EngineSupport.h"
#include "medialib/FFLoad.h"
#include "medialib/MainThread.h"

#include <chrono>
#include <cstring>
#include <thread>

TCustomEncoder::TCustomEncoder() = default;

// The runs end before any lock is taken: a worker inside a progress or preview dispatch holds
// that dispatch's lock while it waits for the user-interface thread, which may be this one.
// From here on the dispatchers raise nothing, as if every slot were already cleared.
TCustomEncoder::~TCustomEncoder() {
    closing_ = true;
    EndRuns();
    // A dispatch that is still going on ends before the locks and the records go.
    {
        std::lock_guard guard(audioHookLock_);
        OnAudioHook = nullptr;
    }
    {
        std::lock_guard guard(videoHookLock_);
        OnVideoInputHook = nullptr;
        OnVideoOutputHook = nullptr;
    }
    {
        std::lock_guard guard(progressLock_);
        OnProgress = nullptr;
    }
    {
        std::lock_guard guard(previewLock_);
        OnPreviewBitmap = nullptr;
    }
    {
        std::lock_guard guard(terminateLock_);
        OnTerminate = nullptr;
    }
    tasks_.Clear();
}

namespace {
// Waits until done() is true. On the user-interface thread the calls handed to it keep being
// served meanwhile: the thread being waited for may itself wait for one of them.
void WaitServing(const std::function<bool()>& done) {
    IMainThreadDispatcher* d = MainThreadDispatcher();
    const bool serve = d && d->IsMainThread();
    while (!done()) {
        if (serve)
            d->ServePending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
} // namespace

void TCustomEncoder::WaitForDeliveries() {
    for (int i = 0; i < tasks_.Count(); ++i) {
        TFFmpeg& task = tasks_.Get(i);
        WaitServing([&] { return task.TerminateFinished.WaitFor(std::chrono::milliseconds(8)); });
    }
    WaitServing([&] { return !deliveries_.Busy(); });
    deliveries_.JoinAll();
}

void TCustomEncoder::EndRuns() {
    {
        // No task starts after this; one that was being started is running when the lock is free.
        std::lock_guard guard(terminateLock_);
        tasksLeft_ = 0;
    }
    // Stopping with wait serves the user-interface thread's queue, so a worker waiting there in
    // a progress or preview dispatch can finish. Tasks that never ran are left as they are:
    // nobody is told about the end of a run that did not happen.
    for (int i = 0; i < tasks_.Count(); ++i) {
        TFFmpeg& task = tasks_.Get(i);
        if (task.Running())
            task.StopJob(true);
    }
    WaitForDeliveries();
}

bool TCustomEncoder::AVLibLoaded() const { return FFLoader().LibsLoaded(EncoderLibs); }

bool TCustomEncoder::LoadAVLib(const std::string& folder) {
    FFLoader().LibraryPath = folder;
    if (FFLoader().LoadLibs(EncoderLibs))
        return true;
    LastErrMsg = FFLoader().LastErrMsg();
    return false;
}

void TCustomEncoder::SetPreview(bool value) {
    preview_ = value;
    for (int i = 0; i < tasks_.Count(); ++i) {
        TFFmpeg& t = tasks_.Get(i);
        t.SetPreviewFlags(value ? t.PreviewFlags() | PreviewWindowBit : t.PreviewFlags() & ~PreviewWindowBit);
    }
}

void TCustomEncoder::SetPreviewBitmap(bool value) {
    previewBitmap_ = value;
    for (int i = 0; i < tasks_.Count(); ++i) {
        TFFmpeg& t = tasks_.Get(i);
        t.SetPreviewFlags(value ? t.PreviewFlags() | PreviewBitmapBit : t.PreviewFlags() & ~PreviewBitmapBit);
    }
}

void TCustomEncoder::ConnectSlots(TFFmpeg& job) {
    job.SetPreviewFlags((preview_ ? PreviewWindowBit : 0) | (previewBitmap_ ? PreviewBitmapBit : 0));
    job.OnBeforeFindStreamInfo = [this](TCustomFFmpeg& j, AVFormatContext* ic) { DoBeforeFindStreamInfo(j, ic); };
    job.OnPreviewBitmap = [this](TCustomFFmpeg& j, const TBitmapInfo& bitmap, int64_t pts, int frame) {
        DoPreviewBitmap(j, bitmap, pts, frame);
    };
    job.HookTargets.Audio = [this](TCustomFFmpeg& j, AVFrame* samples, int64_t pts) { DoAudioHook(j, samples, pts); };
    job.HookTargets.VideoInput = [this](TCustomFFmpeg& j, const TBitmapInfo& bitmap, int64_t pts, int frame,
                                        bool& update, bool& stopHook) {
        DoVideoInputHook(j, bitmap, pts, frame, update, stopHook);
    };
    job.HookTargets.VideoOutput = [this](TCustomFFmpeg& j, const TBitmapInfo& bitmap, int64_t pts, int frame,
                                         bool& update, bool& stopHook) {
        DoVideoOutputHook(j, bitmap, pts, frame, update, stopHook);
    };
}

void TCustomEncoder::DoVideoInputHook(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber,
                                      bool& update, bool& stopHook) {
    DoVideoHook(OnVideoInputHook, job, bitmap, pts, frameNumber, update, stopHook);
}

void TCustomEncoder::DoVideoOutputHook(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber,
                                       bool& update, bool& stopHook) {
    DoVideoHook(OnVideoOutputHook, job, bitmap, pts, frameNumber, update, stopHook);
}

// Without a handler the picture stays as it was: writing back an untouched bitmap would only
// cost a lossy colour round trip.
void TCustomEncoder::DoVideoHook(const TVideoHookEvent& event, TCustomFFmpeg& job, const TBitmapInfo& bitmap,
                                 int64_t pts, int frameNumber, bool& update, bool& stopHook) {
    std::lock_guard guard(videoHookLock_);
    TVideoHookEvent handler = closing_ ? TVideoHookEvent() : event;
    if (!handler) {
        update = false;
        return;
    }
    hookInfo_.TaskIndex = tasks_.IndexOf(&job);
    hookInfo_.Bitmap = &bitmap;
    hookInfo_.FrameNumber = frameNumber;
    hookInfo_.PTS = pts;
    hookInfo_.Update = update;
    hookInfo_.StopHook = stopHook;
    try {
        handler(*this, &hookInfo_);
    } catch (...) {
        hookInfo_.Bitmap = nullptr;
        throw; // the engine logs it and leaves the picture as it was
    }
    hookInfo_.Bitmap = nullptr;
    update = hookInfo_.Update;
    stopHook = hookInfo_.StopHook;
}

// The handler sees interleaved samples: planar ones are interleaved into a buffer of the
// encoder's for the call and spread back over the planes afterwards.
void TCustomEncoder::DoAudioHook(TCustomFFmpeg& job, AVFrame* samples, int64_t pts) {
    std::lock_guard guard(audioHookLock_);
    TAudioHookEvent handler = closing_ ? TAudioHookEvent() : OnAudioHook;
    if (!handler)
        return;
    const AVSampleFormat format = AVSampleFormat(samples->format);
    const int channels = samples->ch_layout.nb_channels;
    const int sampleBytes = ff::av_get_bytes_per_sample(format);
    const int count = samples->nb_samples;
    const std::size_t size = std::size_t(count) * std::size_t(channels) * std::size_t(sampleBytes);
    const int taskIndex = tasks_.IndexOf(&job);
    if (!ff::av_sample_fmt_is_planar(format) || channels == 1) {
        handler(*this, taskIndex, pts, samples->extended_data[0], int(size), samples->sample_rate, channels,
                ff::av_get_packed_sample_fmt(format));
        return;
    }
    audioHookSamples_.resize(size);
    uint8_t* out = audioHookSamples_.data();
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < channels; ++c, out += sampleBytes)
            std::memcpy(out, samples->extended_data[c] + std::ptrdiff_t(i) * sampleBytes, std::size_t(sampleBytes));
    handler(*this, taskIndex, pts, audioHookSamples_.data(), int(size), samples->sample_rate, channels,
            ff::av_get_packed_sample_fmt(format));
    const uint8_t* in = audioHookSamples_.data();
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < channels; ++c, in += sampleBytes)
            std::memcpy(samples->extended_data[c] + std::ptrdiff_t(i) * sampleBytes, in, std::size_t(sampleBytes));
}

void TCustomEncoder::DoBeforeFindStreamInfo(TCustomFFmpeg& job, AVFormatContext* ic) {
    if (OnBeforeFindStreamInfo)
        OnBeforeFindStreamInfo(job, ic);
}

void TCustomEncoder::DoProgress(TCustomFFmpeg& job, const TProgressInfo& values) {
    if (closing_)
        return;
    std::lock_guard guard(progressLock_);
    TProgressEvent handler = OnProgress;
    if (!handler)
        return;
    progressInfo_ = values;
    progressInfo_.TaskIndex = tasks_.IndexOf(&job);
    if (TriggerEventInMainThread)
        CallInMainThread([&] {
            if (!closing_) // served by the destructor's wait: the owner is going
                handler(*this, &progressInfo_);
        });
    else
        handler(*this, &progressInfo_);
}

void TCustomEncoder::DoPreviewBitmap(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber) {
    if (closing_)
        return;
    std::lock_guard guard(previewLock_);
    TPreviewBitmapEvent handler = OnPreviewBitmap;
    if (!handler)
        return;
    previewInfo_.TaskIndex = tasks_.IndexOf(&job);
    previewInfo_.Bitmap = &bitmap;
    previewInfo_.FrameNumber = frameNumber;
    previewInfo_.PTS = pts;
    if (TriggerEventInMainThread)
        CallInMainThread([&] {
            if (!closing_)
                handler(*this, previewInfo_);
        });
    else
        handler(*this, previewInfo_);
    previewInfo_.Bitmap = nullptr;
}

// Deliveries run on their own threads but strictly one after another: each waits for the
// ticket before its own, so the tasks' ends arrive in the order they happened and the final
// notification after all of them. AllTerminated may be set while deliveries are still on
// their way: ClearTasks and the destructor wait for them, serving the user-interface thread.
void TCustomEncoder::DeliverTerminate(const TTerminateInfo& info) {
    std::uint64_t ticket;
    {
        std::lock_guard guard(deliveryLock_);
        ticket = nextTicket_++;
    }
    deliveries_.Start([this, info, ticket] {
        {
            std::unique_lock guard(deliveryLock_);
            deliveryTurn_.wait(guard, [&] { return servedTicket_ == ticket; });
        }
        try {
            TTerminateEvent handler;
            {
                std::lock_guard guard(terminateLock_);
                if (!closing_)
                    handler = OnTerminate;
            }
            if (handler)
                handler(*this, info);
        } catch (...) {
        }
        {
            std::lock_guard guard(deliveryLock_);
            ++servedTicket_;
        }
        deliveryTurn_.notify_all();
    });
}

void TCustomEncoder::DoTerminate(TCustomFFmpeg* job) {
    std::lock_guard guard(terminateLock_);
    if (!job) {
        FinalNotification();
        return;
    }
    if (OnTerminate && !closing_) {
        TTerminateInfo info = job->TerminateResult();
        info.TaskIndex = tasks_.IndexOf(job);
        if (threaded_ || !working_)
            DeliverTerminate(info);
        else
            OnTerminate(*this, info);
    }
    ++finishedCount_;
    if (tasksLeft_ < 1) {
        if (finishedCount_ >= tasks_.Count())
            FinalNotification();
    } else if (threaded_) {
        StartNextTask();
    }
}

void TCustomEncoder::FinalNotification() {
    if (OnTerminate && !closing_) {
        TTerminateInfo info;
        info.TaskIndex = -1;
        info.Finished = true;
        if (threaded_ || !working_)
            DeliverTerminate(info);
        else
            OnTerminate(*this, info);
    }
    allTerminated_ = true;
}

// In threaded mode the start only makes the worker, so it happens under the terminate lock and
// a stop that takes the lock afterwards finds the task running. In the calling thread the start
// is the whole run: the lock is released first, so that a handler or another thread may stop
// the tasks meanwhile.
void TCustomEncoder::StartNextTask() {
    std::unique_lock guard(terminateLock_);
    if (tasksLeft_ <= 0)
        return;
    --tasksLeft_;
    // The index is taken before the start: a task that cannot start reports its end inside
    // StartJob, and that report may already start the task after it.
    int index = nextTask_++;
    TFFmpeg& task = tasks_.Get(index);
    task.ProgressInterval = int64_t(progressInterval_) * 1000;
    const bool threaded = threaded_;
    if (!threaded)
        guard.unlock();
    if (TConvertThread* worker = task.StartJob(threaded, ThreadPriority))
        worker->Resume();
}
