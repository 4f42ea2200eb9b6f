#include "app/window/MotionRectDialog.h"

#include "app/window/MotionRectEditor.h"
#include "app/window/MotionRectPreview.h"
#include "app/window/ThumbnailLoader.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Large enough to place a framing to a few pixels of the output, small enough to read quickly.
const QSize ThumbnailBox(640, 480);
} // namespace

TMotionRectDialog::TMotionRectDialog(TSlideshowDocument& document, int slide, double frameAspect, QWidget* parent)
    : QDialog(parent), document_(document), slide_(slide) {
    setAttribute(Qt::WA_DeleteOnClose);
    const QString picture = QString::fromStdString(document_.Slide(slide_).Picture);
    setWindowTitle("Motion of " + QFileInfo(picture).fileName());

    lblHint = new QLabel("Drag the start (green) and end (red) framing to move it, a corner to resize it.", this);
    editor_ = new TMotionRectEditor(this);
    editor_->SetFrameAspect(frameAspect);
    preview_ = new TMotionRectPreview(this);
    btnWholePicture = new QPushButton("&No Own Framing", this);
    btnClose = new QPushButton("Close", this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(btnWholePicture, QDialogButtonBox::ResetRole);
    buttons->addButton(btnClose, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHint);
    layout->addWidget(editor_, 1);
    layout->addWidget(preview_);
    layout->addWidget(buttons);

    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(btnWholePicture, &QPushButton::clicked, this, &TMotionRectDialog::UseOutputMotion);
    connect(editor_, &TMotionRectEditor::RectsEdited, this, &TMotionRectDialog::Edited);
    connect(editor_, &TMotionRectEditor::RectsChanging, preview_, &TMotionRectPreview::SetRects);

    // The picture is read off the user-interface thread, as the list's thumbnails are.
    thumbnails_ = new TThumbnailLoader(ThumbnailBox, this);
    connect(thumbnails_, &TThumbnailLoader::Ready, this, &TMotionRectDialog::PictureReady);
    subscription_ = document_.Subscribe(nullptr, [this](const TDocumentChange& c) { DocumentChanged(c); });
    ShowSlide();
    picture_ = picture;
    thumbnails_->Request(picture);
}

TMotionRectDialog::~TMotionRectDialog() {
    document_.Unsubscribe(subscription_);
    thumbnails_->WaitForDone();
}

void TMotionRectDialog::PictureReady(const QString& path, const QImage& image) {
    if (slide_ < 0 || path != QString::fromStdString(document_.Slide(slide_).Picture))
        return;
    editor_->SetPicture(image);
    preview_->SetPicture(image);
    if (image.isNull())
        lblHint->setText("The picture cannot be read.");
    ShowSlide();
}

void TMotionRectDialog::SetChoices(std::function<TSlideshowSettings()> choices) {
    choices_ = std::move(choices);
    ShowSlide();
}

void TMotionRectDialog::ShowSlide() {
    if (slide_ < 0)
        return;
    // The slide moves in the preview as the show has it now: its own framings, or the output
    // choices' motion until it has some.
    TSlideshowData data = document_.Data();
    if (choices_)
        data.Output = choices_();
    preview_->SetShow(data, slide_, editor_->FrameAspect());
    const TSlideMotion& motion = document_.Slide(slide_).Motion;
    if (motion.Style == TMotionStyle::Rects) {
        editor_->SetRects(motion.Start, motion.End);
        return;
    }
    // No framings of its own yet: a zoom into the middle to start from.
    const double pictureAspect = editor_->PictureAspect();
    editor_->SetRects(TMotionRectEditor::WholeFraming(pictureAspect, editor_->FrameAspect()),
                      TMotionRectEditor::CloserFraming(pictureAspect, editor_->FrameAspect()));
}

void TMotionRectDialog::Edited() {
    if (slide_ < 0)
        return;
    TSlideMotion motion = document_.Slide(slide_).Motion;
    motion.Style = TMotionStyle::Rects;
    motion.Start = editor_->Rect(TMotionRectEditor::Start);
    motion.End = editor_->Rect(TMotionRectEditor::End);
    writing_ = true;
    document_.SetMotion(slide_, motion);
    writing_ = false;
}

void TMotionRectDialog::UseOutputMotion() {
    if (slide_ < 0)
        return;
    TSlideMotion motion = document_.Slide(slide_).Motion;
    motion.Style.reset();
    document_.SetMotion(slide_, motion);
}

void TMotionRectDialog::DocumentChanged(const TDocumentChange& change) {
    if (slide_ < 0)
        return;
    switch (change.Kind) {
    case TDocumentChange::SlidesEdited:
        if (writing_ || slide_ < change.First || slide_ >= change.First + change.Count)
            break;
        if (const QString picture = QString::fromStdString(document_.Slide(slide_).Picture); picture != picture_) {
            // Relinked to another file: its own look and aspect.
            picture_ = picture;
            editor_->SetPicture(QImage());
            preview_->SetPicture(QImage());
            if (thumbnails_->Has(picture)) {
                editor_->SetPicture(thumbnails_->Thumbnail(picture));
                preview_->SetPicture(thumbnails_->Thumbnail(picture));
            }
            else
                thumbnails_->Request(picture);
        }
        ShowSlide();
        break;
    case TDocumentChange::SlidesInserted:
        if (change.First <= slide_)
            slide_ += change.Count;
        break;
    case TDocumentChange::SlidesRemoved:
        if (change.First + change.Count <= slide_) {
            slide_ -= change.Count;
            break;
        }
        if (change.First > slide_)
            break;
        [[fallthrough]];
    case TDocumentChange::SlidesMoved:
    case TDocumentChange::Reset:
        // The slide is gone or elsewhere: the framings of another picture would be wrong here.
        slide_ = -1;
        close();
        break;
    default:
        break;
    }
}
