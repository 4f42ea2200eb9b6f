#include "app/window/Previewer.h"

#include "app/window/PreviewWindow.h"

#include <QApplication>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <mutex>

struct TPreviewer::TShared {
    std::mutex Lock;
    QImage Pending;          // the newest picture not yet shown
    std::int64_t Frame = 0;
    std::int64_t Time = 0;
    bool Posted = false;     // a call to show Pending is on its way
    std::atomic<bool> Closed{false};
    std::atomic<bool> Gone{false};
    QPointer<TPreviewWindow> Window; // user-interface thread only
};

namespace {
// User-interface thread only.
std::function<void(TPreviewWindow&)>& Placement() {
    static std::function<void(TPreviewWindow&)> place;
    return place;
}

std::int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ShowPending(const std::shared_ptr<TPreviewer::TShared>& shared) {
    QImage picture;
    std::int64_t frame = 0, time = 0;
    {
        std::lock_guard guard(shared->Lock);
        picture.swap(shared->Pending);
        frame = shared->Frame;
        time = shared->Time;
        shared->Posted = false;
    }
    if (shared->Gone || shared->Closed || picture.isNull())
        return;
    if (!shared->Window) {
        shared->Window = new TPreviewWindow(picture.size());
        shared->Window->setAttribute(Qt::WA_DeleteOnClose);
        std::weak_ptr<TPreviewer::TShared> weak = shared;
        shared->Window->OnClosedByUser = [weak] {
            if (auto s = weak.lock())
                s->Closed = true;
        };
        if (Placement())
            Placement()(*shared->Window);
    }
    shared->Window->ShowImage(picture, int(frame), time);
}
} // namespace

TPreviewer::TPreviewer() : shared_(std::make_shared<TShared>()) {}

TPreviewer::~TPreviewer() {
    shared_->Gone = true;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [shared = shared_] { delete shared->Window.data(); }, Qt::QueuedConnection);
}

bool TPreviewer::ClosedByUser() const { return shared_->Closed; }

bool TPreviewer::Show(const std::uint8_t* bits, int width, int height, int stride, std::int64_t frameNumber,
                      std::int64_t timeMicroseconds) {
    if (shared_->Closed)
        return false;
    if (!bits || width <= 0 || height <= 0 || stride < width * 4)
        return false;
    const std::int64_t now = NowUs();
    if (lastShownUs_ >= 0 && now - lastShownUs_ < MinIntervalUs)
        return true;
    lastShownUs_ = now;
    QImage picture = QImage(bits, width, height, stride, QImage::Format_RGB32).copy();
    bool post = false;
    {
        std::lock_guard guard(shared_->Lock);
        shared_->Pending = std::move(picture);
        shared_->Frame = frameNumber;
        shared_->Time = timeMicroseconds;
        post = !shared_->Posted;
        shared_->Posted = true;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (post)
        QMetaObject::invokeMethod(app, [shared = shared_] { ShowPending(shared); }, Qt::QueuedConnection);
    return true;
}

void InstallQtPreviewFactory(std::function<void(TPreviewWindow&)> place) {
    Placement() = std::move(place);
    SetPreviewWindowFactory([]() -> std::unique_ptr<IPreviewWindow> { return std::make_unique<TPreviewer>(); });
}
