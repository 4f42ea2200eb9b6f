#include "app/window/MainWindow.h"

#include "app/window/CodecOptionsPanel.h"
#include "app/window/MusicOptions.h"
#include "app/window/MusicTimingPanel.h"
#include "app/window/MotionChoice.h"
#include "app/window/Banner.h"
#include "app/window/DirectoryDialog.h"
#include "app/window/EditMenu.h"
#include "app/window/PlayerPane.h"
#include "app/window/PreviewPlacement.h"
#include "app/window/Previewer.h"
#include "app/window/PictureListView.h"
#include "app/window/ProjectMenu.h"
#include "app/window/RunStatus.h"
#include "app/window/SlideEditor.h"
#include "app/window/SlidePanel.h"
#include "app/window/WindowBinder.h"
#include "app/window/WindowServices.h"
#include "app/window/WindowParts.h"
#include "app/window/WindowTexts.h"

#include <algorithm>
#include <QCoreApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace texts = window_texts;

static QString Q(const std::string& text) { return QString::fromStdString(text); }

TfrmMain::TfrmMain(TWindowServices* services, QWidget* parent) : QMainWindow(parent), services_(services) {
    if (!services_) {
        ownServices_ = std::make_unique<TWindowServices>();
        services_ = ownServices_.get();
    }
    FormCreate();
    BuildControls();
    BuildMenu();
    setWindowTitle("Zemo Pixaroll Free Version");
    // A fixed single border with the system menu and the minimise box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TfrmMain::~TfrmMain() {
    // The File menu listens to the document, which goes with the window's controls.
    delete player_;
    player_ = nullptr;
    delete edit_;
    edit_ = nullptr;
    delete project_;
    project_ = nullptr;
    // Every task ends before the window's parts go away.
    encoder_.Stop(true);
    encoder_.OnProgress = nullptr;
    encoder_.OnTerminate = nullptr;
    SetPreviewWindowFactory(nullptr);
    if (FFLogger)
        FFLogger->SetOnLog(nullptr);
    if (GlobalObject() == &global_)
        SetGlobalObject(nullptr);
}

void TfrmMain::FormCreate() {
    SetGlobalObject(&global_);
    global_.SetIniFileName(ConfigFolderPath() + "zemopixaroll.ini");
    global_.SetAppTitle("Zemo Pixaroll");
    global_.SetVersionText(VersionTextOf(PIXAROLL_VERSION));
    global_.SetHomePageUrl(texts::HomePageUrl);
    global_.SetHelpUrl(texts::HelpUrl);

    // Calls handed to the user-interface thread (log lines, frames, progress) run in this
    // window's event loop.
    if (!MainThreadDispatcher()) {
        mainThread_ = std::make_unique<TQtMainThread>();
        SetMainThreadDispatcher(mainThread_.get());
    }
    FFLogger = std::make_unique<TFFLogger>();
    FFLogger->SetOnLog([this](void*, TThreadID id, TLogLevel level, const std::string& msg) {
        FFLoggerLog(id, level, msg);
    });

    InstallQtPreviewFactory(PreviewBeside(this, [this] { return Ini(); }));
    // Progress arrives on this thread (the worker waits for it); the end of a task arrives on a
    // delivery thread and is handed over without waiting, so the window's work runs here.
    encoder_.OnProgress = [this](TCustomEncoder&, PProgressInfo info) { FFEncoderProgress(*info); };
    encoder_.OnTerminate = [this](TCustomEncoder&, const TTerminateInfo& info) {
        QMetaObject::invokeMethod(this, [this, info] { FFEncoderTerminate(info); }, Qt::QueuedConnection);
    };
}

void TfrmMain::BuildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(6, 2, 6, 5);
    root->setSpacing(3);

    root->addWidget(BuildBanner());

    auto* columns = new QHBoxLayout;
    columns->setSpacing(8);
    root->addLayout(columns, 1);

    // Left: the pictures, the soundtrack and the timing.
    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    columns->addLayout(left, 1);
    auto* listButtons = new QHBoxLayout;
    btnVideo = new QPushButton("Add Photos", central);
    btnClear = new QPushButton("Clear", central);
    listButtons->addWidget(btnVideo);
    listButtons->addWidget(btnClear);
    listButtons->addStretch(1);
    left->addLayout(listButtons);
    lstPictures = new QListWidget(central);
    lstPictures->setMinimumHeight(60);
    // The picture list with thumbnails stands where the list box stood; the list box stays,
    // hidden, holding the same paths (the slide editor keeps it in step with the document).
    lstPictures->hide();
    slides_ = new TSlideEditor(central, lstPictures);
    slides_->OnSkipped = [this](const QString& file) { AddLog("***Not a picture file, skipped: " + file); };
    slides_->OnRefused = [this](const QString&, const QString& why) { AddLog("***" + why + ", skipped"); };
    slides_->FrameSizeText = [this] { return cmbVideoSize->currentText(); };
    slides_->View()->setMinimumHeight(60);
    left->addWidget(slides_->View(), 1);
    left->addWidget(slides_->Panel());
    auto* audioRow = new QHBoxLayout;
    btnAudio = new QPushButton("Add Audio", central);
    txtAudio = new QLineEdit(central);
    txtAudio->setEnabled(false);
    audioRow->addWidget(btnAudio);
    audioRow->addWidget(txtAudio, 1);
    left->addLayout(audioRow);
    chkPictures = new QCheckBox("Break when no pictures", central);
    chkPictures->setChecked(true);
    chkRandomEffect = new QCheckBox("Random effects", central);
    auto* delays = new QGridLayout;
    delays->setVerticalSpacing(3);
    edtPictureDelay = MakeDelayEdit(central, 3000);
    edtTransitionDelay = MakeDelayEdit(central, 100);
    edtPictureDelay->setValue(5);
    edtTransitionDelay->setValue(2);
    auto* lblPhotoDelay = new QLabel("Photos delay:", central);
    lblPhotoDelay->setBuddy(edtPictureDelay);
    auto* lblEffectDelay = new QLabel("Effect delay:", central);
    lblEffectDelay->setBuddy(edtTransitionDelay);
    delays->addWidget(lblPhotoDelay, 0, 0);
    delays->addWidget(edtPictureDelay, 0, 1);
    delays->addWidget(new QLabel("seconds", central), 0, 2);
    delays->addWidget(lblEffectDelay, 1, 0);
    delays->addWidget(edtTransitionDelay, 1, 1);
    delays->addWidget(new QLabel("seconds", central), 1, 2);
    delays->setColumnStretch(3, 1);
    left->addLayout(delays);

    // Right: the output options.
    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    columns->addLayout(right);
    auto* videoGroup = new QGroupBox("Outpur Video Option", central);
    auto* videoForm = new QFormLayout(videoGroup);
    videoForm->setContentsMargins(6, 4, 6, 4);
    videoForm->setVerticalSpacing(3);
    cmbFormat = new QComboBox(videoGroup);
    btnDefault = new QPushButton("Default", videoGroup);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(cmbFormat, 1);
    formatRow->addWidget(btnDefault);
    videoForm->addRow("Format:", formatRow);
    cmbVideoSize = new QComboBox(videoGroup);
    cmbVideoSize->setEditable(true);
    cmbVideoSize->setInsertPolicy(QComboBox::NoInsert);
    cmbVideoSize->setEditText("320x240");
    pnlCodec = new TCodecOptionsPanel([this] { return Ini(); }, videoGroup);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(cmbVideoSize, 1);
    sizeRow->addWidget(pnlCodec->cmbFraming);
    cmbMotion = new TMotionChoice([this] { return Ini(); }, videoGroup);
    sizeRow->addWidget(cmbMotion);
    videoForm->addRow("Video Size:", sizeRow);
    cmbBitRate = new QComboBox(videoGroup);
    videoForm->addRow("BitRate(kbps):", cmbBitRate);
    cmbFramerate = new QComboBox(videoGroup);
    cmbFramerate->addItems(texts::FrameRates); // given by the window's design
    videoForm->addRow("Frame Rate:", cmbFramerate);
    videoForm->addRow(pnlCodec);
    right->addWidget(videoGroup);

    auto* audioGroup = new QGroupBox("Outpur Audio Option", central);
    auto* audioForm = new QFormLayout(audioGroup);
    audioForm->setContentsMargins(6, 4, 6, 4);
    audioForm->setVerticalSpacing(3);
    cmbSampleRate = new QComboBox(audioGroup);
    audioForm->addRow("Sample Rate:", cmbSampleRate);
    rdoStereo = new QRadioButton("Stereo", audioGroup);
    rdoStereo->setChecked(true);
    rdoMono = new QRadioButton("Mono", audioGroup);
    auto* channels = new QHBoxLayout;
    channels->addWidget(rdoStereo);
    channels->addWidget(rdoMono);
    channels->addStretch(1);
    audioForm->addRow("Channels:", channels);
    right->addWidget(audioGroup);
    right->addWidget(chkPictures);
    right->addWidget(chkRandomEffect);
    pnlMusicTiming = new TMusicTimingPanel([this] { return Ini(); }, central);
    right->addWidget(pnlMusicTiming);
    right->addStretch(1);

    // Bottom: the output folder, the progress and the run buttons.
    auto* dirRow = new QHBoxLayout;
    edtDir = new QLineEdit(central);
    edtDir->setEnabled(false);
    btnBrows = new QPushButton("Brows", central);
    btnOpen = new QPushButton("Open", central);
    dirRow->addWidget(new QLabel("Output Directory:", central));
    dirRow->addWidget(edtDir, 1);
    dirRow->addWidget(btnBrows);
    dirRow->addWidget(btnOpen);
    root->addLayout(dirRow);

    lblStatus = new QLabel("Status", central);
    lblStatus->setMinimumWidth(100);
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    root->addWidget(lblStatus);
    runStatus_ = new TRunStatus(*services_, central);
    runStatus_->OnShowInFolder = [this] { btnOpenClick(); };
    root->addWidget(runStatus_);

    auto* runRow = new QHBoxLayout;
    ProgressBar1 = new QProgressBar(central);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    btnStart = new QPushButton("&Start", central);
    btnPause = new QPushButton("&Pause", central);
    btnStop = new QPushButton("S&top", central);
    btnExit = new QPushButton("&Exit", central);
    runRow->addWidget(ProgressBar1, 1);
    for (QPushButton* b : {btnStart, btnPause, btnStop, btnExit})
        runRow->addWidget(b);
    root->addLayout(runRow);

    // The client area is 596 by 397 unless the fonts need more.
    central->setMinimumSize(596, 397);

    // The log collects every line of the program run; it lives hidden in a window of its own.
    logWindow_ = MakeLogWindow(this, mmoLog);

    connect(cmbFormat, &QComboBox::activated, this, &TfrmMain::cmbFormatChange);
    connect(cmbFormat, &QComboBox::currentIndexChanged, pnlCodec,
            [this](int position) { pnlCodec->ShowForRow(ContainerAt(position)); });
    connect(cmbBitRate, &QComboBox::activated, this, &TfrmMain::cmbBitRateChange);
    connect(cmbVideoSize, &QComboBox::activated, this, &TfrmMain::cmbVideoSizeChange);
    connect(cmbVideoSize->lineEdit(), &QLineEdit::textEdited, this, &TfrmMain::cmbVideoSizeChange);
    connect(cmbFramerate, &QComboBox::activated, this, &TfrmMain::cmbFramerateChange);
    connect(cmbSampleRate, &QComboBox::activated, this, &TfrmMain::cmbSampleRateChange);
    connect(rdoStereo, &QRadioButton::clicked, this, &TfrmMain::rdoStereoClick);
    connect(rdoMono, &QRadioButton::clicked, this, &TfrmMain::rdoMonoClick);
    connect(btnDefault, &QPushButton::clicked, this, &TfrmMain::btnDefaultClick);
    connect(btnExit, &QPushButton::clicked, this, &TfrmMain::btnExitClick);
    connect(btnVideo, &QPushButton::clicked, this, &TfrmMain::btnVideoClick);
    connect(btnClear, &QPushButton::clicked, this, &TfrmMain::btnClearClick);
    connect(btnAudio, &QPushButton::clicked, this, &TfrmMain::btnAudioClick);
    connect(txtAudio, &QLineEdit::textChanged, pnlMusicTiming,
            [this](const QString& file) { pnlMusicTiming->ShowForSoundtrack(!file.isEmpty()); });
    connect(btnBrows, &QPushButton::clicked, this, &TfrmMain::btnBrowsClick);
    connect(btnOpen, &QPushButton::clicked, this, &TfrmMain::btnOpenClick);
    connect(btnStart, &QPushButton::clicked, this, &TfrmMain::btnStartClick);
    connect(btnPause, &QPushButton::clicked, this, &TfrmMain::btnPauseClick);
    connect(btnStop, &QPushButton::clicked, this, &TfrmMain::btnStopClick);
}

QWidget* TfrmMain::BuildBanner() {
    return img1 = new TBanner(this, [this] { OpenAddress(Q(global_.HomePageUrl())); });
}

void TfrmMain::BuildMenu() {
    dlgMusic = new TMusicOptions([this] { return Ini(); }, *services_, this);
    const TWindowControls controls{.Pictures = lstPictures, .Audio = txtAudio,
        .BreakWhenNoPictures = chkPictures, .RandomEffects = chkRandomEffect, .PictureDelay = edtPictureDelay,
        .TransitionDelay = edtTransitionDelay, .Format = cmbFormat, .VideoSize = cmbVideoSize,
        .BitRate = cmbBitRate, .FrameRate = cmbFramerate, .SampleRate = cmbSampleRate, .Stereo = rdoStereo,
        .Mono = rdoMono, .OutputFolder = edtDir, .Codec = pnlCodec, .Music = dlgMusic,
        .MusicTiming = pnlMusicTiming, .Motion = cmbMotion};
    binder_ = new TWindowBinder(controls, [this] { return Ini(); }, this);
    binder_->Warn = [this](const std::string& text) { services_->Warning(this, "Warning", Q(text)); };
    project_ = new TProjectMenu(*this, *slides_, *binder_, *services_, global_);
    project_->FillMenu(menuBar()->addMenu("&File"));
    edit_ = new TEditMenu(*this, *slides_, *project_, *binder_);
    edit_->FillMenu(menuBar()->addMenu("E&dit")); // Alt+E stays the Exit button's
    QMenu* slidesMenu = menuBar()->addMenu("Sl&ides"); // Alt+S stays the Start button's
    slides_->FillMenu(slidesMenu);
    slidesMenu->addSeparator();
    actMusic = slidesMenu->addAction("&Music...", dlgMusic, &QDialog::show);
    player_ = new TPlayerPane(*this, *slides_, *edit_, [this] { return JobSettings(); },
                              [this] { return btnStop->isEnabled(); });
    addDockWidget(Qt::RightDockWidgetArea, player_);
    player_->FillMenu(menuBar()->addMenu("&View"));
    AddWebMenus(menuBar(), this, Q(global_.HomePageUrl()), Q(global_.HelpUrl()),
                [this](const QString& url) { OpenAddress(url); });
    // The log explains why a job failed; it is one key away.
    actLog = menuBar()->addAction("&Log", this, &TfrmMain::ShowLog);
    actLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    addAction(actLog);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmMain::FormShow() {
    binder_->LoadSettings();
    SetIdleButtons();
    setWindowTitle(PartsCaption());
    project_->WindowShown();
    edit_->WindowShown();
    // What the user changes while a job runs goes into the next video; the run status says so.
    const auto changed = [this] { if (encoder_.Working()) runStatus_->ChangedDuringRun(); };
    connect(binder_, &TWindowBinder::AnyChoiceChanged, this, changed);
    slides_->Document().Subscribe(nullptr, [changed](const TDocumentChange&) { changed(); });
}

QString TfrmMain::PartsCaption() const { return ClassicCaption(global_); }

void TfrmMain::SetIdleButtons() {
    btnStart->setEnabled(true);
    btnExit->setEnabled(true);
    btnPause->setEnabled(false);
    btnStop->setEnabled(false);
}

void TfrmMain::cmbFormatChange() { binder_->StoreFormat(); }
void TfrmMain::cmbBitRateChange() { binder_->StoreBitRate(); }
void TfrmMain::cmbVideoSizeChange() { binder_->StoreVideoSize(); }
void TfrmMain::cmbFramerateChange() { binder_->StoreFrameRate(); }
void TfrmMain::cmbSampleRateChange() { binder_->StoreSampleRate(); }
void TfrmMain::rdoStereoClick() { binder_->StoreChannels(); }
void TfrmMain::rdoMonoClick() { binder_->StoreChannels(); }

void TfrmMain::btnDefaultClick() { binder_->ApplyDefaults(); }

void TfrmMain::btnExitClick() {
    binder_->StoreDelays();
    close();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // With unsaved work the save question is the only one (Cancel keeps the window); without,
    // the exit question.
    if (project_->HasUnsavedWork() ? project_->MayClose() : FormCloseQuery()) {
        StopBeforeClosing();
        logWindow_->close();
        event->accept();
    } else {
        event->ignore();
    }
}

bool TfrmMain::FormCloseQuery() { return services_->Question(this, "Warning", "Do you really want to exit?"); }

void TfrmMain::btnVideoClick() {
    AddPictures(services_->OpenFiles(this, texts::FileFilter("Picture Files", texts::SlideExtensions)));
}

void TfrmMain::AddPictures(const QStringList& files) {
    QStringList pictures;
    for (const QString& file : files) {
        // A name typed into the dialog may be anything; the slideshow reads pictures only.
        if (texts::HasExtension(file, texts::SlideExtensions))
            pictures << file;
        else
            AddLog("***Not a picture file, skipped: " + file);
    }
    // The document takes them; lstPictures follows it.
    slides_->AppendPictures(pictures);
    btnOpen->setEnabled(lstPictures->count() > 0);
}

void TfrmMain::btnClearClick() { slides_->Document().ClearSlides(); }

void TfrmMain::SetSoundtrack(const QString& file) { txtAudio->setText(file); }

void TfrmMain::btnAudioClick() {
    const QString file = services_->OpenFile(this, texts::FileFilter("Audio Files", texts::AudioExtensions));
    if (!file.isEmpty())
        txtAudio->setText(file);
    btnOpen->setEnabled(lstPictures->count() > 0);
}

void TfrmMain::btnBrowsClick() {
    if (!fmDirectory_)
        fmDirectory_ = new TfmDirectory(*services_, Q(global_.AppTitle()), this);
    fmDirectory_->SetStartFolder(edtDir->text());
    fmDirectory_->exec();
    const QString folder = fmDirectory_->SelectedFolder();
    if (!folder.isEmpty() && folder != edtDir->text())
        binder_->StoreOutputFolder(folder);
}

void TfrmMain::btnOpenClick() {
    const std::string folder = binder_->OutputFolderForOpen();
    if (edtDir->text().size() > 2 && !services_->OpenUrl(Q(folder)))
        runStatus_->FolderNotShown(Q(folder));
}

void TfrmMain::OpenAddress(const QString& address) { services_->OpenUrl(address); }

void TfrmMain::ShowLog() { ShowWindowOnTop(logWindow_); }

void TfrmMain::AddLog(const QString& line) { mmoLog->appendPlainText(line); }

void TfrmMain::FFLoggerLog(TThreadID threadId, TLogLevel level, const std::string& msg) {
    AddLog(QString("#%1.%2: %3").arg(threadId).arg(int(level)).arg(Q(msg)));
}

// --- Run control ---------------------------------------------------------------------------

int TfrmMain::SampleRateOfPosition(int position) { return TWindowBinder::SampleRateOfPosition(position); }

int TfrmMain::ProgressPercent(std::int64_t currentTime, std::int64_t totalDuration) {
    return ProgressPercentOf(currentTime, totalDuration);
}

TSlideshowSettings TfrmMain::JobSettings() const { return binder_->Read(); }

void TfrmMain::btnStartClick() {
    player_->JobStarting(); // the player draws nothing while a job runs
    // Whatever a Start runs into is told, and the window stays.
    try {
        StartJob();
    } catch (const std::exception& e) {
        StartFailed(e.what());
    } catch (...) {
        StartFailed("the job could not be started");
    }
}

void TfrmMain::StartFailed(const QString& why) {
    AddLog("***" + why);
    if (!encoder_.Working())
        SetIdleButtons();
    services_->Exclamation(this, Q(global_.AppTitle()), why);
}

void TfrmMain::StartJob() {
    if (lstPictures->count() == 0) {
        btnVideoClick();
        return;
    }
    // A paused job goes on where it stopped.
    if (jobPaused_) {
        encoder_.Resume();
        jobPaused_ = false;
        runStatus_->Resumed();
        SetRunningButtons();
        return;
    }

    TSlideshowSettings settings = JobSettings();
    // A size the encoder cannot take is refused before anything of the last run is let go.
    if (std::string why = binder_->Refusal(settings); !why.empty()) {
        services_->Exclamation(this, Q(global_.AppTitle()), Q(why));
        return;
    }

    // The last run's tasks go first; they may still refer to the last job's frame input.
    try {
        encoder_.ClearTasks();
    } catch (const std::exception& e) { // the last run is still ending
        AddLog(QString("***") + e.what());
        return;
    }
    job_ = std::make_unique<TSlideshowJob>(encoder_);
    job_->OnLog = [this](const std::string& line) { AddLog(Q(line)); };
    job_->Adapter.OnReadHeader = [this](TFrameInputAdapter&) { AddLog("FrameInput read header"); };
    job_->Adapter.OnReadClose = [this](TFrameInputAdapter&) { AddLog("FrameInput read close"); };
    job_->OutputFolder = [this] { return binder_->OutputFolderForStart(); };
    // The slides' own holds, effects and captions, with the window's choices for the rest.
    TSlideshowData slideshow = slides_->Document().Data();
    slideshow.Output = settings;
    if (!job_->PrepareSequencer(slideshow)) {
        services_->Exclamation(this, Q(global_.AppTitle()), Q(job_->LastError));
        return;
    }
    // The job draws the slides as they stood at Start; changes meanwhile are for the next video.

    const std::string libFolder = QCoreApplication::applicationDirPath().toStdString() + "/LibAV";
    if (!job_->BuildTask(settings, libFolder)) {
        // Missing libraries end Start with the log lines alone; for the rest the log is hidden,
        // so the reason is told here as well.
        if (!job_->LibrariesMissing())
            services_->Exclamation(this, Q(global_.AppTitle()), Q(job_->LastError));
        return;
    }
    SetRunningButtons();
    btnStop->setFocus();
    runFailed_ = runStopped_ = false;
    runError_.clear();
    job_->Start(true);
    runStatus_->Started(Q(job_->OutputFile()), job_->RunSeconds());
}

void TfrmMain::btnPauseClick() {
    btnPause->setEnabled(false);
    btnStart->setEnabled(true);
    jobPaused_ = true;
    encoder_.Pause();
    runStatus_->Paused();
}

void TfrmMain::btnStopClick() {
    SetIdleButtons();
    SetRunControlsEnabled(true);
    ProgressBar1->setValue(0);
    ProgressBar1->repaint();
    lblStatus->clear();
    // A stopped job cannot be resumed.
    jobPaused_ = false;
    runStopped_ = true;
    encoder_.Stop(true);
    // Progress served while the stop waited may have written them again.
    ProgressBar1->setValue(0);
    lblStatus->clear();
}

void TfrmMain::SetRunControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{btnBrows, btnExit, btnOpen, btnVideo, btnAudio, cmbFormat, pnlCodec, pnlCodec->cmbFraming, pnlMusicTiming, cmbMotion})
        w->setEnabled(enabled);
}

void TfrmMain::SetRunningButtons() {
    SetRunControlsEnabled(false);
    btnStart->setEnabled(false);
    btnStop->setEnabled(true);
    btnPause->setEnabled(true);
}

void TfrmMain::FFEncoderProgress(const TProgressInfo& info) {
    lblStatus->setText(QString("Frame number: %1; FPS: %2; Size: %3; Time: %4")
                           .arg(info.FrameNumber).arg(info.FrameRate).arg(info.CurrentSize).arg(info.CurrentTime));
    // Measured against the job's own length where it knows it: the engine's total is the
    // longest input's, and a run that ends with the pictures ends before a longer song.
    const double runSeconds = job_ ? job_->RunSeconds() : 0;
    const std::int64_t total = runSeconds > 0 ? std::int64_t(runSeconds * 1e6) : info.TotalDuration;
    ProgressBar1->setValue(ProgressPercent(info.CurrentTime, total));
    runStatus_->Progress(info);
}

void TfrmMain::FFEncoderTerminate(const TTerminateInfo& info) {
    runFailed_ = runFailed_ || info.Failed;
    if (info.Failed && runError_.isEmpty())
        runError_ = Q(info.ErrorMessage);
    if (info.TaskIndex < 0) {
        jobPaused_ = false;
        btnStart->setEnabled(true);
        btnStop->setEnabled(false);
        btnPause->setEnabled(false);
        SetRunControlsEnabled(true);
        // A run that ended well says so: the bar full, the status line the end's.
        if (!runFailed_ && !runStopped_) {
            ProgressBar1->setValue(100);
            lblStatus->setText("Finished: " + Q(job_ ? job_->OutputFile() : std::string()));
        }
        runStatus_->Ended(runFailed_, runStopped_, runError_);
        btnOpenClick();
    }
    if (info.Failed)
        services_->Exclamation(this, Q(global_.AppTitle()), Q(info.ErrorMessage));
}

void TfrmMain::StopBeforeClosing() {
    if (encoder_.Working())
        encoder_.Stop(true);
}
