#include "app/window/MotionRectEditor.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// A corner within this many pixels of the pointer is grabbed for resizing.
constexpr double CornerReach = 8;
// No framing smaller than this part of the largest one: a zoom into a few pixels of a photo
// shows nothing but blur.
constexpr double SmallestPart = 0.1;

const QColor StartColour(40, 200, 80);
const QColor EndColour(230, 60, 50);

} // namespace

TMotionRectEditor::TMotionRectEditor(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 180);
    setMouseTracking(false);
}

double TMotionRectEditor::PictureAspect() const {
    return picture_.isNull() || picture_.height() == 0 ? 4.0 / 3.0 : double(picture_.width()) / picture_.height();
}

TMotionRect TMotionRectEditor::Keep(TMotionRect r, double pictureAspect, double frameAspect) {
    if (!(pictureAspect > 0) || !(frameAspect > 0) || !std::isfinite(pictureAspect) || !std::isfinite(frameAspect))
        return {};
    const double heightPerWidth = pictureAspect / frameAspect; // H of a rectangle of W = 1
    const double largest = std::min(1.0, 1.0 / heightPerWidth);
    const double cx = std::isfinite(r.X + r.W / 2) ? r.X + r.W / 2 : 0.5;
    const double cy = std::isfinite(r.Y + r.H / 2) ? r.Y + r.H / 2 : 0.5;
    const double w = std::isfinite(r.W) ? std::clamp(r.W, largest * SmallestPart, largest) : largest;
    TMotionRect kept;
    kept.W = w;
    kept.H = w * heightPerWidth;
    kept.X = std::clamp(cx - kept.W / 2, 0.0, 1.0 - kept.W);
    kept.Y = std::clamp(cy - kept.H / 2, 0.0, 1.0 - kept.H);
    // A rectangle that fits already comes back as it was, not moved by rounding: framings must
    // not creep each time the editor opens them.
    const auto same = [](double a, double b) { return std::abs(a - b) < 1e-9; };
    if (same(kept.X, r.X) && same(kept.Y, r.Y) && same(kept.W, r.W) && same(kept.H, r.H))
        return r;
    return kept;
}

TMotionRect TMotionRectEditor::WholeFraming(double pictureAspect, double frameAspect) {
    return Keep({0, 0, 1, 1}, pictureAspect, frameAspect);
}

TMotionRect TMotionRectEditor::CloserFraming(double pictureAspect, double frameAspect) {
    TMotionRect r = WholeFraming(pictureAspect, frameAspect);
    r = {r.X + r.W / 8, r.Y + r.H / 8, r.W * 0.75, r.H * 0.75};
    return Keep(r, pictureAspect, frameAspect);
}

void TMotionRectEditor::SetPicture(const QImage& picture) {
    picture_ = picture;
    SetRects(rects_[Start], rects_[End]);
}

void TMotionRectEditor::SetFrameAspect(double aspect) {
    if (aspect > 0 && std::isfinite(aspect))
        frameAspect_ = aspect;
    SetRects(rects_[Start], rects_[End]);
}

void TMotionRectEditor::SetRects(const TMotionRect& start, const TMotionRect& end) {
    rects_[Start] = Keep(start, PictureAspect(), frameAspect_);
    rects_[End] = Keep(end, PictureAspect(), frameAspect_);
    update();
}

QRectF TMotionRectEditor::PictureArea() const {
    const QRectF all = QRectF(rect()).adjusted(4, 4, -4, -4);
    const double aspect = PictureAspect();
    QSizeF size(all.width(), all.width() / aspect);
    if (size.height() > all.height())
        size = QSizeF(all.height() * aspect, all.height());
    return QRectF(all.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QRectF TMotionRectEditor::ShownRect(ERect which) const {
    const QRectF a = PictureArea();
    const TMotionRect& r = rects_[which];
    return QRectF(a.left() + r.X * a.width(), a.top() + r.Y * a.height(), r.W * a.width(), r.H * a.height());
}

QPointF TMotionRectEditor::Fraction(const QPointF& p) const {
    const QRectF a = PictureArea();
    return {(p.x() - a.left()) / a.width(), (p.y() - a.top()) / a.height()};
}

void TMotionRectEditor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (picture_.isNull()) {
        painter.drawText(rect(), Qt::AlignCenter, "No picture to show");
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(PictureArea(), picture_);
    // The active rectangle is drawn last, on top, as it is the one the mouse grabs first.
    const ERect order[2] = {active_ == Start ? End : Start, active_};
    for (ERect which : order) {
        const QRectF r = ShownRect(which);
        const QColor colour = which == Start ? StartColour : EndColour;
        painter.setPen(QPen(colour, which == active_ ? 2.5 : 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r);
        painter.setBrush(colour);
        for (const QPointF& c : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            painter.drawRect(QRectF(c - QPointF(3, 3), QSizeF(6, 6)));
        painter.drawText(r.adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, which == Start ? "Start" : "End");
    }
}

void TMotionRectEditor::mousePressEvent(QMouseEvent* event) {
    if (picture_.isNull() || event->button() != Qt::LeftButton)
        return;
    const QPointF p = event->position();
    const ERect order[2] = {active_, active_ == Start ? End : Start};
    // Corners first (of either rectangle), then the insides.
    for (ERect which : order) {
        const QRectF r = ShownRect(which);
        const QPointF corners[4] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
        const QPointF opposite[4] = {r.bottomRight(), r.bottomLeft(), r.topRight(), r.topLeft()};
        for (int i = 0; i < 4; ++i)
            if (std::hypot(p.x() - corners[i].x(), p.y() - corners[i].y()) <= CornerReach) {
                active_ = which;
                drag_ = Resize;
                grab_ = Fraction(opposite[i]);
                update();
                return;
            }
    }
    for (ERect which : order)
        if (ShownRect(which).contains(p)) {
            active_ = which;
            drag_ = Move;
            const QPointF f = Fraction(p);
            grab_ = QPointF(f.x() - rects_[which].X, f.y() - rects_[which].Y);
            update();
            return;
        }
}

void TMotionRectEditor::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ != None)
        DragTo(event->position());
}

void TMotionRectEditor::DragTo(const QPointF& widgetPoint) {
    const QPointF f = Fraction(widgetPoint);
    const double pictureAspect = PictureAspect();
    TMotionRect r = rects_[active_];
    if (drag_ == Move) {
        r.X = f.x() - grab_.x();
        r.Y = f.y() - grab_.y();
    } else {
        // The corner opposite the grabbed one stays; the pointer's farther direction decides
        // the size, limited by the room between the fixed corner and the picture's edges.
        const double heightPerWidth = pictureAspect / frameAspect_;
        const bool left = f.x() < grab_.x(), up = f.y() < grab_.y();
        const double roomW = left ? grab_.x() : 1.0 - grab_.x();
        const double roomH = up ? grab_.y() : 1.0 - grab_.y();
        const double largest = std::min(1.0, 1.0 / heightPerWidth);
        double w = std::max(std::abs(f.x() - grab_.x()), std::abs(f.y() - grab_.y()) / heightPerWidth);
        w = std::min({w, roomW, roomH / heightPerWidth});
        w = std::max(w, largest * SmallestPart);
        r.W = w;
        r.H = w * heightPerWidth;
        r.X = left ? grab_.x() - r.W : grab_.x();
        r.Y = up ? grab_.y() - r.H : grab_.y();
    }
    r = Keep(r, pictureAspect, frameAspect_);
    if (!(r == rects_[active_])) {
        rects_[active_] = r;
        changed_ = true;
        update();
        emit RectsChanging(rects_[Start], rects_[End]);
    }
}

void TMotionRectEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == None || event->button() != Qt::LeftButton)
        return;
    DragTo(event->position());
    drag_ = None;
    if (changed_) {
        changed_ = false;
        emit RectsEdited(rects_[Start], rects_[End]);
    }
}
