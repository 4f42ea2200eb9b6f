#pragma once
// The window that edits one slide's motion framings: the picture with its start and end
// rectangles, and below them the slide moving along its path in a loop (following a drag as it
// goes). Every finished drag is written to the document at once (the slide's motion
// becomes TMotionStyle::Rects); the window closes itself when its slide goes away.

#include "app/document/SlideshowDocument.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class TMotionRectEditor;
class TMotionRectPreview;
class TThumbnailLoader;

class TMotionRectDialog : public QDialog {
    Q_OBJECT
public:
    // frameAspect: width by height of the output frame the framings are made for.
    TMotionRectDialog(TSlideshowDocument& document, int slide, double frameAspect, QWidget* parent = nullptr);
    ~TMotionRectDialog() override;

    int SlideIndex() const { return slide_; }
    TMotionRectEditor* Editor() const { return editor_; }
    TMotionRectPreview* Preview() const { return preview_; }
    // The output choices the slide moves with (framing, zoom, frame rate, hold, transition) as a
    // job would take them now; unset: the document's own.
    void SetChoices(std::function<TSlideshowSettings()> choices);
    QLabel* lblHint;
    QPushButton* btnWholePicture; // back to the slide's motion of the output choices
    QPushButton* btnClose;

private:
    void PictureReady(const QString& path, const QImage& image);
    void Edited();
    void ShowSlide();
    void DocumentChanged(const TDocumentChange& change);
    void UseOutputMotion();

    TSlideshowDocument& document_;
    int slide_;
    TMotionRectEditor* editor_;
    TMotionRectPreview* preview_;
    std::function<TSlideshowSettings()> choices_;
    TThumbnailLoader* thumbnails_;
    int subscription_ = 0;
    bool writing_ = false;
    QString picture_; // the file the editor shows (or waits for)
};
