#pragma once
// The window's music choices, in a dialog of their own (Slides menu, "Music..."): the songs that
// play after the Add Audio one, in their order; the music looped to the end of the pictures;
// fades at the start and the end; a loudness target. Loop, fades and loudness are stored the
// moment they change in the section "options" of the settings file; the further songs belong to
// the slideshow (the project file keeps them), like the Add Audio one.

#include "app/settings/IniFile.h"
#include "app/SlideshowJob.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QPushButton;
class TWindowServices;

class TMusicOptions : public QDialog {
    Q_OBJECT
public:
    // ini gives the settings file each time it is needed; services opens the file dialog.
    TMusicOptions(std::function<TIniFile()> ini, TWindowServices& services, QWidget* parent);

    QListWidget* lstMoreAudio;     // the songs after the first
    QPushButton* btnAddSong;       // "Add another..."
    QPushButton* btnRemoveSong;
    QCheckBox* chkLoop;
    QCheckBox* chkFadeIn;
    QDoubleSpinBox* edtFadeIn;
    QComboBox* cmbFadeOut;         // none, over the last transition, seconds
    QDoubleSpinBox* edtFadeOut;
    QCheckBox* chkLoudness;
    QDoubleSpinBox* edtLoudness;

    // Reads the stored choices (at the window's first showing).
    void Load();
    // The choices into the job's settings.
    void ApplyTo(TSlideshowSettings& settings) const;
    // Shows a project's choices (and stores them, as if the user had made them).
    void Show(const TSlideshowSettings& output, const std::vector<std::string>& moreSongs);
    std::vector<std::string> MoreSongs() const;

signals:
    void Changed();

private:
    void Store();
    void UpdateEnabled();
    std::function<TIniFile()> ini_;
    TWindowServices& services_;
    bool loading_ = false;
};

namespace music_keys {
inline constexpr const char* Loop = "loopmusic";
inline constexpr const char* FadeIn = "fadein";       // seconds; absent or 0: none
inline constexpr const char* FadeOut = "fadeout";     // "auto", seconds, or absent: none
inline constexpr const char* Loudness = "loudness";   // LUFS; absent: as the songs are
} // namespace music_keys
