#include "app/window/MusicOptions.h"

#include "app/output/FrameCount.h"
#include "app/window/CodecOptionsPanel.h"
#include "app/window/WindowServices.h"
#include "app/window/WindowTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace keys = music_keys;
namespace texts = window_texts;

namespace {
const char* const Section = options_keys::Section;
enum { FadeOutNone, FadeOutLastTransition, FadeOutSeconds };

// A number the settings file stored, or def when it reads as none.
double Number(const std::string& text, double def) {
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        return used == text.size() ? value : def;
    } catch (const std::exception&) {
        return def;
    }
}

QDoubleSpinBox* SecondsBox(QWidget* parent, double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0.1, MaxFadeSeconds);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(" s");
    box->setValue(value);
    return box;
}
} // namespace

TMusicOptions::TMusicOptions(std::function<TIniFile()> ini, TWindowServices& services, QWidget* parent)
    : QDialog(parent), ini_(std::move(ini)), services_(services) {
    setWindowTitle("Music");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    lstMoreAudio = new QListWidget(this);
    lstMoreAudio->setToolTip("Played one after the other after the soundtrack of Add Audio");
    btnAddSong = new QPushButton("Add another...", this);
    btnRemoveSong = new QPushButton("Remove", this);
    auto* songButtons = new QHBoxLayout;
    songButtons->addWidget(btnAddSong);
    songButtons->addWidget(btnRemoveSong);
    songButtons->addStretch(1);
    auto* songs = new QVBoxLayout;
    songs->addWidget(lstMoreAudio);
    songs->addLayout(songButtons);
    form->addRow("Then play:", songs);

    chkLoop = new QCheckBox("loop the music to the end of the pictures", this);
    form->addRow(chkLoop);
    chkFadeIn = new QCheckBox("fade in over", this);
    edtFadeIn = SecondsBox(this, 2);
    auto* fadeIn = new QHBoxLayout;
    fadeIn->addWidget(chkFadeIn);
    fadeIn->addWidget(edtFadeIn);
    fadeIn->addStretch(1);
    form->addRow(fadeIn);
    cmbFadeOut = new QComboBox(this);
    cmbFadeOut->addItems({"no fade-out", "fade out over the last transition", "fade out over"});
    edtFadeOut = SecondsBox(this, 3);
    auto* fadeOut = new QHBoxLayout;
    fadeOut->addWidget(cmbFadeOut);
    fadeOut->addWidget(edtFadeOut);
    fadeOut->addStretch(1);
    form->addRow(fadeOut);
    chkLoudness = new QCheckBox("loudness", this);
    edtLoudness = new QDoubleSpinBox(this);
    edtLoudness->setRange(MinLoudness, MaxLoudness);
    edtLoudness->setDecimals(1);
    edtLoudness->setSuffix(" LUFS");
    edtLoudness->setValue(-16);
    auto* loudness = new QHBoxLayout;
    loudness->addWidget(chkLoudness);
    loudness->addWidget(edtLoudness);
    loudness->addStretch(1);
    form->addRow(loudness);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(btnAddSong, &QPushButton::clicked, this, [this] {
        const QStringList files = services_.OpenFiles(this, texts::FileFilter("Audio Files", texts::AudioExtensions));
        lstMoreAudio->addItems(files);
        if (!files.isEmpty())
            emit Changed();
        UpdateEnabled();
    });
    connect(btnRemoveSong, &QPushButton::clicked, this, [this] {
        delete lstMoreAudio->takeItem(lstMoreAudio->currentRow());
        emit Changed();
        UpdateEnabled();
    });
    connect(lstMoreAudio, &QListWidget::currentRowChanged, this, &TMusicOptions::UpdateEnabled);
    for (QCheckBox* box : {chkLoop, chkFadeIn, chkLoudness})
        connect(box, &QCheckBox::toggled, this, &TMusicOptions::Store);
    for (QDoubleSpinBox* box : {edtFadeIn, edtFadeOut, edtLoudness})
        connect(box, &QDoubleSpinBox::valueChanged, this, &TMusicOptions::Store);
    connect(cmbFadeOut, &QComboBox::activated, this, &TMusicOptions::Store);
    UpdateEnabled();
}

void TMusicOptions::UpdateEnabled() {
    btnRemoveSong->setEnabled(lstMoreAudio->currentRow() >= 0);
    edtFadeIn->setEnabled(chkFadeIn->isChecked());
    edtFadeOut->setEnabled(cmbFadeOut->currentIndex() == FadeOutSeconds);
    edtLoudness->setEnabled(chkLoudness->isChecked());
}

void TMusicOptions::Load() {
    const TIniFile ini = ini_();
    loading_ = true;
    chkLoop->setChecked(ini.ReadBool(Section, keys::Loop, false));
    const double fadeIn = Number(ini.ReadString(Section, keys::FadeIn, ""), 0);
    chkFadeIn->setChecked(fadeIn > 0);
    if (fadeIn > 0)
        edtFadeIn->setValue(fadeIn);
    const std::string fadeOut = ini.ReadString(Section, keys::FadeOut, "");
    const double fadeOutSeconds = Number(fadeOut, 0);
    cmbFadeOut->setCurrentIndex(fadeOut == "auto" ? FadeOutLastTransition : fadeOutSeconds > 0 ? FadeOutSeconds : FadeOutNone);
    if (fadeOutSeconds > 0)
        edtFadeOut->setValue(fadeOutSeconds);
    const double lufs = Number(ini.ReadString(Section, keys::Loudness, ""), 1);
    chkLoudness->setChecked(lufs >= MinLoudness && lufs <= MaxLoudness);
    if (chkLoudness->isChecked())
        edtLoudness->setValue(lufs);
    loading_ = false;
    UpdateEnabled();
}

void TMusicOptions::Store() {
    UpdateEnabled();
    if (loading_)
        return;
    TSlideshowSettings s;
    ApplyTo(s);
    const TIniFile ini = ini_();
    ini.WriteBool(Section, keys::Loop, s.LoopMusic);
    ini.WriteString(Section, keys::FadeIn, s.FadeInSeconds > 0 ? SecondsText(s.FadeInSeconds) : "");
    ini.WriteString(Section, keys::FadeOut,
                    s.FadeOutSeconds == FadeOutAuto ? "auto" : s.FadeOutSeconds > 0 ? SecondsText(s.FadeOutSeconds) : "");
    ini.WriteString(Section, keys::Loudness, s.Loudness ? SecondsText(*s.Loudness) : "");
    emit Changed();
}

void TMusicOptions::ApplyTo(TSlideshowSettings& settings) const {
    settings.MoreAudio = MoreSongs();
    settings.LoopMusic = chkLoop->isChecked();
    settings.FadeInSeconds = chkFadeIn->isChecked() ? edtFadeIn->value() : 0;
    switch (cmbFadeOut->currentIndex()) {
    case FadeOutLastTransition: settings.FadeOutSeconds = FadeOutAuto; break;
    case FadeOutSeconds: settings.FadeOutSeconds = edtFadeOut->value(); break;
    default: settings.FadeOutSeconds = 0; break;
    }
    settings.Loudness.reset();
    if (chkLoudness->isChecked())
        settings.Loudness = edtLoudness->value();
}

std::vector<std::string> TMusicOptions::MoreSongs() const {
    std::vector<std::string> songs;
    for (int i = 0; i < lstMoreAudio->count(); ++i)
        songs.push_back(lstMoreAudio->item(i)->text().toStdString());
    return songs;
}

void TMusicOptions::Show(const TSlideshowSettings& output, const std::vector<std::string>& moreSongs) {
    lstMoreAudio->clear();
    for (const std::string& song : moreSongs)
        lstMoreAudio->addItem(QString::fromStdString(song));
    loading_ = true;
    chkLoop->setChecked(output.LoopMusic);
    chkFadeIn->setChecked(output.FadeInSeconds > 0);
    if (output.FadeInSeconds > 0)
        edtFadeIn->setValue(output.FadeInSeconds);
    cmbFadeOut->setCurrentIndex(output.FadeOutSeconds == FadeOutAuto ? FadeOutLastTransition
                                : output.FadeOutSeconds > 0        ? FadeOutSeconds
                                                                   : FadeOutNone);
    if (output.FadeOutSeconds > 0)
        edtFadeOut->setValue(output.FadeOutSeconds);
    chkLoudness->setChecked(output.Loudness.has_value());
    if (output.Loudness)
        edtLoudness->setValue(*output.Loudness);
    loading_ = false;
    Store();
}
