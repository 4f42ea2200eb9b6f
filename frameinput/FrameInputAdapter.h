#pragma once
// The component through which the application hands frames it draws itself to the engine.
//
// Every adapter gets a process-unique identity when it is made; the "frameinput" parameter
// string names the adapter by that number ("a=<id>"), and the format's routines find the live
// adapter again through Find. Ids are never reused, so a stale id names no adapter.
//
// Frame events return 0 or more when they supplied a frame and a negative value to end the input
// (the read fails with that value). An event without a handler counts as -1. With
// TriggerEventInMainThread (the default) the handlers run on the user-interface thread through
// CallInMainThread and the reading thread waits; otherwise they run on the reading thread and the
// canvas event is bracketed by the canvas lock. An exception thrown by a handler reaches the code
// that reads the input.

#include "effects/FrameBitmap.h"
#include "frameinput/FrameInputInfo.h"

#include <atomic>
#include <functional>

class TFrameInputAdapter {
public:
    using TNotifyEvent = std::function<void(TFrameInputAdapter& sender)>;
    using TReadFrameCanvasEvent =
        std::function<int(TFrameInputAdapter& sender, TFrameBitmap& canvas, PInputFrameInfo frameInfo)>;
    using TReadFrameDataEvent =
        std::function<int(TFrameInputAdapter& sender, void* data, PInputFrameInfo frameInfo)>;
    using TReadFrameDCEvent =
        std::function<int(TFrameInputAdapter& sender, TFrameDC& dc, PInputFrameInfo frameInfo)>;

    TFrameInputAdapter();
    ~TFrameInputAdapter();
    TFrameInputAdapter(const TFrameInputAdapter&) = delete;
    TFrameInputAdapter& operator=(const TFrameInputAdapter&) = delete;

    // The identity written into the parameter string.
    int Id() const { return id_; }
    // The live adapter of that identity, or nullptr.
    static TFrameInputAdapter* Find(int id);

    bool TriggerEventInMainThread = true;
    // With DrawAhead the canvas event of the next frame is raised as soon as a frame has been
    // handed to the engine, on a thread of the input (passed on to the user-interface thread
    // when events go there), so that drawing overlaps encoding. Frames and order are those of
    // drawing one at a time, but each event comes one frame early: a handler whose frames
    // depend on the engine's pace (a stop asked for by a frame) leaves it off. A reader on the
    // user-interface thread itself draws one frame at a time. Canvas inputs only.
    bool DrawAhead = false;
    TNotifyEvent OnReadHeader;
    TNotifyEvent OnReadClose;
    TReadFrameCanvasEvent OnReadFrameCanvas;
    TReadFrameDataEvent OnReadFrameData;
    TReadFrameDCEvent OnReadFrameDC;
    TReadFrameDataEvent OnReadFrameYUV;

    // The result of the frame event raised last.
    int LastEventResult() const { return lastResult_; }
    // The context of the input opened last; nullptr once it is closed.
    PInputFrameInfo FrameInfo() const { return frameInfo_; }

    // Raised by the "frameinput" routines.
    void ReadHeader(PInputFrameInfo frameInfo);
    void ReadClose(PInputFrameInfo frameInfo);
    int ReadFrameCanvas(TFrameBitmap& canvas, PInputFrameInfo frameInfo);
    int ReadFrameData(void* data, PInputFrameInfo frameInfo);
    int ReadFrameDC(TFrameDC& dc, PInputFrameInfo frameInfo);
    int ReadFrameYUV(void* data, PInputFrameInfo frameInfo);

private:
    // Runs call where the handlers belong.
    void Dispatch(const std::function<void()>& call);
    template <class TEvent, class... TArgs>
    int RaiseFrameEvent(const TEvent& event, TArgs&&... args);

    const int id_;
    std::atomic<int> lastResult_{0};
    std::atomic<PInputFrameInfo> frameInfo_{nullptr};
};
