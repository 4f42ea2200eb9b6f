#include "app/settings/QtMessages.h"

#include "medialib/FFLog.h"

#include <QString>
#include <QtGlobal>

#include <mutex>

namespace {
TLogLevel LevelOf(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
        return llVerbose;
    case QtWarningMsg:
        return llWarning;
    case QtCriticalMsg:
        return llError;
    case QtFatalMsg:
        return llFatal;
    }
    return llWarning;
}

void ToLogger(QtMsgType type, const QMessageLogContext&, const QString& message) {
    GetFFLogger().Log(nullptr, LevelOf(type), "Qt: " + message.toStdString());
}
} // namespace

void RouteQtMessagesToLogger() {
    static std::once_flag once;
    std::call_once(once, [] { qInstallMessageHandler(ToLogger); });
}
