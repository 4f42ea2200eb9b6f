#include "app/window/PlayerScrubber.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

TPlayerScrubber::TPlayerScrubber(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(18);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void TPlayerScrubber::SetShow(long long frames, std::vector<long long> slideStarts) {
    frames_ = std::max<long long>(frames, 0);
    marks_ = std::move(slideStarts);
    position_ = std::clamp<long long>(position_, 0, std::max<long long>(frames_ - 1, 0));
    update();
}

void TPlayerScrubber::SetPosition(long long frame) {
    if (frame == position_)
        return;
    position_ = frame;
    update();
}

long long TPlayerScrubber::FrameAt(int x) const {
    const int w = width() - 2 * Margin;
    if (frames_ <= 1 || w <= 0)
        return 0;
    const double f = double(x - Margin) / w * double(frames_ - 1);
    return std::clamp<long long>(std::llround(f), 0, frames_ - 1);
}

int TPlayerScrubber::XOf(long long frame) const {
    const int w = width() - 2 * Margin;
    if (frames_ <= 1)
        return Margin;
    return Margin + int(std::lround(double(frame) / double(frames_ - 1) * w));
}

void TPlayerScrubber::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int mid = height() / 2;
    const QPalette& pal = palette();
    p.setPen(Qt::NoPen);
    p.setBrush(pal.color(QPalette::Mid));
    p.drawRoundedRect(QRectF(Margin, mid - 2, width() - 2 * Margin, 4), 2, 2);
    if (frames_ > 0) {
        p.setBrush(pal.color(QPalette::Highlight));
        p.drawRoundedRect(QRectF(Margin, mid - 2, XOf(position_) - Margin, 4), 2, 2);
    }
    // A tick where each slide comes in.
    p.setPen(QPen(pal.color(QPalette::WindowText), 1));
    for (long long mark : marks_) {
        const int x = XOf(mark);
        p.drawLine(x, mid - 6, x, mid + 6);
    }
    if (frames_ > 0) {
        p.setPen(QPen(pal.color(QPalette::Dark), 1));
        p.setBrush(pal.color(QPalette::Button));
        p.drawEllipse(QPointF(XOf(position_), mid), 6, 6);
    }
}

void TPlayerScrubber::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || frames_ <= 0)
        return;
    dragging_ = true;
    SetPosition(FrameAt(event->position().toPoint().x()));
    emit Scrubbed(position_);
}

void TPlayerScrubber::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    const long long frame = FrameAt(event->position().toPoint().x());
    if (frame == position_)
        return;
    SetPosition(frame);
    emit Scrubbed(position_);
}

void TPlayerScrubber::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    SetPosition(FrameAt(event->position().toPoint().x()));
    emit Released(position_);
}
