// pixaroll: the desktop window.
//   pixaroll                     shows the main window
//   pixaroll --screenshot FILE   shows it, saves a picture of it to FILE and ends (documentation)

#include "app/window/MainWindow.h"

#include <QApplication>
#include <QTimer>

#include <cfenv>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zemo Pixaroll");
    QApplication::setApplicationVersion(PIXAROLL_VERSION);
    QApplication::setDesktopFileName("zemopixaroll");
    // The media code expects the default floating-point environment whatever a library changed.
    std::fesetenv(FE_DFL_ENV);

    TfrmMain window;
    window.show();

    const QStringList args = QApplication::arguments();
    const qsizetype shot = args.indexOf("--screenshot");
    if (shot >= 0 && shot + 1 < args.size()) {
        const QString file = args[shot + 1];
        QTimer::singleShot(300, &window, [&window, file] {
            const bool saved = window.grab().save(file);
            std::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
