#include "app/window/MotionRectPreview.h"

#include "app/motion/MotionDraw.h"
#include "app/motion/MotionSlides.h"
#include "app/output/FrameCount.h"
#include "app/timing/SlideHolds.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

TMotionRectPreview::TMotionRectPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 90);
    setAttribute(Qt::WA_OpaquePaintEvent);
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, &TMotionRectPreview::Tick);
    frame_.SetSize(LargestSide, LargestSide * 9 / 16);
}

void TMotionRectPreview::SetShow(const TSlideshowData& data, int k, double frameAspect) {
    if (k < 0 || k >= int(data.Slides.size()))
        return;
    data_ = data;
    slide_ = k;
    if (!(frameAspect > 0) || !std::isfinite(frameAspect))
        frameAspect = 16.0 / 9.0;
    const double scale = LargestSide / std::max(frameAspect, 1.0);
    const int w = std::max(2, int(std::lround(scale * frameAspect)) & ~1);
    const int h = std::max(2, int(std::lround(scale)) & ~1);
    if (w != frame_.Width() || h != frame_.Height())
        frame_.SetSize(w, h);
    framesPerSecond_ = data.Output.FrameRate.PerSecond();
    const int transition = std::max(FrameCount(data.Output.FrameRate, data.Output.TransitionSeconds), 1);
    frames_ = std::max(2 * transition + SlideHoldFrames(data, k), 1);
    tick_.setInterval(std::clamp(int(1000 / std::max(framesPerSecond_, 1.0)), 10, 100));
    Prepare();
}

void TMotionRectPreview::SetPicture(const QImage& picture) {
    picture_ = TFrameBitmap();
    if (!picture.isNull()) {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
        picture_.SetSize(rgb.width(), rgb.height());
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(picture_.Row(y), rgb.constScanLine(y), std::size_t(rgb.width()) * 4);
    }
    Prepare();
}

void TMotionRectPreview::Prepare() {
    background_ = TFrameBitmap();
    if (!picture_.Empty() && slide_ >= 0 && data_.Output.Framing == TFraming::Blur)
        background_ = MotionBackground(picture_, picture_.Width(), picture_.Height(), frame_.Width(), frame_.Height());
    Plan();
}

void TMotionRectPreview::SetRects(const TMotionRect& start, const TMotionRect& end) {
    if (slide_ < 0)
        return;
    TSlideMotion& motion = data_.Slides[std::size_t(slide_)].Motion;
    motion.Style = TMotionStyle::Rects;
    motion.Start = start;
    motion.End = end;
    Plan();
}

void TMotionRectPreview::Plan() {
    if (slide_ >= 0 && !picture_.Empty()) {
        // The run's seed base is its own; random motion here shows one of the paths it may take.
        const std::uint32_t seedBase = data_.Output.Seed.value_or(0);
        path_ = PlanMotion(SlideMotionRequest(data_, slide_, picture_.Width(), picture_.Height(), frame_.Width(),
                                              frame_.Height(), seedBase));
    }
    // The frame on screen is drawn again at once, at the place the loop has reached.
    Draw(std::max(shown_, 0));
}

QImage TMotionRectPreview::FrameAt(int frame) {
    if (picture_.Empty() || slide_ < 0) {
        frame_.Fill(0);
    } else {
        const int count = int(data_.Slides.size());
        const double progress = MotionProgress(std::clamp(frame, 0, frames_ - 1), frames_, slide_ == 0, slide_ == count - 1);
        DrawMotionView(picture_, MotionView(path_, progress), background_.Empty() ? nullptr : &background_, frame_,
                       MotionFrameFilter);
    }
    QImage image(frame_.Width(), frame_.Height(), QImage::Format_RGB32);
    for (int y = 0; y < frame_.Height(); ++y)
        std::memcpy(image.scanLine(y), frame_.Row(y), std::size_t(frame_.Width()) * 4);
    return image;
}

void TMotionRectPreview::Draw(int frame) {
    shown_ = frame;
    image_ = FrameAt(frame);
    update();
}

void TMotionRectPreview::Tick() {
    const long long frame = (long long)(clock_.nsecsElapsed() / 1e9 * framesPerSecond_) % frames_;
    if (frame != shown_)
        Draw(int(frame));
}

void TMotionRectPreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    clock_.start();
    tick_.start();
}

void TMotionRectPreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    tick_.stop();
}

void TMotionRectPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (image_.isNull())
        return;
    QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
    size = size.boundedTo(image_.size() * 2);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}
