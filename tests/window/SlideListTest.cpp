// The picture list over the slideshow document, the slide panel and the File menu, driven
// through the real window.
#include "app/document/ProjectFile.h"
#include "app/window/CaptionStylePanel.h"
#include "app/window/MainWindow.h"
#include "app/window/PictureListModel.h"
#include "app/window/PictureListView.h"
#include "app/window/ProjectMenu.h"
#include "app/window/SlideEditor.h"
#include "app/window/SlidePanel.h"
#include "app/window/ThumbnailLoader.h"
#include "tests/window/WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace fs = std::filesystem;

namespace {
// The processor time of the calling thread so far.
qint64 ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// A JPEG whose EXIF block records date as DateTimeOriginal ("YYYY:MM:DD HH:MM:SS").
void WriteJpegTakenOn(const std::string& file, const std::string& date) {
    WriteTestJpeg(file, 16, 12, [](int, int) { return 0x808080u; });
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    // Little-endian TIFF: IFD0 with the pointer to the EXIF directory, which holds the date.
    std::string tiff = std::string("II*\0", 4) + std::string("\x08\0\0\0", 4);
    auto u16 = [&](unsigned v) { tiff += char(v & 0xFF), tiff += char(v >> 8); };
    auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
    u16(1), u16(0x8769), u16(4), u32(1), u32(26), u32(0);   // IFD0 at 8, EXIF directory at 26
    u16(1), u16(0x9003), u16(2), u32(20), u32(44), u32(0);  // DateTimeOriginal, text at 44
    tiff += date + std::string(1, '\0');
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = app1.size() + 2;
    const std::string segment = std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + app1;
    std::ofstream(file, std::ios::binary) << bytes.substr(0, 2) << segment << bytes.substr(2);
}

class SlideList : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    // Small pictures in the private home, by name.
    QStringList Pictures(const QStringList& names, const std::string& folder = "") {
        QStringList files;
        for (const QString& name : names) {
            const std::string dir = folder.empty() ? home_.Home() : home_.File(folder);
            fs::create_directories(dir);
            const std::string file = dir + "/" + name.toStdString();
            WriteTestJpeg(file, 16, 12, [](int x, int) { return x < 8 ? 0xFF0000u : 0x0000FFu; });
            files << QString::fromStdString(file);
        }
        return files;
    }
    void Add(TfrmMain& w, const QStringList& files) {
        services_.Files = {files};
        QTest::mouseClick(w.btnVideo, Qt::LeftButton);
    }
    // The file names of the Parts' list box and of the document, which must agree.
    QStringList Names(TfrmMain& w) {
        QStringList names, fromDocument;
        for (int i = 0; i < w.lstPictures->count(); ++i)
            names << QFileInfo(w.lstPictures->item(i)->text()).fileName();
        for (const TSlide& slide : w.Slides().Document().Slides())
            fromDocument << QFileInfo(QString::fromStdString(slide.Picture)).fileName();
        EXPECT_EQ(names, fromDocument);
        return names;
    }
    // A drag from somewhere (the list itself or the file manager) dropped at pos of the list.
    bool Drop(TPictureListView* view, QMimeData* mime, QPoint pos) {
        QWidget* target = view->viewport();
        QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(pos), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        delete mime;
        return drop.isAccepted();
    }
    QModelIndexList Indexes(TfrmMain& w, const QList<int>& rows) {
        QModelIndexList indexes;
        for (int r : rows)
            indexes << w.Slides().Model().index(r);
        return indexes;
    }

    TPrivateHome home_;
    TFakeServices services_;
};

TEST_F(SlideList, DragAndDropReordersAndAddsFilesAndFolders) {
    auto w = Open();
    Add(*w, Pictures({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    TPictureListView* view = w->Slides().View();
    ASSERT_TRUE(view->isVisible());
    EXPECT_FALSE(w->lstPictures->isVisible());

    // a and c dragged into the lower half of d: they land after it, in their order, still selected.
    view->SelectRows({0, 2});
    const QRect d = view->visualRect(w->Slides().Model().index(3));
    ASSERT_TRUE(Drop(view, w->Slides().Model().mimeData(Indexes(*w, {0, 2})), d.center() + QPoint(0, d.height() / 4)));
    EXPECT_EQ(Names(*w), QStringList({"b.jpg", "d.jpg", "a.jpg", "c.jpg", "e.jpg"}));
    EXPECT_EQ(view->SelectedRows(), QList<int>({2, 3}));
    // The upper half of the first row: to the top.
    view->SelectRows({4});
    const QRect b = view->visualRect(w->Slides().Model().index(0));
    ASSERT_TRUE(Drop(view, w->Slides().Model().mimeData(Indexes(*w, {4})), b.center() - QPoint(0, b.height() / 4)));
    EXPECT_EQ(Names(*w), QStringList({"e.jpg", "b.jpg", "d.jpg", "a.jpg", "c.jpg"}));

    // From the file manager: a folder (its pictures and its subfolder's, by name) and files,
    // dropped onto the second row; what is no picture is skipped and logged.
    const QStringList more = Pictures({"z10.jpg", "z2.jpg"}, "more");
    Pictures({"y.jpg"}, "more/sub");
    std::ofstream(home_.File("more/notes.txt")) << "x";
    std::ofstream(home_.File("list.txt")) << "x";
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QString::fromStdString(home_.File("more"))),
                    QUrl::fromLocalFile(QString::fromStdString(home_.File("list.txt"))),
                    QUrl::fromLocalFile(Pictures({"f.JPG"})[0])});
    const QRect second = view->visualRect(w->Slides().Model().index(1));
    ASSERT_TRUE(Drop(view, files, second.topLeft() + QPoint(2, 1)));
    EXPECT_EQ(Names(*w), QStringList({"e.jpg", "y.jpg", "z2.jpg", "z10.jpg", "f.JPG", "b.jpg", "d.jpg", "a.jpg",
                                      "c.jpg"}));
    EXPECT_EQ(view->SelectedRows(), QList<int>({1, 2, 3, 4}));
    EXPECT_TRUE(w->mmoLog->toPlainText().contains("list.txt"));

    // Text that names no file adds nothing.
    auto* text = new QMimeData;
    text->setText("hello");
    EXPECT_FALSE(Drop(view, text, second.center()));
    EXPECT_EQ(w->lstPictures->count(), 9);
}

// A named pipe named like a picture would block the thumbnail's first read: Add Photos, a drop
// and opening a project refuse it at once, naming it and what it is.
TEST_F(SlideList, NamedPipesAreRefusedWhereverPicturesComeIn) {
    auto w = Open();
    const QStringList good = Pictures({"a.jpg"});
    const std::string fifo = home_.File("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const QString said = QString::fromStdString("***\"" + fifo + "\" is a named pipe, not a file, skipped");
    Add(*w, {good[0], QString::fromStdString(fifo)});
    EXPECT_EQ(Names(*w), QStringList({"a.jpg"}));
    EXPECT_EQ(w->mmoLog->toPlainText().count(said), 1) << w->mmoLog->toPlainText().toStdString();

    auto* dropped = new QMimeData;
    dropped->setUrls({QUrl::fromLocalFile(QString::fromStdString(fifo))});
    TPictureListView* view = w->Slides().View();
    Drop(view, dropped, view->visualRect(w->Slides().Model().index(0)).center());
    EXPECT_EQ(Names(*w), QStringList({"a.jpg"}));
    EXPECT_EQ(w->mmoLog->toPlainText().count(said), 2);

    const std::string project = home_.File("pipe.pixaroll");
    std::ofstream(project) << R"({"format": "pixaroll-project", "version": 1, "slides": [{"picture": "a.jpg"}, {"picture": ")"
                           << fifo << R"("}]})";
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Discard;
    services_.ProjectToOpen = QString::fromStdString(project);
    w->Project().actOpen->trigger();
    ASSERT_FALSE(services_.Boxes.empty());
    EXPECT_EQ(services_.Boxes.back().Kind, "warning");
    EXPECT_TRUE(services_.Boxes.back().Text.contains(QString::fromStdString("slide 2: \"" + fifo + "\" is a named pipe, not a file")))
        << services_.Boxes.back().Text.toStdString();
    EXPECT_EQ(Names(*w), QStringList({"a.jpg"})) << "what was open stays";
}

TEST_F(SlideList, DeleteAndCtrlArrowsActOnTheSelection) {
    auto w = Open();
    Add(*w, Pictures({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    TPictureListView* view = w->Slides().View();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    view->setFocus();
    view->SelectRows({1, 3});
    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "c.jpg", "b.jpg", "e.jpg", "d.jpg"}));
    EXPECT_EQ(view->SelectedRows(), QList<int>({2, 4}));
    // At the bottom the block does not move (nor lose its shape).
    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "c.jpg", "b.jpg", "e.jpg", "d.jpg"}));
    QTest::keyClick(view, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    EXPECT_EQ(view->SelectedRows(), QList<int>({1, 3}));

    // A move down through the model's own interface (as other views make it); a move onto
    // itself is refused.
    ASSERT_TRUE(w->Slides().Model().moveRows(QModelIndex(), 0, 2, QModelIndex(), 4));
    EXPECT_EQ(Names(*w), QStringList({"c.jpg", "d.jpg", "a.jpg", "b.jpg", "e.jpg"}));
    EXPECT_FALSE(w->Slides().Model().moveRows(QModelIndex(), 1, 2, QModelIndex(), 3));
    ASSERT_TRUE(w->Slides().Model().moveRows(QModelIndex(), 2, 2, QModelIndex(), 0));
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    view->SelectRows({1, 3});

    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "c.jpg", "e.jpg"}));
    EXPECT_EQ(view->SelectedRows(), QList<int>({1})); // the next one, ready for the next Delete

    // Delete in the caption field edits the caption, not the list.
    w->Slides().actSlidePanel->setChecked(true);
    TSlidePanel* panel = w->Slides().Panel();
    ASSERT_TRUE(panel->isVisible());
    panel->edtSlideCaption->setFocus();
    QTest::keyClicks(panel->edtSlideCaption, "ab");
    QTest::keyClick(panel->edtSlideCaption, Qt::Key_Home);
    QTest::keyClick(panel->edtSlideCaption, Qt::Key_Delete);
    EXPECT_EQ(panel->edtSlideCaption->text(), "b");
    EXPECT_EQ(w->lstPictures->count(), 3);

    // Clear empties the document as well.
    QTest::mouseClick(w->btnClear, Qt::LeftButton);
    EXPECT_EQ(w->Slides().Document().SlideCount(), 0);
    EXPECT_EQ(w->lstPictures->count(), 0);
    EXPECT_FALSE(panel->edtSlideCaption->isEnabled());
}

TEST_F(SlideList, SlidePanelEditsThreeSlidesAtOnceAndStartUsesThem) {
    auto w = Open();
    Add(*w, Pictures({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    TPictureListView* view = w->Slides().View();
    TSlidePanel* panel = w->Slides().Panel();
    EXPECT_FALSE(panel->isVisible()); // collapsed until asked for
    view->SelectRows({0, 2, 4});
    w->Slides().actSlidePanel->trigger();
    ASSERT_TRUE(panel->isVisible());
    view->SelectRows({0, 2, 4});
    EXPECT_EQ(panel->lblSlides->text(), "3 slides selected");

    panel->edtSlideHold->setValue(3.5);
    const int effect12 = TSlidePanel::EffectPosition(12);
    panel->cmbSlideEffect->setCurrentIndex(effect12);
    emit panel->cmbSlideEffect->activated(effect12);
    EXPECT_EQ(panel->cmbSlideEffect->itemText(effect12).left(3), "12 ");
    EXPECT_EQ(panel->cmbSlideEffect->count(), 2 + 176);
    panel->edtSlideCaption->setFocus();
    QTest::keyClicks(panel->edtSlideCaption, "Beach");
    QTest::keyClick(panel->edtSlideCaption, Qt::Key_Return);

    const TSlideshowDocument& doc = w->Slides().Document();
    for (int r : {0, 2, 4}) {
        EXPECT_EQ(doc.Slide(r).HoldSeconds, 3.5) << r;
        EXPECT_EQ(doc.Slide(r).Effect, 12) << r;
        EXPECT_EQ(doc.Slide(r).Caption, "Beach") << r;
    }
    for (int r : {1, 3})
        EXPECT_TRUE(doc.Slide(r).IsPlain()) << r;
    EXPECT_TRUE(w->Slides().Model().data(w->Slides().Model().index(2)).toString().contains("Beach"));

    // Slides that differ show it, and a value given now goes to both; the others stay different.
    view->SelectRows({1, 2});
    EXPECT_EQ(panel->chkSlideHold->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(panel->cmbSlideEffect->currentIndex(), -1);
    EXPECT_TRUE(panel->edtSlideCaption->text().isEmpty());
    EXPECT_FALSE(panel->edtSlideCaption->placeholderText().isEmpty());
    panel->edtSlideCaption->setFocus();
    QTest::keyClicks(panel->edtSlideCaption, "Sea");
    QTest::keyClick(panel->edtSlideCaption, Qt::Key_Return);
    EXPECT_EQ(doc.Slide(1).Caption, "Sea");
    EXPECT_EQ(doc.Slide(2).Caption, "Sea");
    EXPECT_EQ(doc.Slide(1).HoldSeconds, std::nullopt);
    EXPECT_EQ(doc.Slide(2).HoldSeconds, 3.5);
    // The run's sequence again, and the window's delay again.
    panel->cmbSlideEffect->setCurrentIndex(0);
    emit panel->cmbSlideEffect->activated(0);
    EXPECT_EQ(doc.Slide(2).Effect, std::nullopt);
    view->SelectRows({0, 2});
    QTest::mouseClick(panel->chkSlideHold, Qt::LeftButton);
    EXPECT_EQ(doc.Slide(0).HoldSeconds, std::nullopt);
    EXPECT_EQ(doc.Slide(2).HoldSeconds, std::nullopt);

    // Start runs the slides' own holds: slide 3 held 1 s, slide 4 still 3.5 s, the others the
    // window's 5 s.
    view->SelectRows({3});
    panel->edtSlideHold->setValue(1);
    ASSERT_EQ(doc.Slide(3).HoldSeconds, 1.0);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    // 30 frames a second: fade-in 60, then per slide its hold and 60, then 2 black frames.
    EXPECT_EQ(w->Job()->ExpectedFrames(), 60 + 3 * (150 + 60) + (30 + 60) + (105 + 60) + 2);
    QTest::mouseClick(w->btnStop, Qt::LeftButton);
}

TEST_F(SlideList, SortsByNameAndByDateTaken) {
    auto w = Open();
    const QStringList files = Pictures({"img10.jpg", "img2.jpg", "B.jpg", "a1.jpg"});
    // img10 was taken first by its camera; the others have no camera date and sort by file time.
    WriteJpegTakenOn(files[0].toStdString(), "2001:02:03 04:05:06");
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(files[1].toStdString(), now - std::chrono::hours(3));
    fs::last_write_time(files[2].toStdString(), now - std::chrono::hours(1));
    fs::last_write_time(files[3].toStdString(), now - std::chrono::hours(2));
    Add(*w, files);
    w->Slides().actSortByName->trigger();
    EXPECT_EQ(Names(*w), QStringList({"a1.jpg", "B.jpg", "img2.jpg", "img10.jpg"}));
    w->Slides().actSortByDate->trigger();
    EXPECT_EQ(Names(*w), QStringList({"img10.jpg", "img2.jpg", "a1.jpg", "B.jpg"}));
}

TEST_F(SlideList, ThumbnailsAreMadeSmallAndKeepTheShape) {
    auto w = Open();
    const std::string wide = home_.File("wide.jpg");
    WriteTestJpeg(wide, 400, 100, [](int x, int) { return x < 200 ? 0xFF0000u : 0x00FF00u; });
    std::ofstream(home_.File("broken.jpg")) << "not a picture";
    Add(*w, {QString::fromStdString(wide), QString::fromStdString(home_.File("broken.jpg"))});
    TThumbnailLoader& thumbs = w->Slides().Thumbnails();
    ASSERT_TRUE(WaitUntil([&] { return thumbs.Pending() == 0; }, 20000));
    const QImage image = w->Slides().Model().data(w->Slides().Model().index(0), Qt::DecorationRole).value<QImage>();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(48, 12));
    EXPECT_GT(qRed(image.pixel(2, 6)), 200);
    EXPECT_GT(qGreen(image.pixel(45, 6)), 200);
    // A file that is no picture has no thumbnail and stays in the list (Start names it).
    EXPECT_FALSE(w->Slides().Model().data(w->Slides().Model().index(1), Qt::DecorationRole).isValid());
    EXPECT_EQ(w->lstPictures->count(), 2);
    // A picture turned by its EXIF orientation shows upright.
    TTestJpegOptions turned;
    turned.Orientation = 6;
    WriteTestJpeg(home_.File("turned.jpg"), 400, 100, [](int, int) { return 0x0000FFu; }, turned);
    EXPECT_EQ(TThumbnailLoader::Make(QString::fromStdString(home_.File("turned.jpg")), QSize(48, 36)).size(),
              QSize(9, 36));
}

TEST_F(SlideList, UnsavedWorkIsAskedAboutBeforeClosing) {
    auto w = Open();
    const QString classic = w->PartsCaption();
    EXPECT_EQ(w->windowTitle(), classic);
    Add(*w, Pictures({"a.jpg", "b.jpg"}));
    EXPECT_EQ(w->windowTitle(), "Untitled* - " + classic);

    // Cancel: nothing closes and the exit question does not come.
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Cancel;
    w->close();
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(services_.Boxes.size(), 1u);
    EXPECT_EQ(services_.Boxes[0].Kind, "savechanges");
    EXPECT_TRUE(services_.Boxes[0].Text.contains("Untitled"));

    // Save: the file dialog, and the window closes: the save question is the only one (the
    // exit question would have said no).
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Save;
    services_.ProjectToSave = QString::fromStdString(home_.File("trip"));
    services_.Answer = false;
    w->close();
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(services_.Boxes.size(), 2u);
    EXPECT_EQ(services_.Boxes[1].Kind, "savechanges");
    EXPECT_TRUE(fs::exists(home_.File("trip.pixaroll")));
    EXPECT_EQ(w->windowTitle(), "trip - " + classic);

    // Nothing changed since: only the exit question, as it is; no keeps the window.
    w->show();
    w->close();
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(services_.Boxes.size(), 3u);
    EXPECT_EQ(services_.Boxes[2].Kind, "question");
    EXPECT_EQ(services_.Boxes[2].Text, "Do you really want to exit?");

    // A choice of the window is a change of the project too; Discard closes without saving,
    // and without the exit question.
    QTest::keyClick(w->cmbFormat, Qt::Key_Down);
    EXPECT_EQ(w->windowTitle(), "trip* - " + classic);
    const auto saved = fs::last_write_time(home_.File("trip.pixaroll"));
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Discard;
    w->close();
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(services_.Boxes.size(), 4u);
    EXPECT_EQ(services_.Boxes[3].Kind, "savechanges");
    EXPECT_EQ(fs::last_write_time(home_.File("trip.pixaroll")), saved);

    // A save that fails keeps the window open and says why.
    w.reset();
    auto again = Open();
    Add(*again, Pictures({"c.jpg"}));
    services_.Boxes.clear();
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Save;
    services_.ProjectToSave = QString::fromStdString(home_.File("no/such/folder/x.pixaroll"));
    again->close();
    EXPECT_TRUE(again->isVisible());
    ASSERT_EQ(services_.Boxes.size(), 2u);
    EXPECT_EQ(services_.Boxes[1].Kind, "warning");
    EXPECT_TRUE(services_.Boxes[1].Text.startsWith("Cannot save the project:"));
}

TEST_F(SlideList, SaveAndOpenKeepSlidesAndChoicesAndRelinkMovedPictures) {
    const QStringList files = Pictures({"a.jpg", "b.jpg", "c.jpg"}, "photos");
    std::ofstream(home_.File("song.wav")) << "RIFF";
    const QString project = QString::fromStdString(home_.File("show.pixaroll"));
    {
        auto w = Open();
        Add(*w, files);
        w->Slides().View()->SelectRows({1});
        TSlidePanel* panel = w->Slides().Panel();
        panel->edtSlideHold->setValue(2);
        panel->cmbSlideEffect->setCurrentIndex(TSlidePanel::EffectPosition(SlideEffectRandom));
        emit panel->cmbSlideEffect->activated(TSlidePanel::EffectPosition(SlideEffectRandom));
        w->txtAudio->setText(QString::fromStdString(home_.File("song.wav")));
        w->cmbFormat->setCurrentIndex(4); // mov
        w->cmbFormatChange();
        w->edtPictureDelay->setValue(7);
        services_.ProjectToSave = project;
        QApplication::setActiveWindow(w.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_S, Qt::ControlModifier);
        ASSERT_TRUE(fs::exists(project.toStdString()));
        EXPECT_EQ(w->Project().RecentProjects(), QStringList({project}));
        EXPECT_EQ(home_.Ini().ReadString("options", "recentproject1", ""), project.toStdString());
    }
    // The next start of the program shows other choices until the project is opened.
    home_.Ini().WriteInteger("settings", "format", 0);
    // Meanwhile a full list of others was used, newest first.
    QStringList older;
    for (int i = 0; i < TProjectMenu::MaxRecent; ++i) {
        older << QString::fromStdString(home_.File("older" + std::to_string(i + 1) + ".pixaroll"));
        home_.Ini().WriteString("options", "recentproject" + std::to_string(i + 1), older.back().toStdString());
    }
    auto w = Open();
    ASSERT_EQ(w->cmbFormat->currentText(), "mp4");
    ASSERT_EQ(w->edtPictureDelay->value(), 5); // the delays are stored by Exit only
    services_.ProjectToOpen = project;
    w->Project().actOpen->trigger();
    // The project just opened comes first, the one used longest ago drops off the end.
    EXPECT_EQ(w->Project().RecentProjects(), QStringList({project}) + older.mid(0, TProjectMenu::MaxRecent - 1));
    ASSERT_EQ(w->Project().mnuRecent->actions().size(), TProjectMenu::MaxRecent);
    EXPECT_EQ(w->Project().mnuRecent->actions().first()->data().toString(), project);
    EXPECT_EQ(Names(*w), QStringList({"a.jpg", "b.jpg", "c.jpg"}));
    const TSlideshowDocument& doc = w->Slides().Document();
    EXPECT_EQ(doc.Slide(1).HoldSeconds, 2.0);
    EXPECT_EQ(doc.Slide(1).Effect, SlideEffectRandom);
    EXPECT_TRUE(doc.Slide(0).IsPlain());
    EXPECT_EQ(w->cmbFormat->currentText(), "mov");
    EXPECT_EQ(home_.Ini().ReadString("settings", "format", ""), "4"); // Start reads it from there
    EXPECT_EQ(w->edtPictureDelay->value(), 7);
    EXPECT_EQ(w->txtAudio->text().toStdString(), home_.File("song.wav"));
    EXPECT_EQ(w->windowTitle(), "show - " + w->PartsCaption());
    EXPECT_FALSE(w->Project().HasUnsavedWork());

    // A damaged file is refused with the reason; what is open stays.
    std::ofstream(home_.File("broken.pixaroll")) << "{ \"format\": ";
    services_.ProjectToOpen = QString::fromStdString(home_.File("broken.pixaroll"));
    w->Project().actOpen->trigger();
    ASSERT_FALSE(services_.Boxes.empty());
    EXPECT_TRUE(services_.Boxes.back().Text.startsWith("Cannot open the project:"));
    EXPECT_EQ(doc.SlideCount(), 3);

    // The pictures move away: opening asks, and one folder relinks all of them.
    fs::rename(home_.File("photos"), home_.File("moved"));
    services_.Boxes.clear();
    services_.Answer = true;
    services_.FolderToChoose = QString::fromStdString(home_.File("moved"));
    w->Project().mnuRecent->actions().first()->trigger(); // the recent project
    ASSERT_GE(services_.Boxes.size(), 2u);
    EXPECT_TRUE(services_.Boxes[0].Text.contains("b.jpg"));
    EXPECT_EQ(services_.Boxes[1].Kind, "folder");
    for (const TSlide& slide : doc.Slides())
        EXPECT_EQ(fs::path(slide.Picture).parent_path(), fs::path(home_.File("moved"))) << slide.Picture;
    EXPECT_EQ(w->lstPictures->item(0)->text().toStdString(), home_.File("moved/a.jpg"));
    EXPECT_TRUE(w->Project().HasUnsavedWork()); // the new places are not saved yet

    // New: an empty untitled project with the classic caption.
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Discard;
    w->Project().actNew->trigger();
    EXPECT_EQ(doc.SlideCount(), 0);
    EXPECT_TRUE(w->txtAudio->text().isEmpty());
    EXPECT_EQ(w->windowTitle(), w->PartsCaption());
}

TEST_F(SlideList, TwoHundredLargePicturesNeverStallTheWindow) {
    // One 6000x4000 photo, hard-linked 200 times.
    fs::create_directories(home_.File("big"));
    const std::string first = home_.File("big/p000.jpg");
    WriteTestJpeg(first, 6000, 4000, [](int x, int y) { return (x / 500 + y / 500) % 2 ? 0x3060A0u : 0xC08040u; }, 80);
    QStringList files{QString::fromStdString(first)};
    for (int i = 1; i < 200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "big/p%03d.jpg", i);
        fs::create_hard_link(first, home_.File(name));
        files << QString::fromStdString(home_.File(name));
    }
    auto w = Open();
    // A 5 ms timer's longest wait, and how much of it the user-interface thread spent working
    // (its own processor time): on a machine busy with other programs the wait also holds time
    // in which the thread was ready but not given a processor.
    QElapsedTimer clock;
    qint64 last = -1, longest = 0, lastCpu = -1, longestBusy = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed(), cpu = ThreadCpuMs();
        if (last >= 0) {
            longest = std::max(longest, now - last);
            longestBusy = std::max(longestBusy, cpu - lastCpu);
        }
        last = now;
        lastCpu = cpu;
    });
    clock.start();
    tick.start();
    QTest::qWait(20);
    Add(*w, files);
    EXPECT_EQ(w->lstPictures->count(), 200);
    TThumbnailLoader& thumbs = w->Slides().Thumbnails();
    ASSERT_TRUE(WaitUntil([&] { return thumbs.Pending() == 0; }, 300000));
    QTest::qWait(30); // a few more ticks: a wait that ends here is measured too
    tick.stop();
    for (int r : {0, 199})
        EXPECT_EQ(w->Slides().Model().data(w->Slides().Model().index(r), Qt::DecorationRole).value<QImage>().size(),
                  QSize(48, 32));
    std::printf("longest wait of the user-interface thread while 200 pictures of 24 megapixels were added: %lld ms, "
                "of it busy %lld ms (%lld ms in all)\n",
                (long long)longest, (long long)longestBusy, (long long)clock.elapsed());
    RecordProperty("LongestUiWaitMs", int(longest));
    RecordProperty("LongestUiBusyMs", int(longestBusy));
    EXPECT_LT(longestBusy, 50);
    EXPECT_LT(longest, 250); // scheduling on a loaded machine included
}
} // namespace

TEST_F(SlideList, TheSlidePanelEditsCaptionStylesAndTheSlidesMenuAddsTitleSlides) {
    auto w = Open();
    Add(*w, Pictures({"a.jpg", "b.jpg", "c.jpg"}));
    TPictureListView* view = w->Slides().View();
    TSlidePanel* panel = w->Slides().Panel();
    TCaptionStylePanel* style = panel->pnlCaptionStyle;
    w->Slides().actSlidePanel->setChecked(true);
    view->SelectRows({0, 2});
    const TSlideshowDocument& doc = w->Slides().Document();
    EXPECT_FALSE(style->btnShowStyle->isEnabled()) << "the show's style until one is chosen";
    EXPECT_FALSE(style->edtTitleBackground->isEnabled());

    const int topRight = int(TCaptionAnchor::TopRight);
    style->cmbCaptionPosition->setCurrentIndex(topRight);
    emit style->cmbCaptionPosition->activated(topRight);
    style->edtCaptionSize->setValue(5);
    style->edtCaptionColor->setText("#ffff00");
    emit style->edtCaptionColor->editingFinished();
    style->chkCaptionBox->click();
    for (int r : {0, 2}) {
        ASSERT_TRUE(doc.Slide(r).CaptionStyle) << r;
        EXPECT_EQ(doc.Slide(r).CaptionStyle->Anchor, TCaptionAnchor::TopRight) << r;
        EXPECT_DOUBLE_EQ(doc.Slide(r).CaptionStyle->Size, 0.05) << r;
        EXPECT_EQ(doc.Slide(r).CaptionStyle->Color, 0xFFFFFF00u) << r;
        EXPECT_NE(doc.Slide(r).CaptionStyle->Box >> 24, 0u) << r;
        EXPECT_EQ(doc.Slide(r).CaptionStyle->Font, "DejaVu Sans") << "the rest as the show's";
    }
    EXPECT_FALSE(doc.Slide(1).CaptionStyle);
    // A colour that is none leaves the slides' as it was.
    style->edtCaptionColor->setText("yellow");
    emit style->edtCaptionColor->editingFinished();
    EXPECT_EQ(doc.Slide(0).CaptionStyle->Color, 0xFFFFFF00u);
    EXPECT_EQ(style->edtCaptionColor->text(), "#ffff00");
    ASSERT_TRUE(style->btnShowStyle->isEnabled());
    style->btnShowStyle->click();
    EXPECT_FALSE(doc.Slide(0).CaptionStyle || doc.Slide(2).CaptionStyle);
    EXPECT_EQ(style->cmbCaptionPosition->currentIndex(), int(TCaptionAnchor::Bottom));

    // Slides, Add Title Slide: after the selection, selected, with its background editable.
    view->SelectRows({1});
    w->Slides().actAddTitle->trigger();
    ASSERT_EQ(doc.SlideCount(), 4);
    EXPECT_TRUE(doc.Slide(2).Title.On);
    EXPECT_EQ(doc.Slide(2).Caption, "Title");
    EXPECT_EQ(view->SelectedRows(), QList<int>({2}));
    EXPECT_EQ(panel->edtSlideCaption->text(), "Title");
    ASSERT_TRUE(style->edtTitleBackground->isEnabled());
    EXPECT_EQ(style->cmbCaptionPosition->currentIndex(), int(TCaptionAnchor::Center)) << "a title's own look";
    style->edtTitleBackground->setText("#102030-#405060");
    emit style->edtTitleBackground->editingFinished();
    EXPECT_EQ(doc.Slide(2).Title.Background, TTitleBackgroundKind::Gradient);
    EXPECT_EQ(doc.Slide(2).Title.To, 0xFF405060u);
    style->edtTitleBackground->setText("blur"); // it has no picture to blur: refused
    emit style->edtTitleBackground->editingFinished();
    EXPECT_EQ(doc.Slide(2).Title.Background, TTitleBackgroundKind::Gradient);
    EXPECT_EQ(w->lstPictures->count(), 4);
}
