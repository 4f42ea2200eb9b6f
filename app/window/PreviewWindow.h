#pragma once
// The preview window: a small stay-on-top tool window that shows the frames being encoded with
// their number and time in its caption. It is dragged by its body; closing it tells the engine
// to stop sending pictures.

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>

class TPreviewWindow : public QWidget {
    Q_OBJECT
public:
    // size: the frame size; the window takes it when it is made (smaller on a small screen).
    explicit TPreviewWindow(QSize frameSize, QWidget* parent = nullptr);

    // Copies the picture (32-bit B, G, R, X rows of stride bytes, top row first) and shows it
    // with its frame number and time. Runs on the user-interface thread.
    void ShowFrame(const std::uint8_t* bits, int width, int height, int stride, int frameNumber,
                   std::int64_t timeUs);
    // The same with a picture already copied.
    void ShowImage(const QImage& picture, int frameNumber, std::int64_t timeUs);
    bool ClosedByUser() const { return closedByUser_; }
    // Called when the user closes the window.
    std::function<void()> OnClosedByUser;
    // Called when the user has dragged the window to a new place (its frame's top left corner).
    std::function<void(QPoint)> OnMovedByUser;
    const QImage& Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QImage frame_;
    bool closedByUser_ = false;
    bool dragging_ = false, dragged_ = false;
    QPoint dragOffset_;
};

// The caption for a frame: its time alone, "00:00:01.400".
QString PreviewCaption(std::int64_t timeUs);
