#include "app/window/WindowParts.h"

#include "app/window/WindowTexts.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

QDialog* MakeLogWindow(QWidget* parent, QPlainTextEdit*& log) {
    auto* window = new QDialog(parent);
    window->setWindowTitle("Log");
    window->resize(640, 360);
    auto* layout = new QVBoxLayout(window);
    log = new QPlainTextEdit(window);
    log->setReadOnly(true);
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(log);
    return window;
}

void AddWebMenus(QMenuBar* bar, QWidget* context, const QString& homePage, const QString& help,
                 const std::function<void(const QString&)>& open) {
    QMenu* related = bar->addMenu("Related software");
    for (const window_texts::TRelatedProduct& product : window_texts::RelatedSoftware) {
        const QString url = product.Url;
        related->addAction(product.Name, context, [open, url] { open(url); });
    }
    bar->addAction("Web Site", context, [open, homePage] { open(homePage); });
    bar->addAction("Help", context, [open, help] { open(help); });
}

QSpinBox* MakeDelayEdit(QWidget* parent, int maximum) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(0, maximum);
    spin->findChild<QLineEdit*>()->setReadOnly(true);
    return spin;
}

int ProgressPercentOf(std::int64_t currentTime, std::int64_t totalDuration) {
    if (totalDuration <= 0)
        return 0;
    const std::int64_t percent = currentTime * 100 / totalDuration;
    return int(std::clamp<std::int64_t>(percent, 0, 100));
}

void ShowWindowOnTop(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}
