#include "app/window/RunStatus.h"

#include "app/output/RunProgress.h"
#include "app/window/WindowServices.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TRunStatus::TRunStatus(TWindowServices& services, QWidget* parent) : QWidget(parent), services_(services) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    Line = new QLabel(this);
    Line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Line->setTextFormat(Qt::PlainText);
    Play = new QPushButton("Play", this);
    ShowInFolder = new QPushButton("Show in Folder", this);
    row->addWidget(Line, 1);
    row->addWidget(Play);
    row->addWidget(ShowInFolder);
    Play->hide();
    ShowInFolder->hide();
    connect(Play, &QPushButton::clicked, this, &TRunStatus::PlayFile);
    connect(ShowInFolder, &QPushButton::clicked, this, [this] {
        endText_.clear();
        if (OnShowInFolder)
            OnShowInFolder();
    });
}

void TRunStatus::Started(const QString& file, double totalSeconds) {
    file_ = file;
    totalSeconds_ = totalSeconds;
    running_ = true;
    paused_ = noted_ = false;
    pausedMs_ = 0;
    clock_.start();
    endText_.clear();
    progress_ = "Starting " + QFileInfo(file).fileName();
    Line->setText(progress_);
    Line->setToolTip(file);
    Play->hide();
    ShowInFolder->hide();
}

void TRunStatus::Paused() {
    if (!running_ || paused_)
        return;
    paused_ = true;
    pauseBegan_ = clock_.elapsed();
    Line->setText(progress_ + " \u00b7 paused");
}

void TRunStatus::Resumed() {
    if (!running_ || !paused_)
        return;
    paused_ = false;
    pausedMs_ += clock_.elapsed() - pauseBegan_;
    Line->setText(progress_);
}

double TRunStatus::WorkSeconds() const {
    const qint64 now = paused_ ? pauseBegan_ : clock_.elapsed();
    return double(now - pausedMs_) / 1000.0;
}

void TRunStatus::Progress(const TProgressInfo& info) {
    if (!running_)
        return;
    TRunPace pace;
    pace.WrittenSeconds = double(info.CurrentTime) / 1e6;
    pace.TotalSeconds = totalSeconds_;
    pace.FramesPerSecond = info.FrameRate;
    pace.WorkSeconds = WorkSeconds();
    progress_ = QString::fromStdString(RunProgressText(pace));
    if (noted_)
        progress_ += " \u00b7 changes apply to the next video";
    Line->setText(paused_ ? progress_ + " \u00b7 paused" : progress_);
}

void TRunStatus::ShowEnd(const QString& text) {
    running_ = paused_ = false;
    endText_ = text;
    Line->setText(text);
    const bool written = !file_.isEmpty() && QFileInfo(file_).isFile();
    Play->setVisible(written);
    ShowInFolder->setVisible(written);
}

void TRunStatus::Finished() {
    ShowEnd("Written: " + QFileInfo(file_).fileName() + " (" +
            QString::fromStdString(ClockText(WorkSeconds())) + " to make)");
}

void TRunStatus::Stopped() { ShowEnd("Stopped; what was written is kept: " + QFileInfo(file_).fileName()); }

void TRunStatus::Failed(const QString& why) {
    ShowEnd("Failed: " + why);
    // A failed run leaves no file worth playing.
    Play->hide();
}

void TRunStatus::ChangedDuringRun() {
    if (!running_ || noted_)
        return;
    noted_ = true;
    progress_ += " \u00b7 changes apply to the next video";
    Line->setText(progress_);
}

void TRunStatus::FolderNotShown(const QString& folder) {
    const QString why = "No file manager could show the folder " + folder;
    // At the end of a run the line keeps saying how the run ended.
    Line->setText(endText_.isEmpty() ? why : endText_ + " \u00b7 " + why);
    endText_.clear();
}

void TRunStatus::PlayFile() {
    endText_.clear();
    if (file_.isEmpty())
        return;
    if (!QFileInfo(file_).isFile()) {
        Line->setText("The video is gone: " + file_);
        Play->hide();
        return;
    }
    if (!services_.OpenUrl(file_))
        Line->setText("No video player could open " + file_);
}
