// The player pane driven through the window: shown from the View menu, Space, the scrubber,
// selecting a slide, a change of the document, Start, and what it says without a sound device.
#include "app/document/DocumentSequencer.h"
#include "app/SlideshowRun.h"
#include "app/playback/PlaybackSound.h"
#include "app/playback/Player.h"
#include "app/window/MainWindow.h"
#include "app/window/PictureListModel.h"
#include "app/window/PictureListView.h"
#include "app/window/PlayerPane.h"
#include "app/window/PlayerScrubber.h"
#include "app/window/SlideEditor.h"
#include "tests/support/TestWav.h"
#include "tests/window/WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {
class PlayerPaneTest : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    // Three pictures of their own colour, 1 s holds and 1 s transitions at 30:1, sequential
    // effects; the pane shown.
    std::unique_ptr<TfrmMain> OpenWithShow() {
        auto w = Open();
        QStringList files;
        const std::uint32_t colours[] = {0xC02020u, 0x20C020u, 0x2020C0u};
        for (int i = 0; i < 3; ++i) {
            const std::string file = home_.File("p" + std::to_string(i) + ".jpg");
            WriteTestJpeg(file, 320, 240, [&](int, int) { return colours[i]; });
            files << QString::fromStdString(file);
        }
        services_.Files = {files};
        QTest::mouseClick(w->btnVideo, Qt::LeftButton);
        w->edtPictureDelay->setValue(1);
        w->edtTransitionDelay->setValue(1);
        w->chkRandomEffect->setChecked(false);
        w->PlayerPane().actShowPlayer->trigger();
        EXPECT_TRUE(w->PlayerPane().isVisible());
        TPlayer& player = w->PlayerPane().Player();
        EXPECT_TRUE(WaitUntil([&] { return player.Ready() && !player.Picture().isNull(); }, 10000));
        return w;
    }
    // The colour at the middle of the frame shown.
    static QRgb Middle(TPlayer& p) { return p.Picture().pixel(p.Picture().width() / 2, p.Picture().height() / 2); }

    TPrivateHome home_;
    TFakeServices services_;
};

TEST_F(PlayerPaneTest, HiddenAtFirstShownFromTheViewMenuAtAPreviewSize) {
    auto w = Open();
    EXPECT_FALSE(w->PlayerPane().isVisible());
    EXPECT_EQ(TPlayer::PreviewSize({1920, 1080}, {2000, 2000}), QSize(960, 540));
    EXPECT_EQ(TPlayer::PreviewSize({1920, 1080}, {641, 800}), QSize(640, 360));
    EXPECT_EQ(TPlayer::PreviewSize({1080, 1920}, {900, 400}), QSize(224, 400));
    EXPECT_EQ(TPlayer::PreviewSize({320, 240}, {900, 900}), QSize(320, 240)); // never above the output
    w.reset();
    auto shown = OpenWithShow();
    TPlayer& player = shown->PlayerPane().Player();
    // 3 x (30 + 30) + 30 + 2 frames, each slide marked where it comes in.
    EXPECT_EQ(player.FrameCount(), 212);
    EXPECT_EQ(shown->PlayerPane().barScrub->Marks(), std::vector<long long>({0, 60, 120}));
    const QSize room = shown->PlayerPane().picPlayer->size();
    EXPECT_LE(player.Picture().width(), room.width());
    EXPECT_LE(player.Picture().height(), room.height());
    EXPECT_EQ(player.Picture().width() * 3, player.Picture().height() * 4); // the output's shape
}

TEST_F(PlayerPaneTest, SpacePlaysAndPausesOnTheClockAndTheFramesAreTheRunsFrames) {
    auto w = OpenWithShow();
    TPlayerPane& pane = w->PlayerPane();
    TPlayer& player = pane.Player();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    pane.widget()->setFocus();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(pane.widget(), Qt::Key_Space);
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(pane.btnPlay->text(), "Pause");
    ASSERT_TRUE(WaitUntil([&] { return player.Position() >= 30; }, 10000));
    // Real time: 30 frames of 30:1 take a second (the picture follows the clock, it never runs ahead).
    EXPECT_GE(clock.elapsed(), 900);
    QTest::keyClick(pane.widget(), Qt::Key_Space);
    EXPECT_FALSE(player.Playing());
    const long long paused = player.Position();
    QTest::qWait(200);
    EXPECT_EQ(player.Position(), paused);
    EXPECT_GT(player.Stats().Shown, 10);

    // The frame shown is the frame a run at that size draws there.
    player.ShowFrame(75); // the transition from the first picture into the second
    ASSERT_TRUE(WaitUntil([&] { return player.Position() == 75 && !player.Playing(); }, 5000));
    QTest::qWait(50);
    TSlideshowData data = w->Slides().Document().Data();
    data.Output = w->JobSettings();
    data.Output.FrameSize = std::to_string(player.FrameSize().width()) + "x" + std::to_string(player.FrameSize().height());
    TSlideshowSequencer run;
    PrepareSlideshowRun(run, data);
    const TFrameBitmap* frame = nullptr;
    for (int i = 0; i <= 75; ++i)
        frame = run.NextFrame();
    ASSERT_NE(frame, nullptr);
    const QImage& shown = player.Picture();
    ASSERT_EQ(shown.width(), frame->Width());
    int worst = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y);
            const std::uint32_t b = frame->Pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - int(b >> 16 & 0xFF)), std::abs(qGreen(a) - int(b >> 8 & 0xFF)),
                              std::abs(qBlue(a) - int(b & 0xFF))});
        }
    EXPECT_LE(worst, 2);
}

TEST_F(PlayerPaneTest, ScrubbingShowsAtOnceAndReleasingPlaysOn) {
    auto w = OpenWithShow();
    TPlayerPane& pane = w->PlayerPane();
    TPlayer& player = pane.Player();
    TPlayerScrubber* bar = pane.barScrub;
    const int y = bar->height() / 2;
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->XOf(150), y));
    EXPECT_FALSE(player.Playing());
    ASSERT_TRUE(WaitUntil([&] { return player.Position() == 150; }, 3000));
    EXPECT_GT(qBlue(Middle(player)), 0xA0); // the third picture
    QMouseEvent move(QEvent::MouseMove, QPointF(bar->XOf(40), y), bar->mapToGlobal(QPointF(bar->XOf(40), y)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    ASSERT_TRUE(WaitUntil([&] { return player.Position() == 40; }, 3000));
    EXPECT_GT(qRed(Middle(player)), 0xA0); // the first picture
    EXPECT_FALSE(player.Playing());
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->XOf(40), y));
    EXPECT_TRUE(player.Playing());
    ASSERT_TRUE(WaitUntil([&] { return player.Position() > 45; }, 5000));
    player.Pause();
}

TEST_F(PlayerPaneTest, SelectingASlideShowsItAndAChangeIsDrawnAgain) {
    auto w = OpenWithShow();
    TPlayer& player = w->PlayerPane().Player();
    w->Slides().View()->SelectRows({1});
    ASSERT_TRUE(WaitUntil([&] { return player.Position() == 90; }, 3000)); // the second slide's hold
    EXPECT_GT(qGreen(Middle(player)), 0xA0);
    // Its caption appears in the player as soon as it is set.
    QSignalSpy shown(&player, &TPlayer::FrameShown);
    const QImage before = player.Picture();
    w->Slides().Model().SetCaption({1}, "Caption in the player");
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty() && player.Picture() != before; }, 5000));
    EXPECT_EQ(player.Position(), 90);
    // A change of the window's choices too: a longer hold makes a longer show.
    const long long frames = player.FrameCount();
    w->edtPictureDelay->setValue(2);
    ASSERT_TRUE(WaitUntil([&] { return player.FrameCount() == frames + 3 * 30; }, 5000));
}

TEST_F(PlayerPaneTest, StartStopsThePlayerAndItWaitsWhileTheJobRuns) {
    auto w = OpenWithShow();
    TPlayer& player = w->PlayerPane().Player();
    w->cmbVideoSize->setEditText("320x240");
    w->cmbVideoSizeChange();
    ASSERT_TRUE(WaitUntil([&] { return player.FrameSize() == QSize(320, 240) && player.Ready(); }, 5000));
    player.Play();
    ASSERT_TRUE(player.Playing());
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    EXPECT_FALSE(player.Playing());
    if (w->btnStop->isEnabled()) {
        player.Play();
        EXPECT_FALSE(player.Playing());
        EXPECT_EQ(w->PlayerPane().lblNotice->text(), "The player waits while the video is made.");
    }
    ASSERT_TRUE(WaitUntil([&] { return !services_.OpenedUrls.isEmpty(); }, 120000));
    player.Play();
    EXPECT_TRUE(player.Playing());
    player.Pause();
}

// A change the player was not allowed to draw while a job ran: the next frame asked for, and the
// next play, come from the changed show, never from a frame drawn before the change.
TEST_F(PlayerPaneTest, AShowChangedDuringAJobIsDrawnAgainBeforeAFrameIsShown) {
    const std::uint32_t colours[] = {0xC02020u, 0x2020C0u, 0x20C020u};
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(home_.File("c" + std::to_string(i) + ".jpg"));
        WriteTestJpeg(files.back(), 320, 240, [&](int, int) { return colours[i]; });
    }
    TSlideshowData data;
    data.Slides = {PlainSlide(files[0]), PlainSlide(files[0])};
    data.Output.FrameSize = "320x240";
    data.Output.FrameRate = {30, 1};
    data.Output.HoldSeconds = 1;
    data.Output.TransitionSeconds = 1;
    bool busy = false;
    TPlayer player;
    player.SoundWanted = false;
    player.Source = [&] { return data; };
    player.Busy = [&] { return busy; };
    player.SetRoom({320, 240});
    player.Reload();
    ASSERT_TRUE(WaitUntil([&] { return player.Ready() && !player.Picture().isNull(); }, 10000));
    player.ShowFrame(45); // the first slide's hold
    ASSERT_TRUE(WaitUntil([&] { return player.Position() == 45 && qRed(Middle(player)) > 0xA0; }, 5000));

    busy = true;
    data.Slides[0].Picture = files[1];
    player.Reload(); // not now
    QTest::qWait(100);
    EXPECT_GT(qRed(Middle(player)), 0xA0);
    busy = false;
    player.ShowFrame(40);
    ASSERT_TRUE(WaitUntil([&] { return player.Position() == 40; }, 5000));
    EXPECT_GT(qBlue(Middle(player)), 0xA0);

    busy = true;
    data.Slides[0].Picture = files[2];
    player.Reload();
    busy = false;
    std::vector<QRgb> shown;
    QObject::connect(&player, &TPlayer::FrameShown, &player, [&] { shown.push_back(Middle(player)); });
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return shown.size() >= 3; }, 5000));
    player.Pause();
    for (QRgb c : shown)
        EXPECT_GT(qGreen(c), 0xA0);
}

TEST_F(PlayerPaneTest, WithoutASoundDeviceThePicturePlaysAndSaysSo) {
    if (TPlaybackSound::DeviceFound())
        GTEST_SKIP() << "this machine has a sound device";
    auto w = OpenWithShow();
    const std::string song = home_.File("song.wav");
    WriteTestWav(song, 3.0);
    w->txtAudio->setText(QString::fromStdString(song));
    TPlayerPane& pane = w->PlayerPane();
    ASSERT_TRUE(WaitUntil([&] { return pane.lblNotice->text().startsWith("No sound device was found"); }, 5000));
    pane.Player().Play();
    ASSERT_TRUE(WaitUntil([&] { return pane.Player().Position() > 10; }, 5000));
    EXPECT_FALSE(pane.Player().SoundPlaying());
    pane.Player().Pause();
}
} // namespace
