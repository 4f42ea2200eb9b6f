#pragma once
// The engine's preview window in Qt: a job makes, uses and destroys its previewer on its worker
// thread; the widget lives on the user-interface thread. Pictures are copied and posted without
// waiting, at most one every 100 ms, and a picture still waiting to be shown is replaced by a
// newer one instead of queueing behind it, so a busy user-interface thread never collects a
// backlog of frames.

#include "medialib/PreviewWindow.h"

#include <functional>
#include <memory>

class TPreviewer : public IPreviewWindow {
public:
    TPreviewer();
    // Destroys the widget on the user-interface thread (posted, not awaited).
    ~TPreviewer() override;
    // False once the user has closed the window: the job stops previewing then.
    bool Show(const std::uint8_t* bits, int width, int height, int stride, std::int64_t frameNumber,
              std::int64_t timeMicroseconds) override;
    bool ClosedByUser() const override;

    static constexpr std::int64_t MinIntervalUs = 100000;

    struct TShared;

private:
    std::shared_ptr<TShared> shared_;
    std::int64_t lastShownUs_ = -1;
};

class TPreviewWindow;

// Installs the factory that makes TPreviewer objects (the window calls it at start-up); place,
// when given, puts each new preview window where it belongs before it first shows.
void InstallQtPreviewFactory(std::function<void(TPreviewWindow&)> place = nullptr);
