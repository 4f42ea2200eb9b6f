// Undo and redo through the Edit menu: every kind of change to the document and the window's
// choices, the entries' names, the shortcuts and the unsaved mark.
#include "app/window/DocumentCommands.h"
#include "app/window/EditMenu.h"
#include "app/window/MainWindow.h"
#include "app/window/MusicOptions.h"
#include "app/window/PictureListModel.h"
#include "app/window/PictureListView.h"
#include "app/window/ProjectMenu.h"
#include "app/window/SlideEditor.h"
#include "app/window/SlidePanel.h"
#include "tests/window/WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {
class Undo : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    QStringList Pictures(const QStringList& names) {
        QStringList files;
        for (const QString& name : names) {
            const std::string file = home_.File(name.toStdString());
            WriteTestJpeg(file, 16, 12, [](int, int) { return 0x808080u; });
            files << QString::fromStdString(file);
        }
        return files;
    }
    QStringList Names(TfrmMain& w) {
        QStringList names;
        for (const TSlide& slide : w.Slides().Document().Slides())
            names << QFileInfo(QString::fromStdString(slide.Picture)).fileName();
        return names;
    }
    // The Edit menu's entries as the user reads them.
    QString UndoText(TfrmMain& w) { return w.Edit().actUndo->text().remove('&'); }
    QString RedoText(TfrmMain& w) { return w.Edit().actRedo->text().remove('&'); }
    void Undo1(TfrmMain& w) { w.Edit().actUndo->trigger(); }
    void Redo1(TfrmMain& w) { w.Edit().actRedo->trigger(); }

    TPrivateHome home_;
    TFakeServices services_;
};

TEST_F(Undo, AddRemoveReorderAndSortComeBackWithTheirNames) {
    auto w = Open();
    EXPECT_FALSE(w->Edit().actUndo->isEnabled());
    EXPECT_FALSE(w->Edit().actRedo->isEnabled());
    services_.Files = {Pictures({"d.jpg", "b.jpg", "a.jpg", "e.jpg", "c.jpg"})};
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    EXPECT_EQ(UndoText(*w), "Undo Add 5 Slides");
    TSlideEditor& slides = w->Slides();
    // A caption on the slide that will be removed: it must come back with it.
    slides.Model().SetCaption({1}, "bee");
    QApplication::processEvents();

    slides.View()->SelectRows({0, 1, 3});
    slides.actRemove->trigger();
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "c.jpg"}));
    EXPECT_EQ(UndoText(*w), "Undo Remove 3 Slides");
    Undo1(*w);
    EXPECT_EQ(Names(*w), QStringList({"d.jpg", "b.jpg", "a.jpg", "e.jpg", "c.jpg"}));
    EXPECT_EQ(slides.Document().Slide(1).Caption, "bee");
    EXPECT_EQ(w->lstPictures->count(), 5); // the classic list follows
    EXPECT_EQ(RedoText(*w), "Redo Remove 3 Slides");
    Redo1(*w);
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "c.jpg"}));
    Undo1(*w);

    // A block moved down, then the whole list sorted: each one step back.
    EXPECT_EQ(slides.Model().MoveRowsTo({0, 2}, 5), QList<int>({3, 4}));
    EXPECT_EQ(Names(*w), QStringList({"b.jpg", "e.jpg", "c.jpg", "d.jpg", "a.jpg"}));
    EXPECT_EQ(UndoText(*w), "Undo Move 2 Slides");
    slides.actSortByName->trigger();
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    EXPECT_EQ(UndoText(*w), "Undo Sort Slides by Name");
    Undo1(*w);
    EXPECT_EQ(Names(*w), QStringList({"b.jpg", "e.jpg", "c.jpg", "d.jpg", "a.jpg"}));
    Undo1(*w);
    EXPECT_EQ(Names(*w), QStringList({"d.jpg", "b.jpg", "a.jpg", "e.jpg", "c.jpg"}));
    // A move up through the model's own interface, undone by the key.
    ASSERT_TRUE(slides.Model().moveRows(QModelIndex(), 3, 2, QModelIndex(), 0));
    EXPECT_EQ(Names(*w), QStringList({"e.jpg", "c.jpg", "d.jpg", "b.jpg", "a.jpg"}));
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    slides.View()->setFocus();
    QTest::keyClick(slides.View(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Names(*w), QStringList({"d.jpg", "b.jpg", "a.jpg", "e.jpg", "c.jpg"}));
    QTest::keyClick(slides.View(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Names(*w), QStringList({"e.jpg", "c.jpg", "d.jpg", "b.jpg", "a.jpg"}));
    QTest::keyClick(slides.View(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(slides.View(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Names(*w), QStringList({"e.jpg", "c.jpg", "d.jpg", "b.jpg", "a.jpg"}));

    // Clear, and all the way back to the empty list; a new change drops what could be redone.
    QTest::mouseClick(w->btnClear, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(UndoText(*w), "Undo Remove 5 Slides");
    while (w->Edit().actUndo->isEnabled())
        Undo1(*w);
    EXPECT_EQ(slides.Document().SlideCount(), 0);
    Redo1(*w);
    EXPECT_EQ(slides.Document().SlideCount(), 5);
    slides.Model().AddFiles(Pictures({"f.jpg"}), 0);
    EXPECT_EQ(UndoText(*w), "Undo Add 1 Slide");
    EXPECT_FALSE(w->Edit().actRedo->isEnabled());
}

TEST_F(Undo, SlidePanelFramingAndClipChangesComeBack) {
    auto w = Open();
    services_.Files = {Pictures({"a.jpg", "b.jpg", "c.jpg"})};
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    TSlideEditor& slides = w->Slides();
    TSlideshowDocument& doc = slides.Document();
    slides.View()->SelectRows({0, 2});
    slides.actSlidePanel->setChecked(true);
    TSlidePanel* panel = slides.Panel();

    panel->chkSlideHold->setChecked(true);
    panel->edtSlideHold->setValue(7.5);
    QApplication::processEvents();
    EXPECT_EQ(doc.Slide(0).HoldSeconds, 7.5);
    EXPECT_EQ(UndoText(*w), "Undo Change Hold of 2 Slides");
    Undo1(*w);
    EXPECT_FALSE(doc.Slide(0).HoldSeconds);
    EXPECT_FALSE(doc.Slide(2).HoldSeconds);
    EXPECT_FALSE(panel->chkSlideHold->isChecked()); // the panel shows the slides as they are again

    panel->cmbSlideEffect->setCurrentIndex(5);
    panel->cmbSlideEffect->activated(5);
    QApplication::processEvents();
    ASSERT_TRUE(doc.Slide(2).Effect);
    EXPECT_EQ(UndoText(*w), "Undo Change Effect of 2 Slides");
    Undo1(*w);
    EXPECT_FALSE(doc.Slide(2).Effect);

    // A caption is one change, however many keys it took, once the field is left.
    panel->edtSlideCaption->setFocus();
    QTest::keyClicks(panel->edtSlideCaption, "sea");
    QTest::keyClick(panel->edtSlideCaption, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(doc.Slide(0).Caption, "sea");
    EXPECT_EQ(UndoText(*w), "Undo Change Caption of 2 Slides");
    Undo1(*w);
    EXPECT_EQ(doc.Slide(0).Caption, "");
    EXPECT_EQ(doc.Slide(2).Caption, "");
    Redo1(*w);
    EXPECT_EQ(doc.Slide(2).Caption, "sea");

    // The framing dialog and the clip panel edit the document directly.
    TSlideMotion motion;
    motion.Style = TMotionStyle::Rects;
    motion.Start = {0.1, 0.1, 0.5, 0.5};
    motion.End = {0.2, 0.2, 0.6, 0.6};
    doc.SetMotion(1, motion);
    QApplication::processEvents();
    EXPECT_EQ(UndoText(*w), "Undo Change Framing");
    TSlideClip clip;
    clip.In = 1.5;
    clip.Sound = TClipSound::Mute;
    doc.SetClip(1, clip);
    QApplication::processEvents();
    EXPECT_EQ(UndoText(*w), "Undo Change Clip");
    Undo1(*w);
    EXPECT_EQ(doc.Slide(1).Clip, TSlideClip{});
    EXPECT_EQ(doc.Slide(1).Motion, motion);
    Undo1(*w);
    EXPECT_EQ(doc.Slide(1).Motion, TSlideMotion{});
    Redo1(*w);
    Redo1(*w);
    EXPECT_EQ(doc.Slide(1).Clip, clip);
    EXPECT_EQ(doc.Slide(1).Motion, motion);
}

TEST_F(Undo, WindowChoicesAndMusicComeBackInTheControls) {
    auto w = Open();
    const QString rate = w->cmbFramerate->currentText();
    w->cmbFramerate->setCurrentIndex(w->cmbFramerate->currentIndex() == 0 ? 1 : 0);
    w->cmbFramerateChange();
    const QString newRate = w->cmbFramerate->currentText();
    QApplication::processEvents();
    EXPECT_EQ(UndoText(*w), "Undo Change Output Choices");
    w->edtPictureDelay->setValue(9);
    QApplication::processEvents();
    w->dlgMusic->chkLoop->click();
    QApplication::processEvents();
    EXPECT_EQ(UndoText(*w), "Undo Change Music");
    EXPECT_TRUE(w->JobSettings().LoopMusic);

    Undo1(*w);
    EXPECT_FALSE(w->dlgMusic->chkLoop->isChecked());
    EXPECT_FALSE(w->JobSettings().LoopMusic);
    Undo1(*w);
    EXPECT_EQ(w->edtPictureDelay->value(), 5);
    Undo1(*w);
    EXPECT_EQ(w->cmbFramerate->currentText(), rate);
    EXPECT_EQ(w->JobSettings().FrameRate.Text(), rate.toStdString());
    EXPECT_FALSE(w->Edit().actUndo->isEnabled());
    // Putting the controls back is no change of its own: everything can be redone.
    QApplication::processEvents();
    Redo1(*w);
    Redo1(*w);
    Redo1(*w);
    EXPECT_EQ(w->cmbFramerate->currentText(), newRate);
    EXPECT_EQ(w->edtPictureDelay->value(), 9);
    EXPECT_TRUE(w->dlgMusic->chkLoop->isChecked());
    EXPECT_FALSE(w->Edit().actRedo->isEnabled());
}

TEST_F(Undo, TheUnsavedMarkFollowsTheHistoryAndAProjectStartsAnEmptyOne) {
    auto w = Open();
    const QString classic = w->PartsCaption();
    services_.Files = {Pictures({"a.jpg", "b.jpg"})};
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    services_.ProjectToSave = QString::fromStdString(home_.File("trip"));
    ASSERT_TRUE(w->Project().SaveAs());
    EXPECT_EQ(w->windowTitle(), "trip - " + classic);
    // Saving copied the window's choices into the document: nothing to undo for that.
    EXPECT_EQ(UndoText(*w), "Undo Add 2 Slides");

    w->Slides().Model().RemoveRows({0});
    EXPECT_EQ(w->windowTitle(), "trip* - " + classic);
    Undo1(*w);
    EXPECT_EQ(w->windowTitle(), "trip - " + classic);
    EXPECT_FALSE(w->Project().HasUnsavedWork());
    Undo1(*w); // before the save: unsaved again
    EXPECT_EQ(w->windowTitle(), "trip* - " + classic);
    Redo1(*w);
    EXPECT_EQ(w->windowTitle(), "trip - " + classic);

    // Opening a project (and starting a new one) forgets what could be undone.
    w->Slides().Model().RemoveRows({0});
    ASSERT_TRUE(w->Project().OpenFile(QString::fromStdString(home_.File("trip.pixaroll"))));
    QApplication::processEvents();
    EXPECT_EQ(w->Slides().Document().SlideCount(), 2);
    EXPECT_FALSE(w->Edit().actUndo->isEnabled());
    EXPECT_FALSE(w->Edit().actRedo->isEnabled());
    EXPECT_EQ(w->windowTitle(), "trip - " + classic);
    w->Slides().Model().RemoveRows({1});
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Discard;
    ASSERT_TRUE(w->Project().New());
    QApplication::processEvents();
    EXPECT_FALSE(w->Edit().actUndo->isEnabled());
    EXPECT_EQ(w->windowTitle(), classic);
}

// The history on its own: steps made and unmade in the right order, moves both ways.
TEST(DocumentHistory, UndoesEveryKindOfStepInReverseOrder) {
    TSlideshowDocument doc;
    TDocumentHistory history(doc);
    doc.AppendPictures({"a", "b", "c", "d", "e"});
    history.Flush();
    const TSlideshowData start = doc.Data();
    {
        const TNamedEdit edit(&history, "Several");
        doc.MoveSlides(0, 2, 5); // c d e a b
        doc.MoveSlides(4, 1, 1); // c b d e a
        doc.SetCaption(2, "x");
        doc.RemoveSlides(std::vector<int>{0, 3});
        doc.SetSoundtracks({{"song.wav"}});
        TSlideshowSettings output = doc.Output();
        output.FrameSize = "640x360";
        doc.SetOutput(output);
    }
    const TSlideshowData end = doc.Data();
    EXPECT_EQ(history.Stack().count(), 2);
    EXPECT_EQ(history.Stack().undoText(), "Several");
    history.Undo();
    EXPECT_EQ(doc.Data(), start);
    history.Redo();
    EXPECT_EQ(doc.Data(), end);
    history.Undo();
    history.Undo();
    EXPECT_EQ(doc.SlideCount(), 0);
    EXPECT_EQ(DocumentStepsName({}), "Change");
}
} // namespace
