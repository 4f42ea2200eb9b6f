#pragma once
// Small parts of the main window that are no choice of the slideshow: the hidden log window and
// the menus that lead to the web.

#include <QString>

#include <cstdint>
#include <functional>

class QDialog;
class QMenuBar;
class QPlainTextEdit;
class QSpinBox;
class QWidget;

// The window the log lives in, hidden until shown; log receives its text field.
QDialog* MakeLogWindow(QWidget* parent, QPlainTextEdit*& log);
// "Related software", "Web Site" and "Help" on the menu bar; open takes the address chosen.
void AddWebMenus(QMenuBar* bar, QWidget* context, const QString& homePage, const QString& help,
                 const std::function<void(const QString&)>& open);
// Shows a window of the program, raised above the others and active.
void ShowWindowOnTop(QWidget* window);
// A delay's seconds, changed through the arrows only (like a read-only edit with a spin control
// beside it), from 0 to maximum.
QSpinBox* MakeDelayEdit(QWidget* parent, int maximum);
// The progress bar's position for a time and total duration (0 when there is no total).
int ProgressPercentOf(std::int64_t currentTime, std::int64_t totalDuration);
