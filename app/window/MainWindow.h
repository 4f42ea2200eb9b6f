#pragma once
// The main window: the picture list, the soundtrack, the slideshow's timing, the output options,
// the output folder and the run buttons. Every choice is written to the settings file the moment
// it changes; Start reads some of them back from there.

#include "app/settings/GlobalObject.h"
#include "app/settings/IniFile.h"
#include "app/settings/QtMainThread.h"
#include "app/SlideshowJob.h"
#include "engine/FFEncoder.h"
#include "medialib/FFLog.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TCodecOptionsPanel;
class TMusicOptions;
class TMusicTimingPanel;
class TMotionChoice;
class TfmDirectory;
class TProjectMenu;
class TEditMenu;
class TPlayerPane;
class TRunStatus;
class TSlideEditor;
class TWindowBinder;
class TWindowServices;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // services answers the message boxes and dialogs (the real desktop when nullptr).
    explicit TfrmMain(TWindowServices* services = nullptr, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The controls, as tests and the handlers see them.
    QPushButton* btnVideo;
    QPushButton* btnClear;
    QListWidget* lstPictures;
    QPushButton* btnAudio;
    QLineEdit* txtAudio;
    QCheckBox* chkPictures;
    QCheckBox* chkRandomEffect;
    QSpinBox* edtPictureDelay;
    QSpinBox* edtTransitionDelay;
    QComboBox* cmbFormat;
    QPushButton* btnDefault;
    QComboBox* cmbVideoSize;
    QComboBox* cmbBitRate;
    QComboBox* cmbFramerate;
    QComboBox* cmbSampleRate;
    TCodecOptionsPanel* pnlCodec; // framing, and the quality choices of today's codecs
    TMusicOptions* dlgMusic;      // further songs, loop, fades, loudness (Slides menu, "Music...")
    QAction* actMusic;
    TMusicTimingPanel* pnlMusicTiming; // holds that follow the soundtrack
    TMotionChoice* cmbMotion;     // pan and zoom over the pictures
    QRadioButton* rdoStereo;
    QRadioButton* rdoMono;
    QLineEdit* edtDir;
    QPushButton* btnBrows;
    QPushButton* btnOpen;
    QPushButton* btnStart;
    QPushButton* btnPause;
    QPushButton* btnStop;
    QPushButton* btnExit;
    QProgressBar* ProgressBar1;
    QLabel* lblStatus;
    QPlainTextEdit* mmoLog; // hidden in its own window until the Log menu shows it
    QLabel* img1;
    QAction* actLog;

    TGlobalObject& Global() { return global_; }
    TIniFile Ini() const { return TIniFile(global_.IniFileName()); }
    TWindowServices& Services() { return *services_; }
    QDialog* LogWindow() const { return logWindow_; }
    TfmDirectory* DirectoryDialog() const { return fmDirectory_; }
    // The slideshow document and its picture list, slide panel and Slides menu; the File menu.
    TSlideEditor& Slides() const { return *slides_; }
    TProjectMenu& Project() const { return *project_; }
    // The Edit menu (undo and redo).
    TEditMenu& Edit() const { return *edit_; }
    // The player pane (View menu).
    TPlayerPane& PlayerPane() const { return *player_; }
    // The run's progress in words, and the file it wrote with Play and Show in Folder.
    TRunStatus& RunStatus() const { return *runStatus_; }
    // The caption of the first showing: title, " Free Ver" and the version text.
    QString PartsCaption() const;

    // Adds one line to the log.
    void AddLog(const QString& line);
    // Appends the picture files to the list; other names are logged and skipped.
    void AddPictures(const QStringList& files);
    // The soundtrack, as Add Audio would choose it.
    void SetSoundtrack(const QString& file);

public slots:
    void FormShow();
    void cmbFormatChange();
    void cmbBitRateChange();
    void cmbVideoSizeChange();
    void cmbFramerateChange();
    void cmbSampleRateChange();
    void rdoStereoClick();
    void rdoMonoClick();
    void btnDefaultClick();
    void btnExitClick();
    void btnVideoClick();
    void btnClearClick();
    void btnAudioClick();
    void btnBrowsClick();
    void btnOpenClick();
    void ShowLog();
    void OpenAddress(const QString& address);
    void btnStartClick();
    void btnPauseClick();
    void btnStopClick();

public:
    // The encoder component and the job of the last Start (tests watch them).
    TFFEncoder& Encoder() { return encoder_; }
    TSlideshowJob* Job() const { return job_.get(); }
    bool JobPaused() const { return jobPaused_; }
    // The choices of the window and the settings file as Start hands them to the job (the binder's).
    TSlideshowSettings JobSettings() const;
    // The sample rate of a position of the sample-rate list: 0 for "as source", 44100 for a
    // position the list does not have.
    static int SampleRateOfPosition(int position);
    // The progress bar's position for a time and total duration (0 when there is no total).
    static int ProgressPercent(std::int64_t currentTime, std::int64_t totalDuration);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Asks "Do you really want to exit?"; true lets the window close.
    virtual bool FormCloseQuery();

    void FFLoggerLog(TThreadID threadId, TLogLevel level, const std::string& msg);
    void SetIdleButtons();
    void SetRunningButtons();
    void SetRunControlsEnabled(bool enabled);
    void FFEncoderProgress(const TProgressInfo& info);
    void FFEncoderTerminate(const TTerminateInfo& info);
    void StopBeforeClosing();
    // The steps of Start; btnStartClick reports what they throw through StartFailed.
    void StartJob();
    void StartFailed(const QString& why);

    void FormCreate();
    void BuildControls();
    void BuildMenu();
    QWidget* BuildBanner();

    TWindowServices* services_;
    std::unique_ptr<TWindowServices> ownServices_;
    TGlobalObject global_;
    std::unique_ptr<TQtMainThread> mainThread_;
    std::unique_ptr<TFFLogger> FFLogger;
    // The job outlives the encoder's run (the worker reads its frame input), so it is declared
    // before the encoder and destroyed after it.
    std::unique_ptr<TSlideshowJob> job_;
    TFFEncoder encoder_;
    bool jobPaused_ = false;
    bool runFailed_ = false, runStopped_ = false; // how the last Start's run ended
    QString runError_;
    QDialog* logWindow_ = nullptr;
    TfmDirectory* fmDirectory_ = nullptr;
    TSlideEditor* slides_ = nullptr;
    TProjectMenu* project_ = nullptr;
    TWindowBinder* binder_ = nullptr;
    TEditMenu* edit_ = nullptr;
    TPlayerPane* player_ = nullptr;
    TRunStatus* runStatus_ = nullptr;
    bool shown_ = false;
};
