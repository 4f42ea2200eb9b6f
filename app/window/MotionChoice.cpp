#include "app/window/MotionChoice.h"

#include "app/motion/MotionNames.h"
#include "app/window/CodecOptionsPanel.h"

namespace {
const TMotionStyle Styles[] = {TMotionStyle::Off, TMotionStyle::ZoomIn, TMotionStyle::ZoomOut, TMotionStyle::Pan,
                               TMotionStyle::Random};
}

TMotionChoice::TMotionChoice(std::function<TIniFile()> ini, QWidget* parent) : QComboBox(parent), ini_(std::move(ini)) {
    for (TMotionStyle style : Styles)
        addItem(QString("motion: ") + MotionStyleName(style));
    setToolTip("pan and zoom over each picture while it is on screen");
    connect(this, &QComboBox::activated, this, &TMotionChoice::Store);
}

void TMotionChoice::Load() {
    TMotionStyle style = TMotionStyle::Off;
    FindMotionStyle(ini_().ReadString(options_keys::Section, motion_keys::Motion, "off"), style);
    loading_ = true;
    setCurrentIndex(int(style) < int(std::size(Styles)) ? int(style) : 0);
    loading_ = false;
}

void TMotionChoice::ApplyTo(TSlideshowSettings& settings) const {
    const int i = currentIndex();
    settings.Motion = i >= 0 && i < int(std::size(Styles)) ? Styles[i] : TMotionStyle::Off;
    settings.Zoom = zoom_;
}

void TMotionChoice::Show(const TSlideshowSettings& settings) {
    for (int i = 0; i < int(std::size(Styles)); ++i)
        if (Styles[i] == settings.Motion)
            setCurrentIndex(i);
    zoom_ = settings.Zoom;
    Store();
}

void TMotionChoice::Store() {
    if (loading_)
        return;
    TSlideshowSettings s;
    ApplyTo(s);
    ini_().WriteString(options_keys::Section, motion_keys::Motion, MotionStyleName(s.Motion));
}
