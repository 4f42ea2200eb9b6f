#pragma once
// The run's line under the output folder: while a job runs, how far it is ("0:23 of 1:00 · 21 fps
// · about 0:35 left"); at its end the file written, with Play (the desktop's player) and Show in
// Folder beside it; a failure, or a program the desktop could not start, in words. The engine's
// own progress line stays in the status label above it.

#include "engine/CustomFFmpeg.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class TWindowServices;

class TRunStatus : public QWidget {
    Q_OBJECT
public:
    TRunStatus(TWindowServices& services, QWidget* parent);

    QLabel* Line;
    QPushButton* Play;
    QPushButton* ShowInFolder;
    // What Show in Folder does (the window's Open, which reports its own failure).
    std::function<void()> OnShowInFolder;

    // A run of totalSeconds of slideshow (not above 0: unknown) has begun writing file.
    void Started(const QString& file, double totalSeconds);
    void Paused();
    void Resumed();
    void Progress(const TProgressInfo& info);
    // The run's end: it wrote its whole file, was stopped (what was written is kept) or failed.
    void Finished();
    void Stopped();
    void Failed(const QString& why);
    void Ended(bool failed, bool stopped, const QString& why) { failed ? Failed(why) : stopped ? Stopped() : Finished(); }
    // A change made while the job runs: it goes into the next video, not this one.
    void ChangedDuringRun();
    // The output folder could not be shown (the Open button, or the end of a run).
    void FolderNotShown(const QString& folder);

    QString File() const { return file_; }

private:
    void ShowEnd(const QString& text);
    void PlayFile();
    double WorkSeconds() const;

    TWindowServices& services_;
    QString file_;
    double totalSeconds_ = -1;
    bool running_ = false, paused_ = false, noted_ = false;
    QElapsedTimer clock_;
    qint64 pausedMs_ = 0, pauseBegan_ = 0;
    QString progress_;
    QString endText_; // how the last run ended, until the user does something else
};
