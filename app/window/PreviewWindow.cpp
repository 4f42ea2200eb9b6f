#include "app/window/PreviewWindow.h"

#include "medialib/FFUtils.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

QString PreviewCaption(std::int64_t timeUs) { return QString::fromStdString(DurationText(timeUs)); }

TPreviewWindow::TPreviewWindow(QSize frameSize, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::SizeAllCursor);
    // The frame's own size, unless that would cover most of the screen: a preview of a large
    // video is shown scaled down to half the screen.
    QSize size = frameSize.isValid() ? frameSize : QSize(320, 240);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize limit = screen->availableGeometry().size() / 2;
        if (size.width() > limit.width() || size.height() > limit.height())
            size.scale(limit, Qt::KeepAspectRatio);
        setFixedSize(size);
        move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
    } else {
        setFixedSize(size);
    }
}

void TPreviewWindow::ShowFrame(const std::uint8_t* bits, int width, int height, int stride, int frameNumber,
                               std::int64_t timeUs) {
    // The picture belongs to the engine and is valid only during this call.
    ShowImage(QImage(bits, width, height, stride, QImage::Format_RGB32).copy(), frameNumber, timeUs);
}

void TPreviewWindow::ShowImage(const QImage& picture, int, std::int64_t timeUs) {
    frame_ = picture;
    setWindowTitle(PreviewCaption(timeUs));
    if (!isVisible())
        show();
    update();
}

void TPreviewWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (frame_.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(rect(), frame_);
}

void TPreviewWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // The window is moved by its body as if the caption had been grabbed.
    dragging_ = true;
    dragged_ = false;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TPreviewWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        dragged_ = true;
    }
}

void TPreviewWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    if (dragged_ && OnMovedByUser)
        OnMovedByUser(frameGeometry().topLeft());
    dragged_ = false;
}

void TPreviewWindow::closeEvent(QCloseEvent* event) {
    // The program never closes the window, it destroys it: a close is the user's.
    closedByUser_ = true;
    if (OnClosedByUser)
        OnClosedByUser();
    QWidget::closeEvent(event);
}
