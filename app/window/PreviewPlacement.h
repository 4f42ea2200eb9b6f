#pragma once
// Where the preview window of a running job goes: beside the main window on the same screen
// (right of it, else left, below or above), never over one of its buttons; where the user last
// dragged it, when that place is still on the screen and clear of the buttons. The user's place
// is kept in the section "options" of the settings file.

#include "app/settings/IniFile.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>
#include <vector>

class QWidget;
class TPreviewWindow;

// The preview's rectangle: preview is its wanted size (kept in proportion when it must shrink to
// fit beside the window), mainWindow the main window's frame and buttons its buttons, all in
// screen coordinates.
QRect PlacePreview(const QRect& screen, const QRect& mainWindow, const std::vector<QRect>& buttons, QSize preview,
                   std::optional<QPoint> stored);

// What the preview factory calls with each new preview window: places it beside main by the rule
// above and stores where the user drags it. Does nothing once main is gone.
std::function<void(TPreviewWindow&)> PreviewBeside(QWidget* main, std::function<TIniFile()> ini);

namespace options_keys {
inline constexpr const char* PreviewX = "previewx";
inline constexpr const char* PreviewY = "previewy";
} // namespace options_keys
