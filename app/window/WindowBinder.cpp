#include "app/window/WindowBinder.h"

#include "app/output/ContainerTable.h"
#include "app/output/FrameCount.h"
#include "app/output/FrameSizeLimits.h"
#include "app/output/OutputFolder.h"
#include "app/settings/GlobalObject.h"
#include "app/settings/SettingsKeys.h"
#include "app/window/CodecOptionsPanel.h"
#include "app/window/MotionChoice.h"
#include "app/window/MusicOptions.h"
#include "app/window/MusicTimingPanel.h"
#include "app/window/WindowTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

namespace keys = settings;
namespace texts = window_texts;

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

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

// A delay as the window's whole seconds.
void ShowSeconds(QSpinBox* spin, double seconds) {
    if (std::isfinite(seconds))
        spin->setValue(int(std::lround(std::clamp(seconds, double(spin->minimum()), double(spin->maximum())))));
}

// Selects the entry of that text; false (and no change) when the list has none.
bool SelectText(QComboBox* box, const QString& text) {
    const int position = box->findText(text, Qt::MatchFixedString);
    if (position >= 0)
        box->setCurrentIndex(position);
    return position >= 0;
}
} // namespace

TWindowBinder::TWindowBinder(const TWindowControls& controls, std::function<TIniFile()> ini, QObject* parent)
    : QObject(parent), c_(controls), ini_(std::move(ini)) {
    connect(c_.Format, &QComboBox::currentIndexChanged, this, [this] { ShowBitRateUse(); });
    connect(c_.Codec->cmbQuality, &QComboBox::currentIndexChanged, this, [this] { ShowBitRateUse(); });
}

void TWindowBinder::LoadSettings() {
    const TIniFile ini = ini_();
    // Only a machine that never ran the program has no file at all; an empty or partial file is
    // read key by key with the classic defaults.
    firstRun_ = !QFileInfo::exists(Q(ini.FileName()));
    const std::string defaultDir = ProfileFolder() + "/pixaroll";
    auto firstRunFolder = [&] {
        c_.OutputFolder->setText(Q(defaultDir));
        ini.WriteString(keys::Section, keys::OutPutDir, defaultDir);
        ini.WriteBool(keys::Section, keys::FirstRun, false);
    };
    if (ini.ReadBool(keys::Section, keys::FirstRun, true))
        firstRunFolder();
    else
        c_.OutputFolder->setText(Q(ini.ReadString(keys::Section, keys::OutPutDir, "")));
    c_.OutputFolder->setEnabled(false);
    if (!QFileInfo(c_.OutputFolder->text()).isDir())
        firstRunFolder();

    c_.RandomEffects->setChecked(true);

    c_.SampleRate->clear();
    c_.SampleRate->addItems(texts::SampleRates);
    c_.Format->clear();
    c_.Format->addItems(texts::Formats);
    c_.Codec->Load();
    c_.Music->Load();
    c_.MusicTiming->Load();
    c_.Motion->Load();
    const int format = ini.ReadInteger(keys::Section, keys::Format, 0);
    SelectPosition(c_.Format, format);
    c_.BitRate->clear();
    c_.BitRate->addItems(texts::BitRates);
    SelectPosition(c_.BitRate, ini.ReadInteger(keys::Section, keys::BitRateIndex, 0));
    c_.VideoSize->clear();
    c_.VideoSize->addItems(texts::VideoSizes);
    SelectPosition(c_.VideoSize, ini.ReadInteger(keys::Section, keys::VideoSizeIndex, 0));
    // A size the user typed is stored as its text with position -1: show it again rather than
    // nothing, or the next Start would have no frame size at all.
    if (c_.VideoSize->currentIndex() < 0)
        c_.VideoSize->setEditText(Q(ini.ReadString(keys::Section, keys::VideoSize, "")));
    SelectPosition(c_.Format, format);
    SelectPosition(c_.SampleRate, ini.ReadInteger(keys::Section, keys::SampleRate, 0));

    c_.PictureDelay->setValue(DelayValue(ini.ReadString(keys::Section, keys::PhotoDelay, "5"), 5));
    c_.TransitionDelay->setValue(DelayValue(ini.ReadString(keys::Section, keys::EffectDelay, "2"), 2));

    SelectPosition(c_.FrameRate, ini.ReadInteger(keys::Section, keys::FrameRateIndex, 0));

    // Checking a radio button stores both states, as a click does: with "mono" true (or neither
    // key present) the window ends on Mono.
    // Both are read before either is applied: the first click writes both keys.
    const bool stereo = ini.ReadBool(keys::Section, keys::Stereo, true);
    const bool mono = ini.ReadBool(keys::Section, keys::Mono, true);
    if (stereo) {
        c_.Stereo->setChecked(true);
        StoreChannels();
    }
    if (mono) {
        c_.Mono->setChecked(true);
        StoreChannels();
    }
    if (firstRun_)
        ApplyFirstRunChoices();
    ShowBitRateUse();
}

void TWindowBinder::ApplyFirstRunChoices() {
    // The first video a person makes: full HD H.264 in stereo that every browser and phone plays,
    // stored as if chosen, so the next start shows the same.
    const int row = c_.Format->findText(texts::FirstRunFormat, Qt::MatchExactly);
    if (row < 0)
        return;
    c_.Format->setCurrentIndex(row);
    StoreFormat();
    ApplyDefaults();
}

void TWindowBinder::ShowBitRateUse() {
    const TContainerRow* row = ContainerAt(c_.Format->currentIndex());
    const bool constantQuality = row && row->Quality && c_.Codec->cmbQuality->currentIndex() == 0;
    c_.BitRate->setEnabled(!constantQuality);
    c_.BitRate->setToolTip(constantQuality ? "Not used: this row encodes at constant quality (see Quality)" : QString());
}

TSlideshowSettings TWindowBinder::Read() const {
    const TIniFile ini = ini_();
    TSlideshowSettings settings;
    for (int i = 0; i < c_.Pictures->count(); ++i)
        settings.Pictures.push_back(S(c_.Pictures->item(i)->text()));
    settings.Format = S(c_.Format->currentText());
    settings.FrameRate = ReadFrameRate(S(c_.FrameRate->currentText()));
    settings.FrameSize = S(c_.VideoSize->currentText());
    settings.VideoBitRate = ini.ReadInteger(keys::Section, keys::BitRate, 768) * 1000;
    settings.AudioChannels = ini.ReadBool(keys::Section, keys::Stereo, true) ? 2 : 1;
    settings.AudioSampleRate = ini.ValueExists(keys::Section, keys::SampleRate)
                                   ? SampleRateOfPosition(ini.ReadInteger(keys::Section, keys::SampleRate, 4))
                                   : 44100;
    settings.HoldSeconds = ReadDelaySeconds(S(c_.PictureDelay->text()));
    settings.TransitionSeconds = ReadDelaySeconds(S(c_.TransitionDelay->text()));
    settings.RandomEffects = c_.RandomEffects->isChecked();
    settings.Audio = S(c_.Audio->text());
    settings.BreakWhenNoPictures = c_.BreakWhenNoPictures->isChecked();
    c_.Codec->ApplyTo(settings);
    c_.Music->ApplyTo(settings);
    c_.MusicTiming->ApplyTo(settings);
    c_.Motion->ApplyTo(settings);
    return settings;
}

void TWindowBinder::Show(const TSlideshowSettings& output) {
    if (SelectText(c_.Format, Q(output.Format)))
        StoreFormat();
    // After the format: its row decides which quality choices there are.
    c_.Codec->Show(output);
    c_.Motion->Show(output);
    if (!SelectText(c_.VideoSize, Q(output.FrameSize)))
        c_.VideoSize->setEditText(Q(output.FrameSize));
    StoreVideoSize();
    if (SelectText(c_.FrameRate, Q(output.FrameRate.Text())))
        StoreFrameRate();
    if (SelectText(c_.BitRate, QString::number(output.VideoBitRate / 1000)))
        StoreBitRate();
    for (int position = 0; position < c_.SampleRate->count(); ++position)
        if (SampleRateOfPosition(position) == output.AudioSampleRate) {
            c_.SampleRate->setCurrentIndex(position);
            StoreSampleRate();
            break;
        }
    (output.AudioChannels == 1 ? c_.Mono : c_.Stereo)->setChecked(true);
    StoreChannels();
    ShowSeconds(c_.PictureDelay, output.HoldSeconds);
    ShowSeconds(c_.TransitionDelay, output.TransitionSeconds);
    c_.RandomEffects->setChecked(output.RandomEffects);
    c_.BreakWhenNoPictures->setChecked(output.BreakWhenNoPictures);
    c_.MusicTiming->chkFitToMusic->setChecked(output.FitToMusic);
    c_.MusicTiming->chkBeats->setChecked(output.Beats);
}

QString TWindowBinder::Soundtrack() const { return c_.Audio->text(); }

void TWindowBinder::ShowMusic(const QString& soundtrack, const TSlideshowSettings& output,
                              const std::vector<std::string>& moreAudio) {
    c_.Audio->setText(soundtrack);
    c_.Music->Show(output, moreAudio);
}

void TWindowBinder::ApplyDefaults() {
    const int format = c_.Format->currentIndex();
    if (format < 0 || format >= int(std::size(texts::Defaults)))
        return;
    const texts::TContainerDefaults& row = texts::Defaults[format];
    c_.BitRate->setCurrentIndex(c_.BitRate->findText(row.BitRate));
    c_.FrameRate->setCurrentIndex(c_.FrameRate->findText(row.FrameRate));
    c_.VideoSize->setCurrentIndex(c_.VideoSize->findText(row.VideoSize));
    c_.SampleRate->setCurrentIndex(c_.SampleRate->findText(row.SampleRate));
    c_.Stereo->setChecked(true);
    StoreBitRate();
    StoreFrameRate();
    StoreVideoSize();
    StoreSampleRate();
    StoreChannels();
    if (const TContainerRow* quality = ContainerAt(format); quality && quality->Quality)
        c_.Codec->ShowRowDefaults();
}

void TWindowBinder::WatchChoices() {
    if (watching_)
        return;
    watching_ = true;
    const auto changed = [this] {
        emit ChoicesChanged();
        emit AnyChoiceChanged();
    };
    const auto other = [this] { emit AnyChoiceChanged(); };
    connect(c_.Codec->cmbFraming, &QComboBox::currentIndexChanged, this, other);
    connect(c_.Codec->cmbQuality, &QComboBox::currentIndexChanged, this, other);
    connect(c_.Codec->edtQuality, &QSpinBox::valueChanged, this, other);
    connect(c_.Codec->cmbPreset, &QComboBox::currentIndexChanged, this, other);
    connect(c_.Codec->chkHardware, &QCheckBox::toggled, this, other);
    connect(c_.Codec->chkConstantRate, &QCheckBox::toggled, this, other);
    connect(c_.Motion, &QComboBox::currentIndexChanged, this, other);
    connect(c_.Format, &QComboBox::currentIndexChanged, this, changed);
    connect(c_.VideoSize, &QComboBox::currentTextChanged, this, changed);
    connect(c_.BitRate, &QComboBox::currentIndexChanged, this, changed);
    connect(c_.FrameRate, &QComboBox::currentIndexChanged, this, changed);
    connect(c_.SampleRate, &QComboBox::currentIndexChanged, this, changed);
    connect(c_.Stereo, &QRadioButton::toggled, this, changed);
    connect(c_.PictureDelay, &QSpinBox::valueChanged, this, changed);
    connect(c_.TransitionDelay, &QSpinBox::valueChanged, this, changed);
    connect(c_.RandomEffects, &QCheckBox::toggled, this, changed);
    connect(c_.BreakWhenNoPictures, &QCheckBox::toggled, this, changed);
    connect(c_.Audio, &QLineEdit::textChanged, this, changed);
    connect(c_.Music, &TMusicOptions::Changed, this, changed);
    connect(c_.MusicTiming->chkFitToMusic, &QCheckBox::toggled, this, changed);
    connect(c_.MusicTiming->chkBeats, &QCheckBox::toggled, this, changed);
}

std::string TWindowBinder::Refusal(const TSlideshowSettings& settings) const {
    return FrameSizeRefusal(settings.Format, settings.FrameSize);
}

void TWindowBinder::StoreFormat() { ini_().WriteInteger(keys::Section, keys::Format, c_.Format->currentIndex()); }

void TWindowBinder::StoreBitRate() {
    const TIniFile ini = ini_();
    ini.WriteInteger(keys::Section, keys::BitRateIndex, c_.BitRate->currentIndex());
    ini.WriteString(keys::Section, keys::BitRate, S(c_.BitRate->currentText()));
}

void TWindowBinder::StoreVideoSize() {
    const TIniFile ini = ini_();
    // A typed size that is not in the list has no position.
    const int position = c_.VideoSize->findText(c_.VideoSize->currentText(), Qt::MatchExactly);
    ini.WriteInteger(keys::Section, keys::VideoSizeIndex, position);
    ini.WriteString(keys::Section, keys::VideoSize, S(c_.VideoSize->currentText()));
}

void TWindowBinder::StoreFrameRate() {
    const TIniFile ini = ini_();
    ini.WriteInteger(keys::Section, keys::FrameRateIndex, c_.FrameRate->currentIndex());
    ini.WriteString(keys::Section, keys::FrameRate, S(c_.FrameRate->currentText()));
}

void TWindowBinder::StoreSampleRate() {
    ini_().WriteInteger(keys::Section, keys::SampleRate, c_.SampleRate->currentIndex());
}

void TWindowBinder::StoreChannels() {
    const TIniFile ini = ini_();
    ini.WriteBool(keys::Section, keys::Stereo, c_.Stereo->isChecked());
    ini.WriteBool(keys::Section, keys::Mono, c_.Mono->isChecked());
}

void TWindowBinder::StoreDelays() {
    const TIniFile ini = ini_();
    ini.WriteString(keys::Section, keys::PhotoDelay, S(c_.PictureDelay->text()));
    ini.WriteString(keys::Section, keys::EffectDelay, S(c_.TransitionDelay->text()));
}

void TWindowBinder::StoreOutputFolder(const QString& folder) {
    ini_().WriteString(keys::Section, keys::OutPutDir, S(folder));
    c_.OutputFolder->setText(folder);
}

std::string TWindowBinder::OutputFolderForStart() const {
    return ::OutputFolderForStart(ini_(), ProfileFolder(), [this](const std::string& text) { if (Warn) Warn(text); });
}

std::string TWindowBinder::OutputFolderForOpen() const {
    return ::OutputFolderForOpen(ini_(), ProfileFolder(), [this](const std::string& text) { if (Warn) Warn(text); });
}

int TWindowBinder::SampleRateOfPosition(int position) {
    static constexpr int Rates[] = {0, 8000, 11025, 22050, 44100};
    return position >= 0 && position < int(std::size(Rates)) ? Rates[position] : 44100;
}
