#include "app/window/Banner.h"

#include <QPainter>

TBanner::TBanner(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(26);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient g(0, 0, width(), 0);
    g.setColorAt(0, QColor(0x1c, 0x3f, 0x74));
    g.setColorAt(1, QColor(0x3f, 0x8f, 0xc9));
    p.fillRect(rect(), g);
    p.setPen(Qt::white);
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.15);
    p.setFont(f);
    p.drawText(rect().adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, "Zemo Pixaroll");
    p.setFont(font());
    p.drawText(rect().adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignRight,
               "Photos and music into a video slideshow");
}

void TBanner::mousePressEvent(QMouseEvent*) {
    if (OnClick)
        OnClick();
}
