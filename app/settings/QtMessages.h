#pragma once
// Qt's own messages ("QStandardPaths: XDG_RUNTIME_DIR not set, ...", font warnings) go to the
// program's logger instead of straight to stderr: a command-line tool prints only what it was
// asked for, and whoever listens to the logger sees them with the rest.

// Installs the handler (once; later calls do nothing). Qt's debug and info messages become
// llVerbose lines, warnings llWarning, critical ones llError, each prefixed with "Qt: ".
void RouteQtMessagesToLogger();
