// pixaroll: the desktop window.
//   pixaroll [FILE ...]          shows the main window with those pictures in its list
//   pixaroll --screenshot FILE   shows it, saves a picture of it to FILE and ends (documentation)
//   pixaroll --help | --version

#include "app/window/MainWindow.h"
#include "app/window/PictureListView.h"
#include "app/window/PlayerPane.h"
#include "app/window/SlideEditor.h"
#include "app/window/WindowUsage.h"

#include <QApplication>
#include <QTimer>

#include <cfenv>
#include <cstring>
#include <iostream>

namespace {
// The answers that need no display, given before Qt starts; false when there is none to give.
bool AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--help") == 0)
            std::cout << ProgramHelpText(WindowUsage());
        else if (std::strcmp(argv[i], "--version") == 0)
            std::cout << "Zemo Pixaroll " << PIXAROLL_VERSION << "\n";
        else if (std::strcmp(argv[i], "--manpage") == 0) // the build makes the manual page with it
            std::cout << ManPage(WindowUsage());
        else if (std::strcmp(argv[i], "--bash-completion") == 0) // and the completion script
            std::cout << BashCompletion(WindowUsage());
        else
            continue;
        return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    if (AnswerWithoutWindow(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zemo Pixaroll");
    QApplication::setApplicationVersion(PIXAROLL_VERSION);
    QApplication::setDesktopFileName("zemopixaroll");
    // The media code expects the default floating-point environment whatever a library changed.
    std::fesetenv(FE_DFL_ENV);

    const TWindowArgs args = ReadWindowArgs(QApplication::arguments());
    if (!args.Error.isEmpty()) {
        std::cerr << "pixaroll: " << args.Error.toStdString() << "\n"
                  << "(\"pixaroll --help\" lists what it takes)\n";
        return 2;
    }

    TfrmMain window;
    window.show();
    OpenStartupFiles(window, args.Files);
    if (args.Player) {
        window.PlayerPane().show();
        window.Slides().View()->SelectRows({0}); // the first slide, not the black it fades in from
    }

    if (!args.Screenshot.isEmpty()) {
        const QString file = args.Screenshot;
        // The player's first frame is drawn on its own thread: a moment longer for it.
        QTimer::singleShot(args.Player ? 2500 : 300, &window, [&window, file] {
            const bool saved = window.grab().save(file);
            std::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
