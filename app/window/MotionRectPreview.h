#pragma once
// The framing window's small player: the slide moving along its motion path, from its start
// framing to its end framing and again from the start, at the show's pace. Each frame is drawn by
// the render's own moving-slide code (the path planned from the same request, the view resampled
// over the blurred background of blur framing), from the picture's thumbnail at a small size:
// about a millisecond a frame, so the user-interface thread draws each one as the loop reaches it.
// The loop runs while the widget is shown.

#include "app/motion/MotionPlan.h"
#include "app/show/SlideshowData.h"
#include "effects/FrameBitmap.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

class TMotionRectPreview : public QWidget {
    Q_OBJECT
public:
    // The frame's largest side here.
    static constexpr int LargestSide = 320;

    explicit TMotionRectPreview(QWidget* parent = nullptr);

    // The slide k of data moves (its motion, the output choices' framing, zoom, seed, frame
    // rate, hold and transition); frameAspect: width by height of the output frame.
    void SetShow(const TSlideshowData& data, int k, double frameAspect);
    // The slide's picture, upright (a thumbnail: it is scaled to the frame here anyway). A null
    // image shows black.
    void SetPicture(const QImage& picture);
    // The framings being edited: the slide moves from start to end from now on.
    void SetRects(const TMotionRect& start, const TMotionRect& end);

    QSize FrameSize() const { return {frame_.Width(), frame_.Height()}; }
    const TMotionPath& Path() const { return path_; }
    // One round of the loop: the frames the slide is on screen in the show.
    int Frames() const { return frames_; }
    // The slide's own frame shown last (-1 before the first) and its picture.
    int Shown() const { return shown_; }
    const QImage& Picture() const { return image_; }
    // The picture of the slide's own frame (0 .. Frames() - 1) as the loop shows it.
    QImage FrameAt(int frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    QSize sizeHint() const override { return {LargestSide, LargestSide * 9 / 16}; }

private:
    void Prepare(); // the background and the path, after the picture or the show changed
    void Plan();
    void Tick();
    void Draw(int frame);

    TSlideshowData data_;
    int slide_ = -1;
    TFrameBitmap picture_;    // the thumbnail
    TFrameBitmap background_; // blur framing's still background; empty otherwise
    TFrameBitmap frame_;
    TMotionPath path_;
    int frames_ = 1;
    double framesPerSecond_ = 25;
    int shown_ = -1;
    QImage image_;
    QTimer tick_;
    QElapsedTimer clock_;
};
