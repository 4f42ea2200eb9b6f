#pragma once
// The one place where the window's controls meet the document's output choices and the settings
// file. Start (Read), Save (Read), Open (Show), Default (ApplyDefaults), the first showing
// (LoadSettings) and every control's change handler (Store...) go through it; no other part of the
// window reads or sets these controls. The Parts of the form that own the controls (TfrmMain)
// hand them over once, as TWindowControls.

#include "app/settings/IniFile.h"
#include "app/show/OutputChoices.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class TCodecOptionsPanel;
class TMotionChoice;
class TMusicOptions;
class TMusicTimingPanel;

// The controls that hold output choices.
struct TWindowControls {
    QListWidget* Pictures = nullptr;
    QLineEdit* Audio = nullptr;
    QCheckBox* BreakWhenNoPictures = nullptr;
    QCheckBox* RandomEffects = nullptr;
    QSpinBox* PictureDelay = nullptr;
    QSpinBox* TransitionDelay = nullptr;
    QComboBox* Format = nullptr;
    QComboBox* VideoSize = nullptr;
    QComboBox* BitRate = nullptr;
    QComboBox* FrameRate = nullptr;
    QComboBox* SampleRate = nullptr;
    QRadioButton* Stereo = nullptr;
    QRadioButton* Mono = nullptr;
    QLineEdit* OutputFolder = nullptr;
    TCodecOptionsPanel* Codec = nullptr;
    TMusicOptions* Music = nullptr;
    TMusicTimingPanel* MusicTiming = nullptr;
    TMotionChoice* Motion = nullptr;
};

class TWindowBinder : public QObject {
    Q_OBJECT
public:
    TWindowBinder(const TWindowControls& controls, std::function<TIniFile()> ini, QObject* parent);

    // The first showing: the lists filled and every choice as the settings file stores it (the
    // output folder of the first run, too).
    void LoadSettings();
    // Every choice the window holds, as Start hands it to the job: the frame rate, frame size,
    // delays and picture list as the controls stand; bit rate, channels and sample rate as the
    // change handlers stored them.
    TSlideshowSettings Read() const;
    // Why Start must not run settings (as Read gave them): a frame size the container row's
    // encoder cannot take; "" when it may.
    std::string Refusal(const TSlideshowSettings& settings) const;
    // A document's choices into the controls, each as the user would make it (selected, then
    // stored by the control's own handler).
    void Show(const TSlideshowSettings& output);
    // The soundtrack field and the further songs of the music dialog.
    QString Soundtrack() const;
    void ShowMusic(const QString& soundtrack, const TSlideshowSettings& output, const std::vector<std::string>& moreAudio);
    // The Default button: the container row's bit rate, frame rate, frame size and sample rate;
    // for the rows of today's codecs also constant quality at the row's number and the balanced
    // preset.
    void ApplyDefaults();
    // True when the last LoadSettings found no settings file at all: it then chose today's output
    // (the "mp4 (H.264)" row with its defaults, stereo) and stored it as the user's choice.
    bool WasFirstRun() const { return firstRun_; }

    // From now on every choice the user makes emits ChoicesChanged and AnyChoiceChanged.
    void WatchChoices();

    // The change handlers' writes to the settings file.
    void StoreFormat();
    void StoreBitRate();
    void StoreVideoSize();
    void StoreFrameRate();
    void StoreSampleRate();
    void StoreChannels();
    void StoreDelays();
    void StoreOutputFolder(const QString& folder);
    // The output folder a run writes to, and the one Open shows (made or chosen anew as the
    // settings file says; Warn tells the user what was done instead).
    std::string OutputFolderForStart() const;
    std::string OutputFolderForOpen() const;
    std::function<void(const std::string&)> Warn;

    // The sample rate of a position of the sample-rate list: 0 for "as source", 44100 for a
    // position the list does not have.
    static int SampleRateOfPosition(int position);

signals:
    // A choice a project keeps changed (the output, the delays, the music).
    void ChoicesChanged();
    // Any choice changed, the codec panel's and the motion's included (what undo watches).
    void AnyChoiceChanged();

private:
    void ApplyFirstRunChoices();
    // The bit rate list is usable only where the row encodes at the chosen bit rate, so it never
    // shows a rate that is not used.
    void ShowBitRateUse();

    TWindowControls c_;
    std::function<TIniFile()> ini_;
    bool watching_ = false;
    bool firstRun_ = false;
};
