#pragma once
// The start and end framings of a slide's motion, drawn on the picture's thumbnail: two
// rectangles the user drags (inside) and resizes (by a corner). Both always keep the frame's
// aspect and stay inside the picture. Rectangles are fractions of the picture, as the document
// keeps them.

#include "app/show/MotionTypes.h"

#include <QImage>
#include <QRectF>
#include <QWidget>

class TMotionRectEditor : public QWidget {
    Q_OBJECT
public:
    explicit TMotionRectEditor(QWidget* parent = nullptr);

    enum ERect { Start, End };

    // The picture (a thumbnail is enough: only its aspect and look matter). A null image
    // leaves nothing to edit.
    void SetPicture(const QImage& picture);
    bool HasPicture() const { return !picture_.isNull(); }
    // Width by height of the picture (4:3 while there is none).
    double PictureAspect() const;
    // Width by height of the output frame.
    void SetFrameAspect(double aspect);
    double FrameAspect() const { return frameAspect_; }

    // Sets both rectangles, each first brought to the frame's aspect and inside the picture.
    void SetRects(const TMotionRect& start, const TMotionRect& end);
    TMotionRect Rect(ERect which) const { return rects_[which]; }

    // The framings a slide without rectangles of its own starts the editor with: the largest
    // at the frame's aspect, and a closer one (three quarters the size) around the middle.
    static TMotionRect WholeFraming(double pictureAspect, double frameAspect);
    static TMotionRect CloserFraming(double pictureAspect, double frameAspect);

    // r at the frame's aspect (in the picture's pixels: W x pictureAspect / H = frameAspect) and
    // inside the picture: the width decides the height, a rectangle too large or too small takes
    // the nearest size about its centre, then it is moved inside.
    static TMotionRect Keep(TMotionRect r, double pictureAspect, double frameAspect);

    // Where the picture and a rectangle are shown in the widget (tests drive the mouse by them).
    QRectF PictureArea() const;
    QRectF ShownRect(ERect which) const;

signals:
    // After the user moved or resized a rectangle (on releasing the mouse).
    void RectsEdited(const TMotionRect& start, const TMotionRect& end);
    // While the user drags: after every move that changed a rectangle.
    void RectsChanging(const TMotionRect& start, const TMotionRect& end);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override { return {480, 360}; }

private:
    enum EDrag { None, Move, Resize };
    QPointF Fraction(const QPointF& widgetPoint) const;
    void DragTo(const QPointF& widgetPoint);

    QImage picture_;
    double frameAspect_ = 4.0 / 3.0;
    TMotionRect rects_[2];
    ERect active_ = End;
    EDrag drag_ = None;
    QPointF grab_;     // Move: the pointer's offset in the rectangle; Resize: the fixed corner
    bool changed_ = false;
};
