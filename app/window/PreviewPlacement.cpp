#include "app/window/PreviewPlacement.h"

#include "app/window/PreviewWindow.h"

#include <QAbstractButton>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
constexpr int Gap = 8;
constexpr const char* Section = "options";
// Smaller than this a preview shows nothing worth seeing.
constexpr int SmallestWidth = 160;

bool Clear(const QRect& r, const std::vector<QRect>& buttons) {
    return std::none_of(buttons.begin(), buttons.end(), [&](const QRect& b) { return r.intersects(b); });
}

// The preview's size scaled down (never up) to fit the space.
QSize FitInto(QSize preview, QSize space) {
    if (preview.width() <= space.width() && preview.height() <= space.height())
        return preview;
    if (space.width() <= 0 || space.height() <= 0)
        return {0, 0};
    return preview.scaled(space, Qt::KeepAspectRatio);
}
} // namespace

QRect PlacePreview(const QRect& screen, const QRect& mainWindow, const std::vector<QRect>& buttons, QSize preview,
                   std::optional<QPoint> stored) {
    if (stored) {
        const QRect r(*stored, preview);
        if (screen.contains(r) && Clear(r, buttons))
            return r;
    }
    // The free strips of the screen beside the main window, the right one first (where the eye
    // goes after pressing Start), each with the corner the preview takes in it.
    const QRect m = mainWindow.intersected(screen);
    struct TStrip {
        QRect Space;
        bool AlignRight, AlignBottom;
    };
    const TStrip strips[] = {
        {QRect(QPoint(m.right() + 1 + Gap, screen.top()), screen.bottomRight()), false, false},
        {QRect(screen.topLeft(), QPoint(m.left() - 1 - Gap, screen.bottom())), true, false},
        {QRect(QPoint(screen.left(), m.bottom() + 1 + Gap), screen.bottomRight()), false, false},
        {QRect(screen.topLeft(), QPoint(screen.right(), m.top() - 1 - Gap)), false, true},
    };
    QRect best;
    for (const TStrip& strip : strips) {
        if (!strip.Space.isValid())
            continue;
        const QSize size = FitInto(preview, strip.Space.size());
        if (size.isEmpty() || size.width() <= best.width())
            continue;
        // Level with the main window's top (or beside its left edge), kept on the screen.
        QPoint at(strip.AlignRight ? strip.Space.right() + 1 - size.width() : strip.Space.left(),
                  strip.AlignBottom ? strip.Space.bottom() + 1 - size.height() : strip.Space.top());
        if (strip.Space.top() == screen.top() && !strip.AlignBottom)
            at.setY(std::clamp(m.top(), screen.top(), screen.bottom() + 1 - size.height()));
        if (strip.Space.left() == screen.left() && !strip.AlignRight)
            at.setX(std::clamp(m.left(), screen.left(), screen.right() + 1 - size.width()));
        best = QRect(at, size);
        if (size == preview)
            break;
    }
    if (best.width() >= SmallestWidth)
        return best;
    // The main window fills the screen: a small preview in the first place clear of its buttons,
    // scanning from the screen's top right corner.
    const QSize small = FitInto(preview, QSize(SmallestWidth, SmallestWidth));
    for (int y = screen.top(); y + small.height() - 1 <= screen.bottom(); y += 8)
        for (int x = screen.right() + 1 - small.width(); x >= screen.left(); x -= 8) {
            const QRect r(QPoint(x, y), small);
            if (Clear(r, buttons))
                return r;
        }
    return QRect(QPoint(screen.right() + 1 - small.width(), screen.top()), small);
}

std::function<void(TPreviewWindow&)> PreviewBeside(QWidget* main, std::function<TIniFile()> ini) {
    QPointer<QWidget> window(main);
    return [window, ini](TPreviewWindow& preview) {
        if (!window)
            return;
        QScreen* screen = window->screen();
        if (!screen)
            return;
        std::vector<QRect> buttons;
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (b->isVisible())
                buttons.emplace_back(b->mapToGlobal(QPoint(0, 0)), b->size());
        const TIniFile file = ini();
        std::optional<QPoint> stored;
        if (file.ValueExists(Section, options_keys::PreviewX) && file.ValueExists(Section, options_keys::PreviewY))
            stored = QPoint(file.ReadInteger(Section, options_keys::PreviewX, 0),
                            file.ReadInteger(Section, options_keys::PreviewY, 0));
        // Placed with its frame: the caption bar is not known before the window first shows.
        const QSize frame(2, 32);
        const QRect place = PlacePreview(screen->availableGeometry(), window->frameGeometry(), buttons,
                                         preview.size() + frame, stored);
        preview.setFixedSize((place.size() - frame).expandedTo(QSize(16, 9)));
        preview.move(place.topLeft());
        preview.OnMovedByUser = [window, ini](QPoint topLeft) {
            if (!window)
                return;
            const TIniFile file = ini();
            file.WriteInteger(Section, options_keys::PreviewX, topLeft.x());
            file.WriteInteger(Section, options_keys::PreviewY, topLeft.y());
        };
    };
}
