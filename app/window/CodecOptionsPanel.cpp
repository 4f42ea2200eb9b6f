#include "app/window/CodecOptionsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QSpinBox>

namespace keys = options_keys;

namespace {
std::string S(const QString& text) { return text.toStdString(); }
const char* const PresetLabels[SpeedPresetCount] = {"fast", "balanced", "small file"};
} // namespace

TCodecOptionsPanel::TCodecOptionsPanel(std::function<TIniFile()> ini, QWidget* parent)
    : QWidget(parent), ini_(std::move(ini)) {
    cmbFraming = new QComboBox(parent);
    for (TFraming f : {TFraming::Letterbox, TFraming::Blur, TFraming::Fill})
        cmbFraming->addItem(FramingName(f));
    cmbFraming->setToolTip("letterbox: black bars; blur: the bars show a blurred copy; fill: cropped to fill");

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    cmbQuality = new QComboBox(this);
    cmbQuality->addItems({"constant quality", "bit rate"});
    edtQuality = new QSpinBox(this);
    edtQuality->setToolTip("lower is better and larger");
    cmbPreset = new QComboBox(this);
    for (const char* label : PresetLabels)
        cmbPreset->addItem(label);
    chkHardware = new QCheckBox("use hardware encoder", this);
    chkConstantRate = new QCheckBox("constant frame rate (for video editors)", this);
    chkConstantRate->setToolTip("writes every frame; without it a held picture is written once and lasts until the next");
    row->addWidget(cmbQuality);
    row->addWidget(edtQuality);
    row->addWidget(cmbPreset);
    row->addWidget(chkHardware);
    row->addWidget(chkConstantRate);
    row->addStretch(1);

    connect(cmbFraming, &QComboBox::activated, this, &TCodecOptionsPanel::Store);
    connect(cmbQuality, &QComboBox::activated, this, [this] {
        edtQuality->setEnabled(cmbQuality->currentIndex() == 0);
        Store();
    });
    connect(edtQuality, &QSpinBox::valueChanged, this, &TCodecOptionsPanel::Store);
    connect(cmbPreset, &QComboBox::activated, this, &TCodecOptionsPanel::Store);
    connect(chkHardware, &QCheckBox::toggled, this, &TCodecOptionsPanel::Store);
    connect(chkConstantRate, &QCheckBox::toggled, this, &TCodecOptionsPanel::Store);
    ShowForRow(nullptr);
}

void TCodecOptionsPanel::Load() {
    const TIniFile ini = ini_();
    loading_ = true;
    TFraming framing = TFraming::Letterbox;
    FindFraming(ini.ReadString(keys::Section, keys::Framing, "letterbox"), framing);
    cmbFraming->setCurrentIndex(int(framing));
    cmbQuality->setCurrentIndex(ini.ReadString(keys::Section, keys::Quality, "crf") == "bitrate" ? 1 : 0);
    edtQuality->setEnabled(cmbQuality->currentIndex() == 0);
    TSpeedPreset preset = spBalanced;
    FindSpeedPreset(ini.ReadString(keys::Section, keys::Preset, "balanced"), preset);
    cmbPreset->setCurrentIndex(int(preset));
    chkHardware->setChecked(ini.ReadBool(keys::Section, keys::HardwareEncoder, false));
    chkConstantRate->setChecked(ini.ReadBool(keys::Section, keys::ConstantFrameRate, false));
    loading_ = false;
    ShowForRow(row_);
}

void TCodecOptionsPanel::ShowForRow(const TContainerRow* row) {
    row_ = row;
    const TQualityCodec* q = row ? row->Quality : nullptr;
    setVisible(q != nullptr);
    if (!q)
        return;
    loading_ = true;
    edtQuality->setRange(0, q->MaxCrf);
    const int stored = ini_().ReadInteger(keys::Section, std::string(keys::CrfPrefix) + row->Option, q->DefaultCrf);
    edtQuality->setValue(stored >= 0 && stored <= q->MaxCrf ? stored : q->DefaultCrf);
    chkHardware->setVisible(*q->HardwareEncoder != '\0');
    loading_ = false;
}

void TCodecOptionsPanel::Store() {
    if (loading_)
        return;
    const TIniFile ini = ini_();
    ini.WriteString(keys::Section, keys::Framing, S(cmbFraming->currentText()));
    ini.WriteString(keys::Section, keys::Quality, cmbQuality->currentIndex() == 1 ? "bitrate" : "crf");
    if (row_ && row_->Quality)
        ini.WriteInteger(keys::Section, std::string(keys::CrfPrefix) + row_->Option, edtQuality->value());
    ini.WriteString(keys::Section, keys::Preset, SpeedPresetName(TSpeedPreset(std::max(0, cmbPreset->currentIndex()))));
    ini.WriteBool(keys::Section, keys::HardwareEncoder, chkHardware->isChecked());
    ini.WriteBool(keys::Section, keys::ConstantFrameRate, chkConstantRate->isChecked());
}

void TCodecOptionsPanel::ApplyTo(TSlideshowSettings& settings) const {
    FindFraming(S(cmbFraming->currentText()), settings.Framing);
    if (!row_ || !row_->Quality)
        return;
    settings.ConstantQuality = cmbQuality->currentIndex() == 0;
    settings.Crf = edtQuality->value();
    settings.Preset = TSpeedPreset(std::max(0, cmbPreset->currentIndex()));
    settings.HardwareEncoder = chkHardware->isChecked() && *row_->Quality->HardwareEncoder != '\0';
    settings.ConstantFrameRate = chkConstantRate->isChecked();
}

void TCodecOptionsPanel::Show(const TSlideshowSettings& settings) {
    loading_ = true;
    cmbFraming->setCurrentIndex(int(settings.Framing));
    if (row_ && row_->Quality) {
        cmbQuality->setCurrentIndex(settings.ConstantQuality ? 0 : 1);
        edtQuality->setEnabled(settings.ConstantQuality);
        if (settings.Crf >= 0 && settings.Crf <= row_->Quality->MaxCrf)
            edtQuality->setValue(settings.Crf);
        cmbPreset->setCurrentIndex(int(settings.Preset));
        chkHardware->setChecked(settings.HardwareEncoder);
        chkConstantRate->setChecked(settings.ConstantFrameRate);
    }
    loading_ = false;
    Store();
}

void TCodecOptionsPanel::ShowRowDefaults() {
    if (!row_ || !row_->Quality)
        return;
    loading_ = true;
    cmbQuality->setCurrentIndex(0);
    edtQuality->setEnabled(true);
    edtQuality->setValue(row_->Quality->DefaultCrf);
    cmbPreset->setCurrentIndex(int(spBalanced));
    loading_ = false;
    Store();
}
