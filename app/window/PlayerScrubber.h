#pragma once
// The player's scrubber: a bar over the whole show with a mark where each slide begins and a
// handle at the frame shown. Pressing and dragging tell the frame under the pointer at once;
// letting go tells where it ended.

#include <QWidget>

#include <vector>

class TPlayerScrubber : public QWidget {
    Q_OBJECT
public:
    explicit TPlayerScrubber(QWidget* parent = nullptr);

    void SetShow(long long frames, std::vector<long long> slideStarts);
    void SetPosition(long long frame);
    long long Position() const { return position_; }
    long long Frames() const { return frames_; }
    const std::vector<long long>& Marks() const { return marks_; }
    bool Dragging() const { return dragging_; }
    // The frame at x, and the x of a frame (inside the bar's margins).
    long long FrameAt(int x) const;
    int XOf(long long frame) const;

    QSize sizeHint() const override { return QSize(320, 22); }

signals:
    void Scrubbed(long long frame); // while pressed
    void Released(long long frame);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static constexpr int Margin = 6;
    long long frames_ = 0;
    long long position_ = 0;
    std::vector<long long> marks_;
    bool dragging_ = false;
};
