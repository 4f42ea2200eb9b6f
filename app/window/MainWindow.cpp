#include "app/window/MainWindow.h"

#include "app/FrameSizeLimits.h"
#include "app/OutputFolder.h"
#include "app/SettingsKeys.h"
#include "app/window/CodecOptionsPanel.h"
#include "app/window/MusicOptions.h"
#include "app/window/MusicTimingPanel.h"
#include "app/window/MotionChoice.h"
#include "app/window/DirectoryDialog.h"
#include "app/window/EditMenu.h"
#include "app/window/PlayerPane.h"
#include "app/window/Previewer.h"
#include "app/window/PictureListView.h"
#include "app/window/ProjectMenu.h"
#include "app/window/SlideEditor.h"
#include "app/window/SlidePanel.h"
#include "app/window/WindowServices.h"
#include "app/window/WindowTexts.h"

#include <QApplication>
#include <algorithm>
#include <QCoreApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace keys = settings;
namespace texts = window_texts;

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// The banner at the top of the window: drawn here, so no picture file has to travel with it.
class TBanner : public QLabel {
public:
    explicit TBanner(QWidget* parent) : QLabel(parent) {
        setCursor(Qt::PointingHandCursor);
        setMinimumHeight(26);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, QColor(0x1c, 0x3f, 0x74));
        g.setColorAt(1, QColor(0x3f, 0x8f, 0xc9));
        p.fillRect(rect(), g);
        p.setPen(Qt::white);
        QFont f = font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.15);
        p.setFont(f);
        p.drawText(rect().adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, "Zemo Pixaroll");
        p.setFont(font());
        p.drawText(rect().adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignRight,
                   "Photos and music into a video slideshow");
    }
    void mousePressEvent(QMouseEvent*) override {
        if (OnClick)
            OnClick();
    }
};

QSpinBox* DelayEdit(QWidget* parent, int maximum) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(0, maximum);
    // Changed through the arrows only, like a read-only edit with a spin control beside it.
    spin->findChild<QLineEdit*>()->setReadOnly(true);
    return spin;
}

// Selects a stored list position; one outside the list leaves no selection.
void SelectPosition(QComboBox* box, int position) {
    box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
    if (box->currentIndex() < 0 && box->isEditable())
        box->setEditText(QString());
}

// The delay as stored text; not a number gives the default.
int DelayValue(const std::string& text, int def) {
    bool ok = false;
    int value = QString::fromStdString(text).trimmed().toInt(&ok);
    return ok ? value : def;
}
} // namespace

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

    InstallQtPreviewFactory();
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
    edtPictureDelay = DelayEdit(central, 3000);
    edtTransitionDelay = DelayEdit(central, 100);
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

    // The client area is 596 by 397 unless the fonts need more (a large scale factor scales
    // both, so the proportions stay).
    central->setMinimumSize(596, 397);

    // The log collects every line of the program run; it lives hidden in a window of its own.
    logWindow_ = new QDialog(this);
    logWindow_->setWindowTitle("Log");
    logWindow_->resize(640, 360);
    auto* logLayout = new QVBoxLayout(logWindow_);
    mmoLog = new QPlainTextEdit(logWindow_);
    mmoLog->setReadOnly(true);
    mmoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    logLayout->addWidget(mmoLog);

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
    auto* banner = new TBanner(this);
    banner->OnClick = [this] { OpenAddress(Q(global_.HomePageUrl())); };
    img1 = banner;
    return banner;
}

void TfrmMain::BuildMenu() {
    dlgMusic = new TMusicOptions([this] { return Ini(); }, *services_, this);
    project_ = new TProjectMenu(*this, *slides_);
    project_->FillMenu(menuBar()->addMenu("&File"));
    edit_ = new TEditMenu(*this, *slides_, *project_);
    edit_->FillMenu(menuBar()->addMenu("&Edit"));
    QMenu* slidesMenu = menuBar()->addMenu("&Slides");
    slides_->FillMenu(slidesMenu);
    slidesMenu->addSeparator();
    actMusic = slidesMenu->addAction("&Music...", dlgMusic, &QDialog::show);
    player_ = new TPlayerPane(*this, *slides_, *edit_);
    addDockWidget(Qt::RightDockWidgetArea, player_);
    player_->FillMenu(menuBar()->addMenu("&View"));
    QMenu* related = menuBar()->addMenu("Related software");
    for (const texts::TRelatedProduct& product : texts::RelatedSoftware) {
        QString url = product.Url;
        related->addAction(product.Name, this, [this, url] { OpenAddress(url); });
    }
    menuBar()->addAction("Web Site", this, [this] { OpenAddress(Q(global_.HomePageUrl())); });
    menuBar()->addAction("Help", this, [this] { OpenAddress(Q(global_.HelpUrl())); });
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
    const TIniFile ini = Ini();
    const std::string defaultDir = ProfileFolder() + "/pixaroll";
    auto firstRunFolder = [&] {
        edtDir->setText(Q(defaultDir));
        ini.WriteString(keys::Section, keys::OutPutDir, defaultDir);
        ini.WriteBool(keys::Section, keys::FirstRun, false);
    };
    if (ini.ReadBool(keys::Section, keys::FirstRun, true))
        firstRunFolder();
    else
        edtDir->setText(Q(ini.ReadString(keys::Section, keys::OutPutDir, "")));
    edtDir->setEnabled(false);
    if (!QFileInfo(edtDir->text()).isDir())
        firstRunFolder();

    SetIdleButtons();
    chkRandomEffect->setChecked(true);

    cmbSampleRate->clear();
    cmbSampleRate->addItems(texts::SampleRates);
    cmbFormat->clear();
    cmbFormat->addItems(texts::Formats);
    pnlCodec->Load();
    dlgMusic->Load();
    pnlMusicTiming->Load();
    cmbMotion->Load();
    const int format = ini.ReadInteger(keys::Section, keys::Format, 0);
    SelectPosition(cmbFormat, format);
    cmbBitRate->clear();
    cmbBitRate->addItems(texts::BitRates);
    SelectPosition(cmbBitRate, ini.ReadInteger(keys::Section, keys::BitRateIndex, 0));
    cmbVideoSize->clear();
    cmbVideoSize->addItems(texts::VideoSizes);
    SelectPosition(cmbVideoSize, ini.ReadInteger(keys::Section, keys::VideoSizeIndex, 0));
    // A size the user typed is stored as its text with position -1: show it again rather than
    // nothing, or the next Start would have no frame size at all.
    if (cmbVideoSize->currentIndex() < 0)
        cmbVideoSize->setEditText(Q(ini.ReadString(keys::Section, keys::VideoSize, "")));
    SelectPosition(cmbFormat, format);
    SelectPosition(cmbSampleRate, ini.ReadInteger(keys::Section, keys::SampleRate, 0));

    edtPictureDelay->setValue(DelayValue(ini.ReadString(keys::Section, keys::PhotoDelay, "5"), 5));
    edtTransitionDelay->setValue(DelayValue(ini.ReadString(keys::Section, keys::EffectDelay, "2"), 2));

    SelectPosition(cmbFramerate, ini.ReadInteger(keys::Section, keys::FrameRateIndex, 0));

    // Checking a radio button stores both states, as a click does: with "mono" true (or neither
    // key present) the window ends on Mono.
    // Both are read before either is applied: the first click writes both keys.
    const bool stereo = ini.ReadBool(keys::Section, keys::Stereo, true);
    const bool mono = ini.ReadBool(keys::Section, keys::Mono, true);
    if (stereo) {
        rdoStereo->setChecked(true);
        rdoStereoClick();
    }
    if (mono) {
        rdoMono->setChecked(true);
        rdoMonoClick();
    }

    setWindowTitle(PartsCaption());
    project_->WindowShown();
    edit_->WindowShown();
}

QString TfrmMain::PartsCaption() const { return Q(global_.AppTitle() + " Free Ver" + global_.VersionText()); }

void TfrmMain::SetIdleButtons() {
    btnStart->setEnabled(true);
    btnExit->setEnabled(true);
    btnPause->setEnabled(false);
    btnStop->setEnabled(false);
}

void TfrmMain::cmbFormatChange() { Ini().WriteInteger(keys::Section, keys::Format, cmbFormat->currentIndex()); }

void TfrmMain::cmbBitRateChange() {
    const TIniFile ini = Ini();
    ini.WriteInteger(keys::Section, keys::BitRateIndex, cmbBitRate->currentIndex());
    ini.WriteString(keys::Section, keys::BitRate, S(cmbBitRate->currentText()));
}

void TfrmMain::cmbVideoSizeChange() {
    const TIniFile ini = Ini();
    // A typed size that is not in the list has no position.
    const int position = cmbVideoSize->findText(cmbVideoSize->currentText(), Qt::MatchExactly);
    ini.WriteInteger(keys::Section, keys::VideoSizeIndex, position);
    ini.WriteString(keys::Section, keys::VideoSize, S(cmbVideoSize->currentText()));
}

void TfrmMain::cmbFramerateChange() {
    const TIniFile ini = Ini();
    ini.WriteInteger(keys::Section, keys::FrameRateIndex, cmbFramerate->currentIndex());
    ini.WriteString(keys::Section, keys::FrameRate, S(cmbFramerate->currentText()));
}

void TfrmMain::cmbSampleRateChange() {
    Ini().WriteInteger(keys::Section, keys::SampleRate, cmbSampleRate->currentIndex());
}

void TfrmMain::StoreChannels() {
    const TIniFile ini = Ini();
    ini.WriteBool(keys::Section, keys::Stereo, rdoStereo->isChecked());
    ini.WriteBool(keys::Section, keys::Mono, rdoMono->isChecked());
}

void TfrmMain::rdoStereoClick() { StoreChannels(); }
void TfrmMain::rdoMonoClick() { StoreChannels(); }

void TfrmMain::btnDefaultClick() {
    const int format = cmbFormat->currentIndex();
    if (format < 0 || format >= int(std::size(texts::Defaults)))
        return;
    const texts::TContainerDefaults& row = texts::Defaults[format];
    cmbBitRate->setCurrentIndex(cmbBitRate->findText(row.BitRate));
    cmbFramerate->setCurrentIndex(cmbFramerate->findText(row.FrameRate));
    cmbVideoSize->setCurrentIndex(cmbVideoSize->findText(row.VideoSize));
    cmbSampleRate->setCurrentIndex(cmbSampleRate->findText(row.SampleRate));
    rdoStereo->setChecked(true);
    cmbBitRateChange();
    cmbFramerateChange();
    cmbVideoSizeChange();
    cmbSampleRateChange();
    rdoStereoClick();
}

void TfrmMain::btnExitClick() {
    const TIniFile ini = Ini();
    ini.WriteString(keys::Section, keys::PhotoDelay, S(edtPictureDelay->text()));
    ini.WriteString(keys::Section, keys::EffectDelay, S(edtTransitionDelay->text()));
    close();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Unsaved work is saved or given up first; the exit question comes after.
    if (!project_->MayClose()) {
        event->ignore();
        return;
    }
    if (FormCloseQuery()) {
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
    if (!folder.isEmpty() && folder != edtDir->text()) {
        Ini().WriteString(keys::Section, keys::OutPutDir, S(folder));
        edtDir->setText(folder);
    }
}

void TfrmMain::btnOpenClick() {
    const std::string folder = OutputFolderForOpen(Ini(), ProfileFolder(), [this](const std::string& text) {
        services_->Warning(this, "Warning", Q(text));
    });
    if (edtDir->text().size() > 2)
        services_->OpenUrl(Q(folder));
}

void TfrmMain::OpenAddress(const QString& address) { services_->OpenUrl(address); }

void TfrmMain::ShowLog() {
    logWindow_->show();
    logWindow_->raise();
    logWindow_->activateWindow();
}

void TfrmMain::AddLog(const QString& line) { mmoLog->appendPlainText(line); }

void TfrmMain::FFLoggerLog(TThreadID threadId, TLogLevel level, const std::string& msg) {
    AddLog(QString("#%1.%2: %3").arg(threadId).arg(int(level)).arg(Q(msg)));
}

// --- Run control ---------------------------------------------------------------------------

int TfrmMain::SampleRateOfPosition(int position) {
    static constexpr int Rates[] = {0, 8000, 11025, 22050, 44100};
    return position >= 0 && position < int(std::size(Rates)) ? Rates[position] : 44100;
}

int TfrmMain::ProgressPercent(std::int64_t currentTime, std::int64_t totalDuration) {
    if (totalDuration <= 0)
        return 0;
    const std::int64_t percent = currentTime * 100 / totalDuration;
    return int(std::clamp<std::int64_t>(percent, 0, 100));
}

TSlideshowSettings TfrmMain::JobSettings() const {
    const TIniFile ini = Ini();
    TSlideshowSettings settings;
    for (int i = 0; i < lstPictures->count(); ++i)
        settings.Pictures.push_back(S(lstPictures->item(i)->text()));
    settings.Format = S(cmbFormat->currentText());
    // The frame rate and size as the controls stand; bit rate, channels and sample rate as the
    // change handlers stored them.
    settings.FrameRate = S(cmbFramerate->currentText());
    settings.FrameSize = S(cmbVideoSize->currentText());
    settings.VideoBitRate = ini.ReadInteger(keys::Section, keys::BitRate, 768) * 1000;
    settings.AudioChannels = ini.ReadBool(keys::Section, keys::Stereo, true) ? 2 : 1;
    settings.AudioSampleRate = ini.ValueExists(keys::Section, keys::SampleRate)
                                   ? SampleRateOfPosition(ini.ReadInteger(keys::Section, keys::SampleRate, 4))
                                   : 44100;
    settings.HoldSeconds = S(edtPictureDelay->text());
    settings.TransitionSeconds = S(edtTransitionDelay->text());
    settings.RandomEffects = chkRandomEffect->isChecked();
    settings.Audio = S(txtAudio->text());
    settings.BreakWhenNoPictures = chkPictures->isChecked();
    pnlCodec->ApplyTo(settings);
    dlgMusic->ApplyTo(settings);
    pnlMusicTiming->ApplyTo(settings);
    cmbMotion->ApplyTo(settings);
    return settings;
}

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
        SetRunningButtons();
        return;
    }

    TSlideshowSettings settings = JobSettings();
    // A size the encoder cannot take is refused before anything of the last run is let go.
    if (std::string why = FrameSizeRefusal(settings.Format, settings.FrameSize); !why.empty()) {
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
    job_->OutputFolder = [this] {
        return OutputFolderForStart(Ini(), ProfileFolder(), [this](const std::string& text) {
            services_->Warning(this, "Warning", Q(text));
        });
    };
    // The slides' own holds, effects and captions, with the window's choices for the rest.
    TSlideshowData slideshow = slides_->Document().Data();
    slideshow.Output = settings;
    if (!job_->PrepareSequencer(slideshow)) {
        services_->Exclamation(this, Q(global_.AppTitle()), Q(job_->LastError));
        return;
    }
    // The slideshow reads the picture list as it stands on every frame.
    job_->Sequencer.PictureCount = [this] { return lstPictures->count(); };
    job_->Sequencer.PicturePath = [this](int i) {
        QListWidgetItem* item = lstPictures->item(i);
        return item ? S(item->text()) : std::string();
    };

    const std::string libFolder = S(QCoreApplication::applicationDirPath()) + "/LibAV";
    if (!job_->BuildTask(settings, libFolder)) {
        // Missing libraries end Start with the log lines alone; for the rest the log is hidden,
        // so the reason is told here as well.
        if (!job_->LibrariesMissing())
            services_->Exclamation(this, Q(global_.AppTitle()), Q(job_->LastError));
        return;
    }
    SetRunningButtons();
    btnStop->setFocus();
    job_->Start(true);
}

void TfrmMain::btnPauseClick() {
    btnPause->setEnabled(false);
    btnStart->setEnabled(true);
    jobPaused_ = true;
    encoder_.Pause();
}

void TfrmMain::btnStopClick() {
    SetIdleButtons();
    SetRunControlsEnabled(true);
    ProgressBar1->setValue(0);
    ProgressBar1->repaint();
    lblStatus->clear();
    // A stopped job cannot be resumed.
    jobPaused_ = false;
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
                           .arg(info.FrameNumber)
                           .arg(info.FrameRate)
                           .arg(info.CurrentSize)
                           .arg(info.CurrentTime));
    ProgressBar1->setValue(ProgressPercent(info.CurrentTime, info.TotalDuration));
}

void TfrmMain::FFEncoderTerminate(const TTerminateInfo& info) {
    if (info.TaskIndex < 0) {
        jobPaused_ = false;
        btnStart->setEnabled(true);
        btnStop->setEnabled(false);
        btnPause->setEnabled(false);
        SetRunControlsEnabled(true);
        btnOpenClick();
    }
    if (info.Failed)
        services_->Exclamation(this, Q(global_.AppTitle()), Q(info.ErrorMessage));
}

void TfrmMain::StopBeforeClosing() {
    if (encoder_.Working())
        encoder_.Stop(true);
}
