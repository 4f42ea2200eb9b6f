// The run as the user follows it: the progress line, the end that names the file with Play and
// Show in Folder, the preview beside the window, and the controls a running job must not feel.

#include "app/window/CodecOptionsPanel.h"
#include "app/window/MainWindow.h"
#include "app/window/MotionChoice.h"
#include "app/window/PreviewPlacement.h"
#include "app/window/PreviewWindow.h"
#include "app/window/RunStatus.h"
#include "app/window/SlideEditor.h"
#include "tests/support/RunCommand.h"
#include "tests/window/WindowTestSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {
class RunStatus : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    QStringList Pictures(int count) {
        QStringList files;
        for (int i = 0; i < count; ++i) {
            const std::string file = home_.File("p" + std::to_string(i) + ".jpg");
            WriteTestJpeg(file, 160, 120, [i](int x, int y) { return (x + y + 40 * i) % 80 < 40 ? 0xC04020u : 0x2040C0u; });
            files << QString::fromStdString(file);
        }
        return files;
    }
    void Add(TfrmMain& w, const QStringList& files) {
        services_.Files = {files};
        QTest::mouseClick(w.btnVideo, Qt::LeftButton);
    }
    bool WaitForEnd(int timeoutMs = 120000) {
        return WaitUntil([&] { return !services_.OpenedUrls.isEmpty(); }, timeoutMs);
    }
    static std::string Frames(const std::string& file) {
        return Probe(file, "stream=nb_read_packets", "-select_streams v -count_packets");
    }

    TPrivateHome home_;
    TFakeServices services_;
};

TEST_F(RunStatus, ReadsAsTimeOfTotalAndPaceThenNamesTheFileWithPlayAndShowInFolder) {
    auto w = Open();
    Add(*w, Pictures(2));
    w->edtPictureDelay->setValue(3);
    w->edtTransitionDelay->setValue(1);
    TRunStatus& status = w->RunStatus();
    QStringList lines;
    QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&] { lines << status.Line->text(); });
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr) << w->mmoLog->toPlainText().toStdString();
    const QString out = QString::fromStdString(w->Job()->OutputFile());
    EXPECT_FALSE(status.Play->isVisible());
    ASSERT_TRUE(WaitForEnd()) << w->mmoLog->toPlainText().toStdString();
    // Two pictures held 3 s with 1 s transitions: 9 s of slideshow and two black frames.
    const QRegularExpression progress(R"(^0:0\d of 0:09 · \d+ fps( · about \d+:\d\d left)?$)");
    ASSERT_FALSE(lines.isEmpty());
    for (const QString& line : lines) {
        if (!line.startsWith("Starting")) {
            EXPECT_TRUE(progress.match(line).hasMatch()) << line.toStdString();
        }
    }
    EXPECT_EQ(w->ProgressBar1->value(), 100);
    EXPECT_TRUE(status.Line->text().startsWith("Written: slideshow-_(new).mp4")) << status.Line->text().toStdString();
    EXPECT_EQ(status.Line->toolTip(), out);
    EXPECT_TRUE(status.Play->isVisible());
    EXPECT_TRUE(status.ShowInFolder->isVisible());
    EXPECT_EQ(services_.OpenedUrls, QStringList{QString::fromStdString(home_.Home() + "/pixaroll")});

    QTest::mouseClick(status.Play, Qt::LeftButton);
    EXPECT_EQ(services_.OpenedUrls.last(), out);
    QTest::mouseClick(status.ShowInFolder, Qt::LeftButton);
    EXPECT_EQ(services_.OpenedUrls.last().toStdString(), home_.Home() + "/pixaroll");
    // A desktop without a player or a file manager: the window says so.
    services_.OpenUrlAnswer = false;
    QTest::mouseClick(status.Play, Qt::LeftButton);
    EXPECT_EQ(status.Line->text(), "No video player could open " + out);
    QTest::mouseClick(status.ShowInFolder, Qt::LeftButton);
    EXPECT_EQ(status.Line->text().toStdString(), "No file manager could show the folder " + home_.Home() + "/pixaroll");
    EXPECT_TRUE(services_.Boxes.empty());
}

TEST_F(RunStatus, AFailedRunSaysWhyAndAStoppedOneKeepsItsFile) {
    auto w = Open();
    QStringList pictures = Pictures(2);
    const std::string broken = home_.File("broken.jpg");
    std::ofstream(broken) << "this is not a picture";
    pictures.insert(1, QString::fromStdString(broken));
    Add(*w, pictures);
    w->edtPictureDelay->setValue(1);
    w->edtTransitionDelay->setValue(1);
    services_.OpenUrlAnswer = false; // and the folder cannot be shown either
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd());
    const QString line = w->RunStatus().Line->text();
    EXPECT_TRUE(line.startsWith("Failed: ")) << line.toStdString();
    EXPECT_TRUE(line.contains("broken.jpg")) << line.toStdString();
    EXPECT_TRUE(line.contains("No file manager could show the folder")) << line.toStdString();
    EXPECT_FALSE(w->RunStatus().Play->isVisible());

    services_.OpenedUrls.clear();
    services_.OpenUrlAnswer = true;
    w->Slides().Document().ClearSlides();
    Add(*w, Pictures(2));
    w->edtPictureDelay->setValue(100);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return w->Job()->FramesDelivered() > 10; }, 30000));
    QTest::mouseClick(w->btnStop, Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(w->RunStatus().Line->text().startsWith("Stopped; what was written is kept: slideshow-_(new_1).mp4"))
        << w->RunStatus().Line->text().toStdString();
    EXPECT_TRUE(w->RunStatus().Play->isVisible());
}

// Closes whatever a click opened that waits for an answer (a dialog shown with exec, a menu).
class TDialogCloser {
public:
    TDialogCloser() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

// Every control the user can reach, used once: buttons and check boxes clicked, lists and spin
// boxes moved by a key, every menu entry taken.
void UseEveryControl(TfrmMain& w, const std::vector<QWidget*>& spare) {
    const auto spared = [&](QWidget* c) { return std::find(spare.begin(), spare.end(), c) != spare.end(); };
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->isVisible() && !spared(b))
            QTest::mouseClick(b, Qt::LeftButton);
    for (QComboBox* c : w.findChildren<QComboBox*>())
        if (c->isVisible()) {
            QTest::keyClick(c, Qt::Key_Down);
            QTest::keyClick(c, Qt::Key_End);
        }
    for (QAbstractSpinBox* s : w.findChildren<QAbstractSpinBox*>())
        if (s->isVisible())
            QTest::keyClick(s, Qt::Key_Up);
    for (QAbstractItemView* v : w.findChildren<QAbstractItemView*>())
        if (v->isVisible() && v->model() && v->model()->rowCount() > 0) {
            v->setCurrentIndex(v->model()->index(v->model()->rowCount() - 1, 0));
            QTest::keyClick(v, Qt::Key_Delete);
        }
    for (QAction* menu : w.menuBar()->actions())
        if (QMenu* m = menu->menu())
            for (QAction* a : m->actions()) {
                const QString text = a->text().remove('&');
                if (a->isEnabled() && !a->isSeparator() && !a->menu() && !text.startsWith("Exit") && !text.startsWith("Quit"))
                    a->trigger();
            }
    QApplication::processEvents();
}

TEST_F(RunStatus, EveryControlUsedDuringAJobLeavesTheVideoAsItWouldHaveBeen) {
    auto w = Open();
    Add(*w, Pictures(3));
    w->edtPictureDelay->setValue(2);
    w->edtTransitionDelay->setValue(1);
    w->chkRandomEffect->setChecked(false);
    // The video ends with its last frame (no stop request racing the last frames).
    w->chkPictures->setChecked(false);
    // Every dialog a control opens answers as if the user chose something.
    const std::string song = home_.File("song.wav");
    {
        std::ofstream(song, std::ios::binary) << "RIFF"; // not a song: taken only for the next video
    }
    services_.AudioFile = QString::fromStdString(song);
    services_.Answer = true;
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Discard;

    TDialogCloser closer;
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr) << w->mmoLog->toPlainText().toStdString();
    const std::string out = w->Job()->OutputFile();
    // Paused, so the clicks surely fall inside the job; then some once more while it runs.
    QTest::mouseClick(w->btnPause, Qt::LeftButton);
    // What would change the written video is greyed out; the window's own choices stay usable
    // and are for the next video.
    EXPECT_FALSE(w->cmbFormat->isEnabled());
    EXPECT_FALSE(w->pnlCodec->isEnabled());
    EXPECT_FALSE(w->cmbMotion->isEnabled());
    EXPECT_TRUE(w->cmbVideoSize->isEnabled());
    EXPECT_TRUE(w->btnDefault->isEnabled());
    for (int round = 0; round < 2; ++round) {
        services_.Files = {Pictures(2)};
        UseEveryControl(*w, {w->btnStart, w->btnPause, w->btnStop});
    }
    EXPECT_TRUE(w->JobPaused());
    EXPECT_TRUE(w->btnStop->isEnabled());
    QTest::mouseClick(w->btnStart, Qt::LeftButton); // resume
    services_.Files = {Pictures(1)};
    UseEveryControl(*w, {w->btnStart, w->btnPause, w->btnStop});
    // Menu entries open web pages too: the end is the buttons' return to idle.
    ASSERT_TRUE(WaitUntil([&] { return !w->btnStop->isEnabled() && w->btnStart->isEnabled(); }, 120000))
        << w->mmoLog->toPlainText().toStdString();
    EXPECT_TRUE(services_.Boxes.empty() || services_.Boxes[0].Kind != "exclamation")
        << services_.Boxes[0].Text.toStdString();
    // Three pictures held 2 s with 1 s transitions: 3 x (60 + 30) + 30 + 2 frames, as chosen at Start.
    EXPECT_EQ(Frames(out), "302\n");
    EXPECT_EQ(Probe(out, "stream=codec_name,width,height", "-select_streams v"), "mpeg4,128,96\n");
    EXPECT_EQ(RunShell("ffmpeg -v error -i '" + out + "' -f null -").Output, "");
    EXPECT_TRUE(w->btnStart->isEnabled());
    EXPECT_TRUE(w->cmbFormat->isEnabled());
    // The choices made meanwhile are the next video's.
    EXPECT_NE(w->JobSettings().FrameSize, "128x96");
}

TEST_F(RunStatus, ChangesDuringAJobAreSaidToBeForTheNextVideo) {
    auto w = Open();
    Add(*w, Pictures(2));
    w->edtPictureDelay->setValue(100);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return w->RunStatus().Line->text().contains(" fps"); }, 30000));
    services_.Files = {Pictures(1)};
    QTest::mouseClick(w->btnClear, Qt::LeftButton); // usable while the job runs
    EXPECT_TRUE(w->RunStatus().Line->text().endsWith("changes apply to the next video"))
        << w->RunStatus().Line->text().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return w->Job()->FramesDelivered() > 100; }, 30000)); // the job goes on
    QTest::mouseClick(w->btnStop, Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd());
}

TEST_F(RunStatus, ThePreviewOfAJobCoversNoButtonAndComesBackWhereTheUserPutIt) {
    auto w = Open();
    Add(*w, Pictures(2));
    w->edtPictureDelay->setValue(100);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    ASSERT_TRUE(WaitUntil([] { return VisiblePreview() != nullptr; }, 30000));
    TPreviewWindow* preview = VisiblePreview();
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (b->isVisible()) {
            EXPECT_FALSE(preview->frameGeometry().intersects(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())))
                << b->text().toStdString();
        }
    }
    // The user drags it by its body; the place is kept for the next job.
    const QPoint grab(preview->width() / 2, preview->height() / 2);
    QTest::mousePress(preview, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab - QPoint(5, 7)), preview->mapToGlobal(QPointF(grab - QPoint(5, 7))),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(preview, &move);
    QTest::mouseRelease(preview, Qt::LeftButton, {}, grab - QPoint(5, 7));
    const QPoint placed = preview->frameGeometry().topLeft();
    EXPECT_EQ(home_.Ini().ReadInteger("options", "previewx", -9999), placed.x());
    EXPECT_EQ(home_.Ini().ReadInteger("options", "previewy", -9999), placed.y());
    QTest::mouseClick(w->btnStop, Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd());
}
} // namespace

TEST(PreviewPlacement, BesideTheWindowRightThenLeftThenBelow) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize preview(642, 392);
    const QRect main(100, 100, 900, 650);
    const std::vector<QRect> buttons = {QRect(700, 700, 80, 30)};
    EXPECT_EQ(PlacePreview(screen, main, buttons, preview, std::nullopt), QRect(QPoint(1008, 100), preview));
    const QRect atRight(1000, 100, 900, 650);
    EXPECT_EQ(PlacePreview(screen, atRight, buttons, preview, std::nullopt), QRect(QPoint(1000 - 8 - 642, 100), preview));
    const QRect wide(0, 0, 1920, 600);
    EXPECT_EQ(PlacePreview(screen, wide, buttons, preview, std::nullopt), QRect(QPoint(0, 608), preview));
    // No room for the whole preview: the largest that fits beside, in proportion.
    const QRect big(0, 0, 1600, 1080);
    const QRect shrunk = PlacePreview(screen, big, buttons, preview, std::nullopt);
    EXPECT_EQ(shrunk.left(), 1608);
    EXPECT_EQ(shrunk.width(), 312);
    EXPECT_NEAR(shrunk.height(), 312.0 * 392 / 642, 1);
}

TEST(PreviewPlacement, TheUsersPlaceIsKeptOnlyWhereItIsStillFine) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize preview(642, 392);
    const QRect main(100, 100, 900, 650);
    const std::vector<QRect> buttons = {QRect(700, 700, 80, 30)};
    // Over the window but clear of its buttons: the user's choice.
    EXPECT_EQ(PlacePreview(screen, main, buttons, preview, QPoint(150, 120)), QRect(QPoint(150, 120), preview));
    // Over a button, or off the screen (a screen that got smaller): beside the window again.
    EXPECT_EQ(PlacePreview(screen, main, buttons, preview, QPoint(400, 500)).topLeft(), QPoint(1008, 100));
    EXPECT_EQ(PlacePreview(screen, main, buttons, preview, QPoint(1500, 900)).topLeft(), QPoint(1008, 100));
}

TEST(PreviewPlacement, NeverOverAButtonOnAnyScreen) {
    std::mt19937 random(20261209);
    for (int i = 0; i < 2000; ++i) {
        const QRect screen(int(random() % 200), int(random() % 200), 640 + int(random() % 2000), 480 + int(random() % 1200));
        const QSize mainSize(400 + int(random() % 1600), 300 + int(random() % 1000));
        const QRect main(screen.left() + int(random() % 400) - 100, screen.top() + int(random() % 300) - 50,
                         mainSize.width(), mainSize.height());
        std::vector<QRect> buttons;
        for (int b = 0; b < 12; ++b)
            buttons.emplace_back(main.left() + int(random() % std::max(1, main.width() - 80)),
                                 main.top() + int(random() % std::max(1, main.height() - 30)), 80, 30);
        const QSize preview(160 + int(random() % 1800), 90 + int(random() % 1000));
        std::optional<QPoint> stored;
        if (random() % 2)
            stored = QPoint(int(random() % 3000) - 500, int(random() % 2000) - 500);
        const QRect place = PlacePreview(screen, main, buttons, preview, stored);
        for (const QRect& b : buttons)
            ASSERT_FALSE(place.intersects(b)) << i;
        ASSERT_LE(place.width(), preview.width()) << i;
        ASSERT_GT(place.width(), 0) << i;
        // In proportion, within a pixel of rounding either way.
        ASSERT_LE(std::abs(place.width() * preview.height() - place.height() * preview.width()),
                  preview.width() + preview.height()) << i;
    }
}

// The pace leaves paused time out: a run paused for over a second right after its start has no
// pace yet to guess the time left from.
TEST(RunStatusPace, PausedTimeIsNoWork) {
    TFakeServices services;
    TRunStatus status(services, nullptr);
    status.Started("/nowhere/slideshow.mp4", 60);
    status.Paused();
    QTest::qWait(1200);
    status.Resumed();
    TProgressInfo info;
    info.CurrentTime = 5000000;
    info.FrameRate = 30;
    status.Progress(info);
    EXPECT_EQ(status.Line->text(), "0:05 of 1:00 \u00b7 30 fps");
    QTest::qWait(1100);
    status.Progress(info);
    EXPECT_TRUE(status.Line->text().endsWith(" left")) << status.Line->text().toStdString();
}
