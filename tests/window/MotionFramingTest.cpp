// The editor of a slide's start and end framings: the rectangles' rule (frame aspect, inside the
// picture), dragging and resizing them with the mouse on a real picture, the document holding
// the result, and the way there from the window's Slides menu.
#include "app/window/MainWindow.h"
#include "app/window/MotionRectDialog.h"
#include "app/window/MotionRectEditor.h"
#include "app/window/MotionRectPreview.h"
#include "app/window/PictureListView.h"
#include "app/window/SlideEditor.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// The aspect of r in the pixels of a picture of the given aspect.
double PixelAspect(const TMotionRect& r, double pictureAspect) { return r.W * pictureAspect / r.H; }

void ExpectFraming(const TMotionRect& r, double pictureAspect, double frameAspect, const char* what) {
    EXPECT_NEAR(PixelAspect(r, pictureAspect), frameAspect, 1e-9) << what;
    EXPECT_GE(r.X, -1e-12) << what;
    EXPECT_GE(r.Y, -1e-12) << what;
    EXPECT_LE(r.X + r.W, 1 + 1e-12) << what;
    EXPECT_LE(r.Y + r.H, 1 + 1e-12) << what;
    EXPECT_GT(r.W, 0) << what;
}

// Presses at from, moves in steps to to, releases there.
void Drag(QWidget* w, QPointF from, QPointF to) {
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from.toPoint());
    for (int i = 1; i <= 4; ++i) {
        const QPointF p = from + (to - from) * (i / 4.0);
        QMouseEvent move(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, to.toPoint());
}

class MotionFraming : public ::testing::Test {
protected:
    // A 400x300 picture in the private home.
    std::string Picture() {
        const std::string file = home_.File("framed.jpg");
        WriteTestJpeg(file, 400, 300, [](int x, int y) { return (x / 20 + y / 20) % 2 ? 0xE0E0E0u : 0x303030u; });
        return file;
    }
    TPrivateHome home_;
    TFakeServices services_;
};

} // namespace

TEST(MotionRectRule, KeepsTheFrameAspectInsideThePictureForEveryShape) {
    struct { double Picture, Frame; } shapes[] = {{4.0 / 3, 16.0 / 9}, {3.0 / 4, 16.0 / 9}, {4.0, 16.0 / 9},
                                                  {1.0, 9.0 / 16}, {16.0 / 9, 16.0 / 9}};
    const TMotionRect tries[] = {{0, 0, 1, 1},      {0.8, 0.8, 0.5, 0.5}, {-0.3, -0.2, 0.2, 0.4},
                                 {0.4, 0.4, 3, 3},  {0.5, 0.5, 0, 0},     {0.1, 0.2, NAN, 0.3}};
    for (const auto& s : shapes) {
        for (const TMotionRect& r : tries)
            ExpectFraming(TMotionRectEditor::Keep(r, s.Picture, s.Frame), s.Picture, s.Frame, "kept");
        // The whole framing touches two opposite edges of the picture; the closer one is smaller.
        const TMotionRect whole = TMotionRectEditor::WholeFraming(s.Picture, s.Frame);
        const TMotionRect closer = TMotionRectEditor::CloserFraming(s.Picture, s.Frame);
        ExpectFraming(whole, s.Picture, s.Frame, "whole");
        EXPECT_TRUE(std::abs(whole.W - 1) < 1e-9 || std::abs(whole.H - 1) < 1e-9);
        EXPECT_NEAR(closer.W, whole.W * 0.75, 1e-9);
        EXPECT_NEAR(closer.X + closer.W / 2, 0.5, 1e-9);
    }
    // A rectangle that already fits stays exactly where it is.
    const TMotionRect fits{0.1, 0.2, 0.5, 0.5 * (4.0 / 3) / (16.0 / 9)};
    EXPECT_EQ(TMotionRectEditor::Keep(fits, 4.0 / 3, 16.0 / 9), fits);
}

TEST_F(MotionFraming, DraggingMovesAndResizesTheFramingsInTheDocument) {
    TSlideshowDocument document;
    document.AppendPictures({Picture()});
    int edits = 0;
    document.Subscribe(nullptr, [&](const TDocumentChange& c) { edits += c.Kind == TDocumentChange::SlidesEdited; });
    const double frame = 16.0 / 9, picture = 4.0 / 3;
    auto* dialog = new TMotionRectDialog(document, 0, frame);
    dialog->resize(600, 500);
    dialog->show();
    TMotionRectEditor* editor = dialog->Editor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->HasPicture(); }, 10000));
    EXPECT_NEAR(editor->PictureAspect(), picture, 1e-9);
    EXPECT_FALSE(document.Slide(0).Motion.Style.has_value()); // looking changes nothing

    // The end framing dragged far beyond the bottom right corner stops at the picture's edges.
    const QRectF end = editor->ShownRect(TMotionRectEditor::End);
    const QRectF area = editor->PictureArea();
    Drag(editor, end.center(), area.bottomRight() + QPointF(200, 200));
    const TSlideMotion moved = document.Slide(0).Motion;
    ASSERT_EQ(moved.Style, TMotionStyle::Rects);
    EXPECT_EQ(edits, 1);
    ExpectFraming(moved.End, picture, frame, "moved end");
    EXPECT_NEAR(moved.End.X + moved.End.W, 1, 1e-9);
    EXPECT_NEAR(moved.End.Y + moved.End.H, 1, 1e-9);
    EXPECT_NEAR(moved.End.W, TMotionRectEditor::CloserFraming(picture, frame).W, 1e-9); // moved, not resized
    EXPECT_EQ(moved.Start, TMotionRectEditor::WholeFraming(picture, frame));

    // The start framing's top left corner dragged towards the middle: the bottom right corner
    // stays, the size shrinks at the frame's aspect to take in the pointer (the direction it
    // moved less).
    const TMotionRect before = moved.Start;
    const QRectF start = editor->ShownRect(TMotionRectEditor::Start);
    Drag(editor, start.topLeft(), start.topLeft() + QPointF(start.width() * 0.5, start.height() * 0.4));
    const TSlideMotion resized = document.Slide(0).Motion;
    ExpectFraming(resized.Start, picture, frame, "resized start");
    EXPECT_NEAR(resized.Start.X + resized.Start.W, before.X + before.W, 1e-9);
    EXPECT_NEAR(resized.Start.Y + resized.Start.H, before.Y + before.H, 1e-9);
    EXPECT_NEAR(resized.Start.W, before.W * 0.6, 0.01);
    EXPECT_EQ(resized.End, moved.End);

    // A corner pulled outwards past the picture grows only as far as the picture has room.
    const QRectF grown = editor->ShownRect(TMotionRectEditor::Start);
    Drag(editor, grown.topLeft(), area.topLeft() - QPointF(300, 50));
    ExpectFraming(document.Slide(0).Motion.Start, picture, frame, "grown start");
    EXPECT_NEAR(document.Slide(0).Motion.Start.W, before.W, 1e-9);

    // A click that moves nothing writes nothing; a change of the document shows in the editor.
    const int editsSoFar = edits;
    const QPointF inside = editor->ShownRect(TMotionRectEditor::End).center();
    QTest::mouseClick(editor, Qt::LeftButton, Qt::NoModifier, inside.toPoint());
    EXPECT_EQ(edits, editsSoFar);
    TSlideMotion fromElsewhere = document.Slide(0).Motion;
    fromElsewhere.End = {0, 0, 0.3, 0.3 * picture / frame};
    document.SetMotion(0, fromElsewhere);
    EXPECT_EQ(editor->Rect(TMotionRectEditor::End), fromElsewhere.End);

    // The slide relinked to a portrait picture: the editor shows that one, the framings at the
    // frame's aspect on it.
    const std::string portrait = home_.File("portrait.jpg");
    WriteTestJpeg(portrait, 300, 400, [](int, int y) { return y < 200 ? 0x2040A0u : 0xA04020u; });
    document.SetPicture(0, portrait);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->HasPicture() && std::abs(editor->PictureAspect() - 0.75) < 1e-9; }, 10000));
    ExpectFraming(editor->Rect(TMotionRectEditor::Start), 0.75, frame, "start on the portrait");
    ExpectFraming(editor->Rect(TMotionRectEditor::End), 0.75, frame, "end on the portrait");

    // Back to the output choices' motion; removing the slide closes the window.
    QTest::mouseClick(dialog->btnWholePicture, Qt::LeftButton);
    EXPECT_FALSE(document.Slide(0).Motion.Style.has_value());
    QPointer<TMotionRectDialog> watch(dialog);
    document.RemoveSlides(0, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 5000));
}

// The preview under the editor plays the slide's path in a loop, from the start framing to the
// end framing, and follows a rectangle while it is being dragged.
TEST_F(MotionFraming, ThePreviewLoopsThePathAndFollowsADrag) {
    // Four quarters of their own colour: red, green / blue, white.
    const std::string file = home_.File("quarters.jpg");
    WriteTestJpeg(file, 400, 300, [](int x, int y) {
        return x < 200 ? (y < 150 ? 0xE02020u : 0x2020E0u) : (y < 150 ? 0x20E020u : 0xF0F0F0u);
    });
    const double frame = 16.0 / 9, picture = 4.0 / 3;
    const double h = 0.4 * picture / frame; // a framing 0.4 of the picture wide at the frame's aspect
    TSlideshowData data;
    data.Slides = {PlainSlide(file)};
    data.Slides[0].Motion.Style = TMotionStyle::Rects;
    data.Slides[0].Motion.Start = {0.05, 0.05, 0.4, h};           // inside the red quarter
    data.Slides[0].Motion.End = {0.55, 0.95 - h, 0.4, h};         // inside the white one
    data.Output.Framing = TFraming::Blur;
    data.Output.FrameRate = {25, 1};
    data.Output.HoldSeconds = 1;
    data.Output.TransitionSeconds = 0.4;
    TSlideshowDocument document(data);
    auto* dialog = new TMotionRectDialog(document, 0, frame);
    QPointer<TMotionRectDialog> watch(dialog);
    dialog->resize(600, 700);
    dialog->show();
    TMotionRectEditor* editor = dialog->Editor();
    TMotionRectPreview* preview = dialog->Preview();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->HasPicture() && preview->Shown() >= 0; }, 10000));
    EXPECT_EQ(preview->FrameSize(), QSize(320, 180));
    EXPECT_EQ(preview->Frames(), 10 + 25 + 10); // in, held, out: as long as the slide is on screen
    const auto middle = [](const QImage& image) { return image.pixel(image.width() / 2, image.height() / 2); };
    const QRgb first = middle(preview->FrameAt(0)), last = middle(preview->FrameAt(preview->Frames() - 1));
    EXPECT_GT(qRed(first), 0xC0);
    EXPECT_LT(qGreen(first), 0x60);
    EXPECT_GT(qBlue(last), 0xC0);
    EXPECT_GT(qGreen(last), 0xC0);

    // The loop moves on by itself, and comes round again.
    const int seen = preview->Shown();
    const QImage before = preview->Picture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview->Shown() != seen && preview->Picture() != before; }, 3000));
    int highest = seen;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        highest = std::max(highest, preview->Shown());
        return preview->Shown() < highest;
    }, 5000));
    EXPECT_GE(highest, preview->Frames() - 5);

    // The start framing dragged into the green quarter: the loop starts there before the mouse
    // is let go, and the document has it after.
    const QRectF start = editor->ShownRect(TMotionRectEditor::Start);
    const QPointF to = start.center() + QPointF(editor->PictureArea().width() * 0.5, 0);
    QTest::mousePress(editor, Qt::LeftButton, Qt::NoModifier, start.center().toPoint());
    QMouseEvent move(QEvent::MouseMove, to, editor->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &move);
    EXPECT_EQ(document.Slide(0).Motion.Start, data.Slides[0].Motion.Start); // nothing written yet
    const QRgb dragged = middle(preview->FrameAt(0));
    EXPECT_GT(qGreen(dragged), 0xC0);
    EXPECT_LT(qRed(dragged), 0x60);
    EXPECT_GT(qBlue(middle(preview->FrameAt(preview->Frames() - 1))), 0xC0); // the end stays
    QTest::mouseRelease(editor, Qt::LeftButton, Qt::NoModifier, to.toPoint());
    EXPECT_NEAR(document.Slide(0).Motion.Start.X, 0.55, 0.02);
    EXPECT_GT(qGreen(middle(preview->FrameAt(0))), 0xC0);
    // A change made elsewhere shows too.
    TSlideMotion elsewhere = document.Slide(0).Motion;
    elsewhere.Start = {0.05, 0.95 - h, 0.4, h}; // the blue quarter
    document.SetMotion(0, elsewhere);
    EXPECT_GT(qBlue(middle(preview->FrameAt(0))), 0xC0);
    EXPECT_LT(qGreen(middle(preview->FrameAt(0))), 0x60);
    dialog->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 5000));
}

TEST_F(MotionFraming, TheSlidesMenuOpensItForTheOneSelectedSlide) {
    auto w = std::make_unique<TfrmMain>(&services_);
    w->show();
    QApplication::processEvents();
    services_.Files = {{QString::fromStdString(Picture()), QString::fromStdString(home_.File("framed.jpg"))}};
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    ASSERT_EQ(w->Slides().Document().SlideCount(), 2);
    TSlideEditor& slides = w->Slides();
    EXPECT_FALSE(slides.actMotionFraming->isEnabled()); // nothing selected
    slides.View()->SelectRows({0, 1});
    EXPECT_FALSE(slides.actMotionFraming->isEnabled()); // two slides have two pictures
    slides.View()->SelectRows({1});
    ASSERT_TRUE(slides.actMotionFraming->isEnabled());
    w->cmbVideoSize->setCurrentIndex(w->cmbVideoSize->findText("1280x720"));
    if (w->cmbVideoSize->currentText() != "1280x720")
        w->cmbVideoSize->setEditText("1280x720");
    slides.actMotionFraming->trigger();
    TMotionRectDialog* dialog = slides.MotionFramingWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->SlideIndex(), 1);
    EXPECT_NEAR(dialog->Editor()->FrameAspect(), 16.0 / 9, 1e-9);
    // The window closing with the framing window open leaves nothing behind.
    w.reset();
}
