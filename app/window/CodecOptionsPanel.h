#pragma once
// The window's choices for the rows of today's codecs and for framing: how each picture fills
// the frame (shown beside the frame size, for every row), and for the H.264, H.265, VP9 and AV1
// rows constant quality or the bit rate of the list, the quality number, the speed preset and,
// for H.264 and H.265, the hardware encoder, and whether every frame is written at the constant
// rate (else a held picture is written once). Each choice is stored the moment it changes in the
// section "options" of the settings file.

#include "app/output/ContainerTable.h"
#include "app/settings/IniFile.h"
#include "app/SlideshowJob.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QSpinBox;

class TCodecOptionsPanel : public QWidget {
    Q_OBJECT
public:
    // ini gives the settings file each time it is needed (the window's own).
    TCodecOptionsPanel(std::function<TIniFile()> ini, QWidget* parent);

    QComboBox* cmbFraming;   // not part of the panel's layout: the window puts it beside the size
    QComboBox* cmbQuality;   // "constant quality", "bit rate"
    QSpinBox* edtQuality;    // the quality number of the row's codec (lower is better)
    QComboBox* cmbPreset;    // "fast", "balanced", "small file"
    QCheckBox* chkHardware;  // "use hardware encoder"
    QCheckBox* chkConstantRate; // "constant frame rate (for video editors)": every frame written

    // Reads the stored choices (at the window's first showing).
    void Load();
    // Shows the quality choices only for a row that has them, with that row's quality number.
    void ShowForRow(const TContainerRow* row);
    // The choices into the job's settings.
    void ApplyTo(TSlideshowSettings& settings) const;
    // Shows a project's choices (after its row was chosen) and stores them as the user would.
    void Show(const TSlideshowSettings& settings);
    // Constant quality at the row's own number and the balanced preset, stored (the Default
    // button of a row of today's codecs).
    void ShowRowDefaults();

private:
    void Store();
    std::function<TIniFile()> ini_;
    const TContainerRow* row_ = nullptr;
    bool loading_ = false;
};

namespace options_keys {
inline constexpr const char* Section = "options";
inline constexpr const char* Framing = "framing";
inline constexpr const char* Quality = "quality";          // "crf" or "bitrate"
inline constexpr const char* CrfPrefix = "crf-";           // + the row's command-line name
inline constexpr const char* Preset = "preset";
inline constexpr const char* HardwareEncoder = "hardwareencoder";
inline constexpr const char* ConstantFrameRate = "constantframerate";
} // namespace options_keys
