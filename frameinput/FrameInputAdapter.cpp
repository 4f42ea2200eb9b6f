#include "frameinput/FrameInputAdapter.h"

#include "medialib/MainThread.h"

#include <map>
#include <mutex>

namespace {
std::mutex registryLock;
int lastId = 0;

std::map<int, TFrameInputAdapter*>& LiveAdapters() {
    static std::map<int, TFrameInputAdapter*> adapters;
    return adapters;
}

int Register(TFrameInputAdapter* adapter) {
    std::lock_guard guard(registryLock);
    int id = ++lastId;
    LiveAdapters()[id] = adapter;
    return id;
}
} // namespace

TFrameInputAdapter::TFrameInputAdapter() : id_(Register(this)) {}

TFrameInputAdapter::~TFrameInputAdapter() {
    std::lock_guard guard(registryLock);
    LiveAdapters().erase(id_);
}

TFrameInputAdapter* TFrameInputAdapter::Find(int id) {
    std::lock_guard guard(registryLock);
    auto it = LiveAdapters().find(id);
    return it == LiveAdapters().end() ? nullptr : it->second;
}

void TFrameInputAdapter::Dispatch(const std::function<void()>& call) {
    if (TriggerEventInMainThread)
        CallInMainThread(call);
    else
        call();
}

template <class TEvent, class... TArgs>
int TFrameInputAdapter::RaiseFrameEvent(const TEvent& event, TArgs&&... args) {
    int result = -1;
    if (event)
        Dispatch([&] { result = event(*this, std::forward<TArgs>(args)...); });
    lastResult_ = result;
    return result;
}

void TFrameInputAdapter::ReadHeader(PInputFrameInfo frameInfo) {
    frameInfo_ = frameInfo;
    if (OnReadHeader)
        Dispatch([&] { OnReadHeader(*this); });
}

void TFrameInputAdapter::ReadClose(PInputFrameInfo frameInfo) {
    PInputFrameInfo expected = frameInfo;
    frameInfo_.compare_exchange_strong(expected, nullptr);
    if (OnReadClose)
        Dispatch([&] { OnReadClose(*this); });
}

int TFrameInputAdapter::ReadFrameCanvas(TFrameBitmap& canvas, PInputFrameInfo frameInfo) {
    if (TriggerEventInMainThread)
        return RaiseFrameEvent(OnReadFrameCanvas, canvas, frameInfo);
    TCanvasLock lock(canvas);
    return RaiseFrameEvent(OnReadFrameCanvas, canvas, frameInfo);
}

int TFrameInputAdapter::ReadFrameData(void* data, PInputFrameInfo frameInfo) {
    return RaiseFrameEvent(OnReadFrameData, data, frameInfo);
}

int TFrameInputAdapter::ReadFrameDC(TFrameDC& dc, PInputFrameInfo frameInfo) {
    return RaiseFrameEvent(OnReadFrameDC, dc, frameInfo);
}

int TFrameInputAdapter::ReadFrameYUV(void* data, PInputFrameInfo frameInfo) {
    return RaiseFrameEvent(OnReadFrameYUV, data, frameInfo);
}
