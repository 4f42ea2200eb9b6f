#pragma once
// The window's choice of pan and zoom over the pictures (off by default), shown beside the
// framing; stored the moment it changes in the section "options" of the settings file.

#include "app/settings/IniFile.h"
#include "app/SlideshowJob.h"

#include <QComboBox>

#include <functional>

class TMotionChoice : public QComboBox {
    Q_OBJECT
public:
    TMotionChoice(std::function<TIniFile()> ini, QWidget* parent);
    // Reads the stored choice (at the window's first showing); an unknown one reads as off.
    void Load();
    // The style and how far it zooms into the job's settings. The zoom has no control of its
    // own: it is the default until a project brings its own, which is kept from then on.
    void ApplyTo(TSlideshowSettings& settings) const;
    // Shows a project's choice and stores it as the user would.
    void Show(const TSlideshowSettings& settings);

private:
    void Store();
    std::function<TIniFile()> ini_;
    bool loading_ = false;
    double zoom_ = TSlideshowSettings{}.Zoom;
};

namespace motion_keys {
inline constexpr const char* Motion = "motion"; // in options_keys::Section
}
