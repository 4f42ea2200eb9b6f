#pragma once
// One transcoding job: option settings, the opened inputs and outputs, and the run that reads
// every input and writes every output.
//
// The job is driven like the command-line transcoder it follows: options are applied by name
// ahead of the file they belong to (ApplyOption), each OpenInputFile/OpenOutputFile consumes
// the pending ones, then StartJob runs the transcode on a worker thread of its own or in the
// calling thread (Execute is the latter).
//
// Run control: StopJob, PauseJob and ResumeJob come from the controlling thread; the worker
// polls the stop flag once per loop pass and per duplicated frame, and passes the pause gate at
// the same places and inside the I/O interrupt check. The end of every started run is reported
// exactly once through OnTerminate (on the worker, or on a delivery thread for a job that never
// ran), after the files are closed.

#include "engine/CodecList.h"
#include "engine/ConvertThread.h"
#include "engine/DoTerminateThread.h"
#include "engine/FFmpegException.h"
#include "engine/GenericOptions.h"
#include "engine/JobSettings.h"
#include "engine/ManualResetEvent.h"
#include "engine/PauseGate.h"
#include "engine/Streams.h"
#include "medialib/FrameHook.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IPreviewWindow;
class TFormatConverter;
struct TBitmapInfo;

// The progress record. The engine fills every field but the task index, which the encoder
// component sets.
struct TProgressInfo {
    int TaskIndex = 0;
    int CurrentInput = 0;     // -1 in the final report
    int FrameNumber = 0;
    int FrameRate = 0;
    float Quality = -1;
    float BitRate = 0;        // kbit/s
    int64_t CurrentSize = 0;  // bytes
    int64_t CurrentTime = 0;  // microseconds
    int64_t TotalDuration = -1;
    bool Final = false;
};
using PProgressInfo = TProgressInfo*;

// The end of one task (index -1: every task has ended). A run stopped by the user has both
// booleans false; a failed one has Failed and the error text.
struct TTerminateInfo {
    int TaskIndex = 0;
    bool Finished = false;
    bool Failed = false;
    std::string ErrorMessage;
};

// A preview picture: the bitmap (32-bit BGRA, top row first) is valid only during the event.
struct TPreviewInfo {
    int TaskIndex = 0;
    const TBitmapInfo* Bitmap = nullptr;
    int FrameNumber = 0;
    int64_t PTS = 0; // microseconds
};

// Bits of the preview flags.
constexpr int PreviewWindowBit = 1;  // show the frames in the preview window
constexpr int PreviewBitmapBit = 2;  // raise OnPreviewBitmap

class TCustomFFmpeg;
using TVideoHookSlot = std::function<void(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber,
                                          bool& update, bool& stopHook)>;

class TCustomFFmpeg {
public:
    explicit TCustomFFmpeg(int maxFiles);
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    const int MaxFiles;

    // Applies one option; raises FFmpegException with the option's message.
    void ApplyOption(const std::string& name, const std::string& value);
    // False for the switches that are complete without a value ("an", "y", "shortest", ...).
    static bool OptionNeedsValue(const std::string& name);
    // Opens an input with the pending settings; false with LastError set on failure.
    bool OpenInputFile(const std::string& fileName);
    // Creates an output with its streams; the number of outputs, or -1 with LastError set. With
    // join and more than one input, the output is the inputs one after the other; it must be
    // the job's only output.
    int OpenOutputFile(const std::string& fileName, bool join = false);
    // Every setting back to its default, every table emptied, every file closed.
    void ResetSettings();
    // Closes and frees every file, codec and buffer of the job.
    virtual void CloseAll();

    // Starts a run: none when the job is running or has already reported its end. A job
    // without outputs or inputs fails at once (reported through OnTerminate). Threaded: returns
    // the worker, made suspended; the caller resumes it (StopJob does too). Otherwise the run
    // happens in the calling thread and none is returned.
    TConvertThread* StartJob(bool threaded, TThreadPriority priority = tpNormal);
    // Asks the run to end at its next test. A paused or not yet resumed worker is let go, so it
    // sees the request. With wait, returns when the run has ended; on the user-interface thread
    // the calls that the worker hands to it keep being served meanwhile. Without a worker, an
    // I/O call blocked in the caller's thread is cancelled.
    void StopJob(bool wait = false);
    // StopJob(wait) when running; otherwise, when the end has not been reported yet, reports it
    // on a delivery thread and, with wait, returns once it has been delivered.
    void TerminateJob(bool wait);
    // Holds the worker at its next pause point; ResumeJob lets it go on. Nothing without a worker.
    void PauseJob();
    void ResumeJob();
    // Runs the transcode in the calling thread. Returns true when it completed without error;
    // the error text is in ErrorMessage().
    bool Execute();
    // The body of a run (the worker's, or the caller's): transcode, close, report the end.
    void RunJob();
    // Where the worker waits while the job is paused.
    void PassPauseGate() { pauseGate_.Pass(); }
    bool StopRequested() const { return stopRequested_; }

    bool Running() const { return running_; }
    bool Terminated() const { return terminated_; }
    bool Paused() const { return pauseGate_.IsClosed(); }
    bool Finished() const { return finished_; }
    bool Failed() const { return failed_; }
    std::string ErrorMessage() const;
    // Finished, failed and the error text as the terminate record wants them.
    TTerminateInfo TerminateResult() const;

    // Signalled while no run is going on / no end-of-run delivery thread is busy.
    TManualResetEvent RunFinished{true};
    TManualResetEvent TerminateFinished{true};

    // Preview flags (PreviewWindowBit, PreviewBitmapBit); clearing the window bit makes the
    // worker close the window at its next picture.
    void SetPreviewFlags(int flags);
    int PreviewFlags() const { return previewFlags_; }
    int64_t PreviewInterval = 100000; // microseconds between two previews
    // Called by the video output for every picture about to be encoded.
    void PreviewPicture(const AVFrame* picture, int64_t frameNumber, int64_t timeMicroseconds);

    int InputCount() const { return int(inputs_.size()); }
    int OutputCount() const { return int(outputs_.size()); }
    // Join mode: the one output is made of every input in turn (OpenOutputFile with join and
    // more than one input opened).
    bool JoinMode() const { return joinOutput_ >= 0; }
    AVFormatContext* InputContext(int i) const { return inputs_.at(i)->Context(); }
    AVFormatContext* OutputContext(int i) const { return outputs_.at(i)->Context(); }
    const TJobSettings& Settings() const { return settings_; }
    int64_t ExpectedDuration() const { return expectedDuration_; }
    // The encoders and decoders of the current run that are open (none between runs).
    const TOpenCodecs& OpenCodecs() const { return openCodecs_; }

    std::string LastError;               // why the last open or codec lookup failed
    bool RaiseOnOptionError = true;      // a rejected generic option raises
    int IOTimeout = 10000;               // milliseconds; 0 or less: none
    int64_t ProgressInterval = 500000;   // microseconds
    std::function<void(TCustomFFmpeg&, const TProgressInfo&)> OnProgress;
    std::function<void(TCustomFFmpeg&, AVFormatContext*)> OnBeforeFindStreamInfo;
    // The end of a run; set before the run starts.
    std::function<void(TCustomFFmpeg&)> OnTerminate;
    // A preview picture (PreviewBitmapBit): the bitmap, its time in microseconds, its number.
    std::function<void(TCustomFFmpeg&, const TBitmapInfo&, int64_t, int)> OnPreviewBitmap;
    // The audio hook: every decoded block of audio, before the volume and before any output
    // stream sees it, with its presentation time in microseconds. The frame carries the
    // decoder's sample format, channel layout and rate; its samples may be changed in place.
    // Runs on the thread of the transcode and must be quick.
    std::function<void(TCustomFFmpeg&, AVFrame* samples, int64_t pts)> OnAudioHook;
    // The video hooks: the input hook sees every decoded picture (instead of the "vhook"
    // modules), the output hook every picture about to be encoded. The picture comes as a
    // bitmap of HookPixelBits (top row first) with its time in microseconds and its number in
    // its stream. update (true on entry): when still true afterwards, the bitmap is written back
    // into the picture; stopHook (false on entry): when set, the hook is disconnected after this
    // call. Both run on the thread of the transcode and must be quick.
    TVideoHookSlot OnVideoInputHook;
    TVideoHookSlot OnVideoOutputHook;
    int HookPixelBits = 24; // 8, 15, 16, 24 or 32

protected:
    friend class TTranscoder;

    // Option handlers that need more than a field (see Options.cpp).
    void SetBitRate(const std::string& name, const std::string& value);
    void SetGeneric(const std::string& name, const std::string& value);
    void AddStreamMap(const std::string& value);
    void AddMetadataMap(const std::string& value);
    void AddChapterMap(const std::string& value);
    void AddStreamId(const std::string& value);
    void SetTag(const std::string& name, const std::string& value);
    void SetTsScale(const std::string& value);
    void SetMatrix(std::vector<uint16_t>& matrix, const std::string& value);
    void SetMetadata(const std::string& value);
    void AddVideoHook(const std::string& value);
    // A disc target ("vcd", "pal-dvd", ...); fallbackPal is the norm when nothing decides it.
    void ApplyTarget(const std::string& value, bool fallbackPal);
    // A preset ("apre", "vpre", "spre": built in or a file; "fpre": a file) line by line.
    void ApplyPreset(const std::string& option, const std::string& value);
    void NewStream(AVMediaType type);
    void CheckBitRateWarning(AVMediaType type);

    // Output stream creation (OutputFile.cpp).
    void CreateOutputStream(TOutputFile& out, AVMediaType type);
    void SetupVideoEncoder(TOutputStream& ost);
    void SetupAudioEncoder(TOutputStream& ost);

    // Checks registered per thread with the interrupt registry: the I/O time-out around blocking
    // opens, analysis and seeks; the stop test for the reads of the transcode loop (not for the
    // flush and trailer, which must still be written after a stop).
    static bool IOTimeoutCheck(void* job);
    static bool StopCheck(void* job);
    void StartIOClock();
    void StopIOClock();

    // Run control (CustomFFmpeg.cpp). Derived classes call EndRunForDestruction first in their
    // destructor, so that no worker is left using their part of the object.
    void EndRunForDestruction();
    void RecordFailure(const std::string& text);
    void ReportEndOfRun();
    void ClosePreview();

    TJobSettings settings_;
    TGenericOptions generic_;
    std::vector<std::unique_ptr<TInputFile>> inputs_;
    std::vector<std::unique_ptr<TOutputFile>> outputs_;
    TFrameHooks frameHooks_;             // "vhook" modules, run on every decoded picture
    TOpenCodecs openCodecs_;             // linked by the run as it opens them, closed at its end
    int64_t expectedDuration_ = -1;
    int joinOutput_ = -1;                // the joined output, -1 when not in join mode

    std::atomic<bool> stopRequested_{false};
    std::atomic<int64_t> ioClockStart_{INT64_MAX};
    std::atomic<bool> running_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> failed_{false};
    bool terminateQueued_ = false;          // an end-of-run delivery thread was started
    mutable std::mutex runLock_;            // the flags' transitions, the error text, the worker
    std::string errorMessage_;
    std::unique_ptr<TConvertThread> worker_;
    TConvertThread* currentWorker_ = nullptr; // forgotten when the end is reported
    TPauseGate pauseGate_;
    TDeliveryThreads deliveries_;

    // Preview state, used on the worker under previewLock_.
    std::mutex previewLock_;
    std::atomic<int> previewFlags_{0};
    std::atomic<bool> previewFlagsChanged_{false};
    int64_t lastPreview_ = 0;
    std::unique_ptr<TFormatConverter> previewConverter_;
    std::unique_ptr<IPreviewWindow> previewWindow_;
};
