#pragma once
// The encoder component's base: library loading, the properties and events, the task list, the
// run state and the dispatchers that turn the engine's callbacks into events with the task's
// index. TFFEncoder adds the task operations.
//
// Events and threads:
//   OnProgress, OnPreviewBitmap   worker thread, moved to the user-interface thread (the worker
//                                 waits) when TriggerEventInMainThread is set
//   OnTerminate                   threaded runs: a short-lived delivery thread, never the worker
//                                 that ended; deliveries come one after another in the order the
//                                 tasks ended, the final one (task index -1) last.
//                                 StartTask(0): directly on the calling thread
//   OnBeforeFindStreamInfo        the thread that opens the input (Sender: the job)
//   OnAudioHook, OnVideoInputHook, OnVideoOutputHook
//                                 always directly on the worker thread, which waits: they must
//                                 be quick. Connected per task by the hook switches of the
//                                 output record.
// Each dispatcher holds its own lock while it fills the record and raises the event; both video
// hooks share one.

#include "engine/CustomFFmpeg.h"
#include "engine/DoTerminateThread.h"
#include "engine/FFmpegList.h"
#include "engine/ThreadPriority.h"
#include "medialib/FormatConverter.h" // TBitmapInfo of the preview record

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TCustomEncoder;

using TProgressEvent = std::function<void(TCustomEncoder& Sender, PProgressInfo AProgressInfo)>;
using TTerminateEvent = std::function<void(TCustomEncoder& Sender, const TTerminateInfo& ATerminateInfo)>;
using TPreviewBitmapEvent = std::function<void(TCustomEncoder& Sender, const TPreviewInfo& APreviewInfo)>;
using TBeforeFindStreamInfoEvent = std::function<void(TCustomFFmpeg& Sender, AVFormatContext* AFormatContext)>;

// The hook record of the video hooks. The bitmap (HookPixelBits per pixel, top row first) may be
// drawn on during the event. Update is true on entry: when it is still true afterwards the
// bitmap is written back into the picture. Setting StopHook disconnects the hook after this call.
struct THookInfo {
    int TaskIndex = 0;
    const TBitmapInfo* Bitmap = nullptr;
    int FrameNumber = 0;
    int64_t PTS = 0; // microseconds
    bool Update = true;
    bool StopHook = false;
};
using PHookInfo = THookInfo*;
using TVideoHookEvent = std::function<void(TCustomEncoder& Sender, PHookInfo AHookInfo)>;
// Audio samples of a task, interleaved, in the sample format given (a planar decoder format is
// handed over as its packed counterpart). The handler may change them in place; ASize is in
// bytes.
using TAudioHookEvent = std::function<void(TCustomEncoder& Sender, int ATaskIndex, int64_t APTS, uint8_t* ASample,
                                           int ASize, int ASampleRate, int AChannels, AVSampleFormat ASampleFormat)>;

class TCustomEncoder {
public:
    TCustomEncoder();
    // Stops the tasks and waits for their ends, lets every dispatch in progress finish, then
    // frees the tasks.
    virtual ~TCustomEncoder();
    TCustomEncoder(const TCustomEncoder&) = delete;
    TCustomEncoder& operator=(const TCustomEncoder&) = delete;

    static constexpr int MaxFiles = 20;      // inputs and outputs per task
    static constexpr int IOTimeoutMs = 10000;

    std::string About;
    static const char* Version() { return "3.9"; }

    // Library loading: the loader's EncoderLibs.
    bool AVLibLoaded() const;
    // Loads the libraries from folder (then from the system); false with LastErrMsg set.
    bool LoadAVLib(const std::string& folder);

    // Bit 0 and bit 1 of every task's preview flags, now and for later tasks.
    bool Preview() const { return preview_; }
    void SetPreview(bool value);
    bool PreviewBitmap() const { return previewBitmap_; }
    void SetPreviewBitmap(bool value);
    // Milliseconds between progress events; 100 or less is stored as 100.
    int ProgressInterval() const { return progressInterval_; }
    void SetProgressInterval(int milliseconds) { progressInterval_ = milliseconds <= 100 ? 100 : milliseconds; }
    TThreadPriority ThreadPriority = tpNormal;
    std::atomic<bool> TriggerEventInMainThread{true};

    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;
    TPreviewBitmapEvent OnPreviewBitmap;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
    TAudioHookEvent OnAudioHook;
    TVideoHookEvent OnVideoInputHook;
    TVideoHookEvent OnVideoOutputHook;

    std::string LastErrMsg;

    int TaskCount() const { return tasks_.Count(); }
    TFFmpeg& Task(int index) const { return tasks_.Get(index); }

    // Run state.
    int FinishedCount() const { return finishedCount_; }
    int NextTask() const { return nextTask_; }
    int TasksLeft() const { return tasksLeft_; }
    bool AllTerminated() const { return allTerminated_; }
    bool Threaded() const { return threaded_; }
    bool Working() const { return working_; }
    bool Paused() const { return paused_; }
    // True while Stop is going on (with wait it serves the user-interface thread meanwhile);
    // ClearTasks is refused then.
    bool Stopping() const { return stopping_ > 0; }

protected:
    // The engine's callback slots point here.
    virtual void DoVideoInputHook(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber,
                                  bool& update, bool& stopHook);
    virtual void DoVideoOutputHook(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber,
                                   bool& update, bool& stopHook);
    void DoAudioHook(TCustomFFmpeg& job, AVFrame* samples, int64_t pts);
    // Both video hooks: the record under the shared lock, the handler on the worker.
    void DoVideoHook(const TVideoHookEvent& event, TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts,
                     int frameNumber, bool& update, bool& stopHook);
    virtual void DoPreviewBitmap(TCustomFFmpeg& job, const TBitmapInfo& bitmap, int64_t pts, int frameNumber);
    virtual void DoProgress(TCustomFFmpeg& job, const TProgressInfo& values);
    virtual void DoTerminate(TCustomFFmpeg* job);
    void DoBeforeFindStreamInfo(TCustomFFmpeg& job, AVFormatContext* ic);

    // Connects the job's slots to the dispatchers above.
    void ConnectSlots(TFFmpeg& job);
    void StartNextTask();
    void FinalNotification();
    // Raises OnTerminate with info on a delivery thread, after every earlier delivery.
    void DeliverTerminate(const TTerminateInfo& info);
    // Starts no further task, stops the running ones and waits for their ends and for every
    // delivery (destruction, ClearTasks).
    void EndRuns();
    // Waits for the end-of-run deliveries still going on, serving the user-interface thread.
    void WaitForDeliveries();

    TFFmpegList tasks_;
    std::atomic<int> finishedCount_{0};
    std::atomic<int> nextTask_{-1};
    std::atomic<int> tasksLeft_{0};
    std::atomic<bool> allTerminated_{false};
    std::atomic<bool> threaded_{false};
    std::atomic<bool> working_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> preview_{false};
    std::atomic<bool> previewBitmap_{false};
    std::atomic<int> progressInterval_{500};
    std::atomic<int> stopping_{0};      // Stop calls going on
    std::atomic<bool> closing_{false};  // the destructor has begun: no more events

    // The records, filled before their event is raised, each under its lock.
    TProgressInfo progressInfo_;
    TPreviewInfo previewInfo_;
    THookInfo hookInfo_;
    std::mutex progressLock_, previewLock_, audioHookLock_, videoHookLock_;
    std::vector<uint8_t> audioHookSamples_; // interleaved copy of planar samples, under audioHookLock_
    // Serialises the bookkeeping of DoTerminate and the starting of tasks; re-entered when a
    // task that cannot start reports its end inside StartJob.
    std::recursive_mutex terminateLock_;

    // Terminate deliveries go out in ticket order.
    std::mutex deliveryLock_;
    std::condition_variable deliveryTurn_;
    std::uint64_t nextTicket_ = 0, servedTicket_ = 0;
    TDeliveryThreads deliveries_;
};
