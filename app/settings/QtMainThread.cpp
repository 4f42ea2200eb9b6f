#include "app/settings/QtMainThread.h"

#include <QCoreApplication>
#include <QThread>

TQtMainThread::TQtMainThread() = default;

TQtMainThread::~TQtMainThread() {
    if (MainThreadDispatcher() == this)
        SetMainThreadDispatcher(nullptr);
}

bool TQtMainThread::IsMainThread() const { return QThread::currentThread() == target_.thread(); }

void TQtMainThread::RunAndWait(const std::function<void()>& call) {
    QMetaObject::invokeMethod(&target_, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void TQtMainThread::ServePending() { QCoreApplication::processEvents(); }
