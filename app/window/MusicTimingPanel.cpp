#include "app/window/MusicTimingPanel.h"

#include "app/window/CodecOptionsPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>

namespace keys = music_timing_keys;

TMusicTimingPanel::TMusicTimingPanel(std::function<TIniFile()> ini, QWidget* parent)
    : QWidget(parent), ini_(std::move(ini)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    chkFitToMusic = new QCheckBox("fit to the music", this);
    chkFitToMusic->setToolTip("The photos are held so that the slideshow ends when the soundtrack ends");
    chkBeats = new QCheckBox("transitions on the beat", this);
    chkBeats->setToolTip("Every transition starts on a beat of the soundtrack");
    row->addWidget(chkFitToMusic);
    row->addWidget(chkBeats);
    row->addStretch(1);
    connect(chkFitToMusic, &QCheckBox::toggled, this, &TMusicTimingPanel::Store);
    connect(chkBeats, &QCheckBox::toggled, this, &TMusicTimingPanel::Store);
    ShowForSoundtrack(false);
}

void TMusicTimingPanel::Load() {
    const TIniFile ini = ini_();
    loading_ = true;
    chkFitToMusic->setChecked(ini.ReadBool(options_keys::Section, keys::FitToMusic, false));
    chkBeats->setChecked(ini.ReadBool(options_keys::Section, keys::Beats, false));
    loading_ = false;
}

void TMusicTimingPanel::ShowForSoundtrack(bool soundtrack) {
    soundtrack_ = soundtrack;
    setVisible(soundtrack);
}

void TMusicTimingPanel::Store() {
    if (loading_)
        return;
    const TIniFile ini = ini_();
    ini.WriteBool(options_keys::Section, keys::FitToMusic, chkFitToMusic->isChecked());
    ini.WriteBool(options_keys::Section, keys::Beats, chkBeats->isChecked());
}

void TMusicTimingPanel::ApplyTo(TSlideshowSettings& settings) const {
    settings.FitToMusic = soundtrack_ && chkFitToMusic->isChecked();
    settings.Beats = soundtrack_ && chkBeats->isChecked();
}
