#pragma once
// The window's choice of pan and zoom over the pictures (off by default), shown beside the
// framing; stored the moment it changes in the section "options" of the settings file.

#include "app/IniFile.h"
#include "app/SlideshowJob.h"

#include <QComboBox>

#include <functional>

class TMotionChoice : public QComboBox {
    Q_OBJECT
public:
    TMotionChoice(std::function<TIniFile()> ini, QWidget* parent);
    // Reads the stored choice (at the window's first showing); an unknown one reads as off.
    void Load();
    void ApplyTo(TSlideshowSettings& settings) const;

private:
    void Store();
    std::function<TIniFile()> ini_;
    bool loading_ = false;
};

namespace motion_keys {
inline constexpr const char* Motion = "motion"; // in options_keys::Section
}
