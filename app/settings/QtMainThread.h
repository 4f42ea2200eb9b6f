#pragma once
// Runs calls on the Qt user-interface thread: a blocking queued invocation on an object that lives
// there. Create it on that thread once the application object exists and install it with
// SetMainThreadDispatcher; the destructor uninstalls it.

#include "medialib/MainThread.h"

#include <QObject>

class TQtMainThread : public IMainThreadDispatcher {
public:
    TQtMainThread();
    ~TQtMainThread() override;
    TQtMainThread(const TQtMainThread&) = delete;
    TQtMainThread& operator=(const TQtMainThread&) = delete;

    bool IsMainThread() const override;
    // Waits until the user-interface thread's event loop has run call. Calls still waiting when
    // the dispatcher is destroyed return without running.
    void RunAndWait(const std::function<void()>& call) override;
    // Processes the pending events of the user-interface thread, the queued calls among them.
    void ServePending() override;

private:
    QObject target_; // lives on the creating thread; its events run there
};
