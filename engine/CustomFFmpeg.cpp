#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"
#include "medialib/FormatConverter.h"
#include "medialib/MainThread.h"
#include "medialib/PreviewWindow.h"

#include <cassert>
#include <chrono>
#include <stdexcept>

TCustomFFmpeg::TCustomFFmpeg(int maxFiles) : MaxFiles(maxFiles) {
    if (maxFiles < 1 || maxFiles > 512)
        throw std::logic_error("Assertion failed: MaxFiles must be within 1..512");
    inputs_.reserve(std::size_t(maxFiles));
    outputs_.reserve(std::size_t(maxFiles));
    ResetSettings();
}

TCustomFFmpeg::~TCustomFFmpeg() {
    EndRunForDestruction();
    CloseAll();
}

// A run still going on ends first: its worker uses this object to the last.
void TCustomFFmpeg::EndRunForDestruction() {
    if (running_)
        StopJob(true);
    worker_.reset(); // joins the worker
    deliveries_.JoinAll();
}

void TCustomFFmpeg::ResetSettings() {
    CloseAll();
    settings_ = TJobSettings();
    generic_.Reset();
    expectedDuration_ = -1;
    LastError.clear();
    failed_ = false;
    finished_ = false;
    std::lock_guard guard(runLock_);
    errorMessage_.clear();
}

void TCustomFFmpeg::CloseAll() {
    // Outputs first: their streams may refer to input streams' parameters.
    for (auto& out : outputs_)
        out->Close();
    outputs_.clear();
    inputs_.clear();
    joinOutput_ = -1;
    // The hook modules belong to the run: they are released with its files.
    frameHooks_.Release();
}

std::string TCustomFFmpeg::ErrorMessage() const {
    std::lock_guard guard(runLock_);
    return errorMessage_;
}

TTerminateInfo TCustomFFmpeg::TerminateResult() const {
    TTerminateInfo info;
    info.Finished = finished_;
    info.Failed = failed_;
    info.ErrorMessage = ErrorMessage();
    return info;
}

void TCustomFFmpeg::RecordFailure(const std::string& text) {
    EngineLog(llQuiet, text);
    std::lock_guard guard(runLock_);
    failed_ = true;
    errorMessage_ = text;
}

TConvertThread* TCustomFFmpeg::StartJob(bool threaded, TThreadPriority priority) {
    {
        std::lock_guard guard(runLock_);
        // A queued end-of-run delivery is an end about to be reported: the job does not run.
        if (running_ || terminated_ || terminateQueued_)
            return nullptr;
    }
    const char* missing = outputs_.empty() ? "At least one output file must be specified"
                          : inputs_.empty() ? "At least one input file must be specified"
                                            : nullptr;
    if (missing) {
        CloseAll();
        RecordFailure(missing);
        {
            std::lock_guard guard(runLock_);
            running_ = true; // the notification below ends this "run"
            terminateQueued_ = false;
        }
        ReportEndOfRun();
        return nullptr;
    }
    {
        std::lock_guard guard(runLock_);
        // A stop that came since the check above queued this job's end already: the job does
        // not run (setting running_ here would drop that stop and run an endless input for ever).
        if (running_ || terminated_ || terminateQueued_)
            return nullptr;
        running_ = true;
        stopRequested_ = false;
        finished_ = false;
        terminated_ = false;
        terminateQueued_ = false;
        failed_ = false;
        errorMessage_.clear();
        if (threaded) {
            // Reset here rather than in the worker: a StopJob(wait) right after StartJob must
            // not find the event of the previous idle state and return before the run ends.
            RunFinished.Reset();
            worker_ = std::make_unique<TConvertThread>(*this, priority);
            currentWorker_ = worker_.get();
        }
    }
    if (threaded)
        return worker_.get();
    RunJob();
    return nullptr;
}

// The stop flag is not cleared here: a stop that arrives between StartJob and the worker's
// first step must end the run, not be forgotten.
void TCustomFFmpeg::RunJob() {
    finished_ = false;
    {
        // The transcoder owns the input stream records: it outlives the close of their decoders.
        std::unique_ptr<TTranscoder> transcoder;
        try {
            transcoder = std::make_unique<TTranscoder>(*this);
            transcoder->Run();
            finished_ = !stopRequested_;
        } catch (const std::exception& e) {
            RecordFailure(e.what());
            // Close what was written so far as a playable file where the container allows it.
            for (auto& out : outputs_)
                if (out->HeaderWritten && !out->TrailerWritten) {
                    out->TrailerWritten = true;
                    if (ff::av_write_trailer(out->Context()) < 0)
                        out->TrailerFailed = true;
                }
        }
        try {
            openCodecs_.CloseEncoders();
            openCodecs_.CloseDecoders();
        } catch (const std::exception& e) {
            RecordFailure(e.what());
        }
    }
    try {
        ClosePreview();
        CloseAll();
    } catch (const std::exception& e) {
        RecordFailure(e.what());
    }
    try {
        ReportEndOfRun();
    } catch (const std::exception& e) {
        RecordFailure(e.what());
    }
}

bool TCustomFFmpeg::Execute() {
    StartJob(false);
    return !failed_;
}

void TCustomFFmpeg::ReportEndOfRun() {
    {
        std::lock_guard guard(runLock_);
        running_ = false;
        terminated_ = true;
        currentWorker_ = nullptr;
    }
    if (OnTerminate)
        OnTerminate(*this);
}

namespace {
// Waits for event; the user-interface thread keeps serving the calls handed to it meanwhile,
// because the thread that is to set the event may be waiting in one of them.
void WaitServing(TManualResetEvent& event) {
    IMainThreadDispatcher* d = MainThreadDispatcher();
    while (!event.WaitFor(std::chrono::milliseconds(20)))
        if (d && d->IsMainThread())
            d->ServePending();
}
} // namespace

void TCustomFFmpeg::StopJob(bool wait) {
    stopRequested_ = true;
    TConvertThread* worker;
    {
        std::lock_guard guard(runLock_);
        worker = currentWorker_;
        if (worker) {
            pauseGate_.Open();
            worker->Resume();
        }
    }
    if (!worker) {
        ioClockStart_ = 0;
        return;
    }
    // A worker that stops itself (from a handler it runs) must not wait for its own end.
    if (wait && !worker->IsCurrent())
        WaitServing(RunFinished);
}

void TCustomFFmpeg::TerminateJob(bool wait) {
    bool deliver = false, running;
    {
        std::lock_guard guard(runLock_);
        running = running_;
        if (!running_ && !terminated_ && !terminateQueued_) {
            terminateQueued_ = true;
            deliver = true;
            TerminateFinished.Reset();
        }
    }
    if (running) {
        StopJob(wait);
        return;
    }
    if (deliver)
        deliveries_.Start([this] {
            try {
                ReportEndOfRun();
            } catch (...) {
                TerminateFinished.Set();
                throw;
            }
            TerminateFinished.Set();
        });
    if (wait)
        WaitServing(TerminateFinished);
}

void TCustomFFmpeg::PauseJob() {
    std::lock_guard guard(runLock_);
    if (currentWorker_ && !pauseGate_.IsClosed())
        pauseGate_.Close();
}

void TCustomFFmpeg::ResumeJob() {
    std::lock_guard guard(runLock_);
    if (currentWorker_ && pauseGate_.IsClosed())
        pauseGate_.Open();
}

void TCustomFFmpeg::SetPreviewFlags(int flags) {
    previewFlags_ = flags;
    previewFlagsChanged_ = true;
}

void TCustomFFmpeg::ClosePreview() {
    std::lock_guard guard(previewLock_);
    previewWindow_.reset();
    previewConverter_.reset();
}

// The picture goes to the preview-bitmap event and/or the preview window at most once per
// PreviewInterval. Nothing is converted while neither is wanted. The flags are read without the
// preview lock, so that setting them never waits for a worker that is showing a picture.
void TCustomFFmpeg::PreviewPicture(const AVFrame* picture, int64_t frameNumber, int64_t timeMicroseconds) {
    int flags = previewFlags_;
    std::lock_guard guard(previewLock_);
    if (!(flags & PreviewWindowBit) && previewWindow_)
        previewWindow_.reset();
    bool toEvent = (flags & PreviewBitmapBit) && OnPreviewBitmap;
    bool toWindow = (flags & PreviewWindowBit) && (previewWindow_ || HasPreviewWindowFactory());
    if (!toEvent && !toWindow)
        return;
    int64_t now = ff::av_gettime_relative();
    if (lastPreview_ != 0 && now - lastPreview_ <= PreviewInterval)
        return;
    lastPreview_ = now;
    previewFlagsChanged_ = false;
    if (!previewConverter_) {
        previewConverter_ = std::make_unique<TFormatConverter>();
        previewConverter_->SetBitsPixel(32);
    }
    TFormatConverter& conv = *previewConverter_;
    bool converted = conv.ToRGB(picture, true);
    if (toEvent) {
        if (converted) {
            TBitmapInfo bitmap{0, conv.BitmapWidth(), conv.BitmapHeight(), conv.BitmapStride(), 1, 32, conv.BitmapBits()};
            OnPreviewBitmap(*this, bitmap, timeMicroseconds, int(frameNumber));
        } else {
            EngineLog(llError, conv.LastErrMsg());
            previewFlags_ &= ~PreviewBitmapBit;
        }
    }
    if (toWindow) {
        if (!previewWindow_)
            previewWindow_ = CreatePreviewWindow();
        bool shown = converted && previewWindow_ &&
                     previewWindow_->Show(conv.BitmapBits(), conv.BitmapWidth(), conv.BitmapHeight(),
                                          conv.BitmapStride(), frameNumber, timeMicroseconds);
        if (!shown) {
            if (converted && previewWindow_ && previewWindow_->ClosedByUser())
                EngineLog(llVerbose, "the preview window was closed");
            else
                EngineLog(llError, converted ? "the preview window cannot show the picture" : conv.LastErrMsg());
            previewFlags_ &= ~PreviewWindowBit;
            previewWindow_.reset();
        }
    }
}

bool TCustomFFmpeg::IOTimeoutCheck(void* opaque) {
    auto* job = static_cast<TCustomFFmpeg*>(opaque);
    job->PassPauseGate();
    int64_t start = job->ioClockStart_;
    if (job->IOTimeout <= 0 || start == INT64_MAX)
        return false;
    if (start == 0 || ff::av_gettime() - start > int64_t(job->IOTimeout) * 1000) {
        EngineLog(llInfo, start == 0 ? "connecting/reading/writing canceled" : "connecting/reading/writing timeout");
        return true;
    }
    return false;
}

bool TCustomFFmpeg::StopCheck(void* opaque) {
    auto* job = static_cast<TCustomFFmpeg*>(opaque);
    job->PassPauseGate(); // a paused job holds still inside blocking reads and writes too
    return job->stopRequested_;
}

void TCustomFFmpeg::StartIOClock() { ioClockStart_ = ff::av_gettime(); }

void TCustomFFmpeg::StopIOClock() { ioClockStart_ = INT64_MAX; }
