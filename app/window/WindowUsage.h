#pragma once
// The window program's command line: the table its --help, manual page and completion come
// from, and reading the arguments left after Qt took its own.

#include "app/settings/ProgramUsage.h"

#include <QString>
#include <QStringList>

class TfrmMain;

const TProgramUsage& WindowUsage();

struct TWindowArgs {
    QStringList Files;  // the files to open, as given
    QString Screenshot; // --screenshot FILE
    bool Player = false; // --player: the player pane shown at start
    QString Error;      // a word the program does not take; empty when all is well
};

// arguments[0] is the program; Qt's own options are gone already (QApplication::arguments()).
TWindowArgs ReadWindowArgs(const QStringList& arguments);

// Puts the picture files given on the command line into the window's list, in their order and
// with absolute paths; a name that is no file or no picture is logged and skipped.
void OpenStartupFiles(TfrmMain& window, const QStringList& files);
