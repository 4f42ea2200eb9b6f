#pragma once
// The window's choices for holds that follow the music: "fit to the music" (the slideshow ends
// when the soundtrack ends) and "transitions on the beat". Shown once a soundtrack is chosen;
// each choice is stored the moment it changes in the section "options" of the settings file.

#include "app/settings/IniFile.h"
#include "app/SlideshowJob.h"

#include <QWidget>

#include <functional>

class QCheckBox;

class TMusicTimingPanel : public QWidget {
    Q_OBJECT
public:
    // ini gives the settings file each time it is needed (the window's own).
    TMusicTimingPanel(std::function<TIniFile()> ini, QWidget* parent);

    QCheckBox* chkFitToMusic;
    QCheckBox* chkBeats;

    // Reads the stored choices (at the window's first showing).
    void Load();
    // Visible only while there is a soundtrack for the holds to follow.
    void ShowForSoundtrack(bool soundtrack);
    // The choices into the job's settings (only with a soundtrack: hidden choices do nothing).
    void ApplyTo(TSlideshowSettings& settings) const;

private:
    void Store();
    std::function<TIniFile()> ini_;
    bool soundtrack_ = false;
    bool loading_ = false;
};

namespace music_timing_keys {
inline constexpr const char* FitToMusic = "fittomusic";
inline constexpr const char* Beats = "beats";
} // namespace music_timing_keys
