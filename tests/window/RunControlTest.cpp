#include "app/window/MainWindow.h"
#include "app/window/PreviewWindow.h"
#include "tests/support/RunCommand.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace fs = std::filesystem;

namespace {
// A 16-bit PCM WAV file with a 440 Hz tone.
void WriteWav(const std::string& fileName, double seconds, int rate = 44100, int channels = 2) {
    const std::uint32_t frames = std::uint32_t(seconds * rate);
    const std::uint32_t dataSize = frames * channels * 2;
    std::ofstream out(fileName, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataSize);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(std::uint16_t(channels));
    u32(std::uint32_t(rate));
    u32(std::uint32_t(rate * channels * 2));
    u16(std::uint16_t(channels * 2));
    u16(16);
    out.write("data", 4);
    u32(dataSize);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto v = std::int16_t(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
        for (int c = 0; c < channels; ++c)
            u16(std::uint16_t(v));
    }
}

class RunControl : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    // Lists pictures through Add Photos, as the user does.
    void AddPictures(TfrmMain& w, const QStringList& files) {
        services_.Files = {files};
        QTest::mouseClick(w.btnVideo, Qt::LeftButton);
    }
    QStringList TwoPictures(int width = 160, int height = 120) {
        const std::string a = home_.File("a.jpg"), b = home_.File("b.JPG");
        WriteTestJpeg(a, width, height, [](int x, int) { return x < 40 ? 0xFF0000u : 0x00FF00u; });
        WriteTestJpeg(b, width, height, [](int, int y) { return y < 30 ? 0x0000FFu : 0xFFFF00u; });
        return {QString::fromStdString(a), QString::fromStdString(b)};
    }
    void SetDelays(TfrmMain& w, int hold, int transition) {
        w.edtPictureDelay->setValue(hold);
        w.edtTransitionDelay->setValue(transition);
    }
    bool Idle(TfrmMain& w) {
        return w.btnStart->isEnabled() && !w.btnStop->isEnabled() && !w.btnPause->isEnabled() &&
               w.btnExit->isEnabled() && w.btnVideo->isEnabled() && w.cmbFormat->isEnabled();
    }
    bool Running(TfrmMain& w) {
        return !w.btnStart->isEnabled() && w.btnStop->isEnabled() && w.btnPause->isEnabled() &&
               !w.btnExit->isEnabled() && !w.btnVideo->isEnabled() && !w.btnAudio->isEnabled() &&
               !w.btnBrows->isEnabled() && !w.btnOpen->isEnabled() && !w.cmbFormat->isEnabled();
    }
    // The final notification of a run opens the output folder.
    bool WaitForEnd(int timeoutMs = 120000) {
        return WaitUntil([&] { return !services_.OpenedUrls.isEmpty(); }, timeoutMs);
    }

    TPrivateHome home_;
    TFakeServices services_;
};

TEST(RunControlRules, SampleRateAndProgress) {
    EXPECT_EQ(TfrmMain::SampleRateOfPosition(0), 0);
    EXPECT_EQ(TfrmMain::SampleRateOfPosition(2), 11025);
    EXPECT_EQ(TfrmMain::SampleRateOfPosition(4), 44100);
    EXPECT_EQ(TfrmMain::SampleRateOfPosition(-1), 44100);
    EXPECT_EQ(TfrmMain::ProgressPercent(500, 1000), 50);
    EXPECT_EQ(TfrmMain::ProgressPercent(999, 1000), 99);
    EXPECT_EQ(TfrmMain::ProgressPercent(5000, 1000), 100);
    EXPECT_EQ(TfrmMain::ProgressPercent(-5, 1000), 0);
    EXPECT_EQ(TfrmMain::ProgressPercent(500, -1), 0);
    EXPECT_EQ(TfrmMain::ProgressPercent(500, 0), 0);
}

TEST_F(RunControl, JobTakesControlsAndStoredChoices) {
    auto w = Open();
    // Nothing stored yet for the bit rate: 768 kbit/s although the list shows 192.
    TSlideshowSettings s = w->JobSettings();
    EXPECT_EQ(s.VideoBitRate, 768000);
    EXPECT_EQ(s.AudioSampleRate, 44100); // nothing stored: the list is not read
    EXPECT_EQ(s.AudioChannels, 1);   // the first run ends on Mono and stores it
    EXPECT_EQ(s.FrameRate.Text(), "30:1");
    EXPECT_EQ(s.FrameSize, "128x96");
    EXPECT_EQ(s.Format, "mp4");
    EXPECT_TRUE(s.BreakWhenNoPictures);
    QTest::keyClick(w->cmbBitRate, Qt::Key_End);
    QTest::keyClick(w->cmbSampleRate, Qt::Key_Down);
    QTest::mouseClick(w->rdoStereo, Qt::LeftButton);
    w->cmbVideoSize->setEditText("abc"); // typed text goes to the job unchanged
    s = w->JobSettings();
    EXPECT_EQ(s.VideoBitRate, 1500000);
    EXPECT_EQ(s.AudioSampleRate, 8000);
    EXPECT_EQ(s.AudioChannels, 2);
    EXPECT_EQ(s.FrameSize, "abc");
}

TEST_F(RunControl, StartWithoutPicturesOpensAddPhotos) {
    auto w = Open();
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_EQ(services_.Filters.size(), 1);
    EXPECT_TRUE(services_.Filters[0].startsWith("Picture Files"));
    EXPECT_EQ(w->Job(), nullptr);
    EXPECT_TRUE(Idle(*w));
}

TEST_F(RunControl, StartRunsTheSlideshowToAPlayableFileAndReturnsToIdle) {
    auto w = Open();
    AddPictures(*w, TwoPictures());
    const std::string song = home_.File("song.wav");
    WriteWav(song, 3.0);
    services_.AudioFile = QString::fromStdString(song);
    QTest::mouseClick(w->btnAudio, Qt::LeftButton);
    SetDelays(*w, 1, 1);
    // The video ends by itself (the soundtrack is shorter), every frame of it written.
    w->chkPictures->setChecked(false);

    int highestBar = 0;
    QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int v) { highestBar = std::max(highestBar, v); });
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr) << w->mmoLog->toPlainText().toStdString();
    EXPECT_TRUE(Running(*w));
    const std::string out = w->Job()->OutputFile();
    EXPECT_EQ(out, home_.Home() + "/pixaroll/slideshow-_(new).mp4");
    ASSERT_TRUE(WaitForEnd()) << w->mmoLog->toPlainText().toStdString();
    EXPECT_TRUE(Idle(*w));
    EXPECT_TRUE(services_.Boxes.empty()) << services_.Boxes[0].Text.toStdString();
    EXPECT_EQ(services_.OpenedUrls[0].toStdString(), home_.Home() + "/pixaroll");
    EXPECT_FALSE(w->lblStatus->text().isEmpty());

    EXPECT_EQ(Probe(out, "stream=codec_type,codec_name,width"), "mpeg4,video,128\naac,audio\n");
    // The soundtrack gives the job a total duration, so the bar moved.
    EXPECT_GT(highestBar, 0);
    // Two pictures held 1 s with 1 s transitions at 30/s: 2 x (30 + 30) + 30 + 2 frames.
    EXPECT_EQ(Probe(out, "stream=nb_read_packets", "-select_streams v -count_packets"), "152\n");

    // The next Start takes the next free name.
    services_.OpenedUrls.clear();
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    EXPECT_EQ(w->Job()->OutputFile(), home_.Home() + "/pixaroll/slideshow-_(new_1).mp4");
    ASSERT_TRUE(WaitForEnd());
}

// "Break when no pictures" ends the run long before the song: the bar measures the run, not the
// song, and reaches its end; the status line then says the run finished.
TEST_F(RunControl, TheBarMeasuresTheRunThatEndsWithThePictures) {
    auto w = Open();
    AddPictures(*w, TwoPictures());
    const std::string song = home_.File("long.wav");
    WriteWav(song, 30.0);
    services_.AudioFile = QString::fromStdString(song);
    QTest::mouseClick(w->btnAudio, Qt::LeftButton);
    SetDelays(*w, 1, 1);
    w->chkPictures->setChecked(true); // 5 s of pictures, then the end
    int highestWhileRunning = 0;
    QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        if (w->btnStop->isEnabled())
            highestWhileRunning = std::max(highestWhileRunning, v);
    });
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr) << w->mmoLog->toPlainText().toStdString();
    ASSERT_TRUE(WaitForEnd()) << w->mmoLog->toPlainText().toStdString();
    EXPECT_TRUE(Idle(*w));
    EXPECT_TRUE(services_.Boxes.empty()) << services_.Boxes[0].Text.toStdString();
    // Measured against the song the bar would stay below a fifth.
    EXPECT_GT(highestWhileRunning, 60);
    EXPECT_EQ(w->ProgressBar1->value(), 100);
    EXPECT_EQ(w->lblStatus->text(), "Finished: " + QString::fromStdString(w->Job()->OutputFile()));
}

TEST_F(RunControl, PauseThenStartResumesTheSameTask) {
    auto w = Open();
    AddPictures(*w, TwoPictures());
    SetDelays(*w, 2, 1);
    w->chkPictures->setChecked(false); // the end of the slideshow does not cut the last frames
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    TSlideshowJob* job = w->Job();
    ASSERT_TRUE(WaitUntil([&] { return job->FramesDelivered() > 10; }, 30000));
    QTest::mouseClick(w->btnPause, Qt::LeftButton);
    EXPECT_TRUE(w->JobPaused());
    EXPECT_TRUE(w->btnStart->isEnabled());
    EXPECT_FALSE(w->btnPause->isEnabled());
    EXPECT_TRUE(w->btnStop->isEnabled());
    EXPECT_FALSE(w->btnExit->isEnabled());
    QTest::qWait(300);
    const int frozen = job->FramesDelivered();
    QTest::qWait(300);
    EXPECT_EQ(job->FramesDelivered(), frozen); // the worker waits while paused

    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    EXPECT_FALSE(w->JobPaused());
    EXPECT_TRUE(Running(*w));
    EXPECT_EQ(w->Job(), job);
    EXPECT_EQ(w->Encoder().TaskCount(), 1);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(Idle(*w));
    // Resumed where it stopped: the slideshow was not begun again.
    EXPECT_EQ(job->FramesDelivered(), 2 * (60 + 30) + 30 + 2);
    EXPECT_EQ(Probe(job->OutputFile(), "stream=nb_read_packets", "-select_streams v -count_packets"), "212\n");
}

TEST_F(RunControl, StopEmptiesStatusAndBarAndReturnsToIdle) {
    auto w = Open();
    AddPictures(*w, TwoPictures());
    SetDelays(*w, 100, 2);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return w->lblStatus->text().startsWith("Frame number: "); }, 30000));
    w->ProgressBar1->setValue(40); // as a run with a known total would have it
    // Stopping a paused job ends it too.
    QTest::mouseClick(w->btnPause, Qt::LeftButton);
    QTest::mouseClick(w->btnStop, Qt::LeftButton);
    EXPECT_EQ(w->lblStatus->text(), "");
    EXPECT_EQ(w->ProgressBar1->value(), 0);
    EXPECT_FALSE(w->JobPaused()); // a stopped job is not resumed by the next Start
    EXPECT_TRUE(Idle(*w));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(Idle(*w));
    EXPECT_TRUE(services_.Boxes.empty());
    EXPECT_EQ(Probe(w->Job()->OutputFile(), "stream=codec_type"), "video\n"); // what was written plays
    const QStringList log = w->mmoLog->toPlainText().split('\n');
    EXPECT_TRUE(log.contains("FrameInput read header"));
    EXPECT_TRUE(log.contains("FrameInput read close"));
    // The next Start is a new job, not the resumption of the stopped one.
    TSlideshowJob* stopped = w->Job();
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    EXPECT_NE(w->Job(), stopped);
    EXPECT_TRUE(Running(*w));
    QTest::mouseClick(w->btnStop, Qt::LeftButton);
    EXPECT_TRUE(Idle(*w));
}

TEST_F(RunControl, ClosingDuringARunStopsItFirst) {
    auto w = Open();
    AddPictures(*w, TwoPictures());
    SetDelays(*w, 100, 2);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    const std::string out = w->Job()->OutputFile();
    ASSERT_TRUE(WaitUntil([&] { return w->Job()->FramesDelivered() > 5; }, 30000));
    // The pictures added are unsaved work: the save question is the one that comes.
    services_.Answer = false;
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Cancel;
    w->close(); // the close box
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(Running(*w));
    services_.Answer = true;
    services_.SaveAnswer = TWindowServices::ESaveAnswer::Discard;
    w->close();
    EXPECT_FALSE(w->isVisible());
    w.reset();
    EXPECT_EQ(Probe(out, "stream=codec_type"), "video\n");
}

TEST_F(RunControl, BrokenPictureGivesOneMessageBoxNamingIt) {
    auto w = Open();
    QStringList pictures = TwoPictures();
    const std::string broken = home_.File("broken.jpg");
    std::ofstream(broken) << "this is not a picture";
    pictures.insert(1, QString::fromStdString(broken));
    AddPictures(*w, pictures);
    SetDelays(*w, 1, 1);
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    ASSERT_TRUE(WaitForEnd());
    QTest::qWait(100);
    ASSERT_EQ(services_.Boxes.size(), 1u);
    EXPECT_EQ(services_.Boxes[0].Kind, "exclamation");
    EXPECT_EQ(services_.Boxes[0].Caption, "Zemo Pixaroll");
    EXPECT_TRUE(services_.Boxes[0].Text.contains("broken.jpg")) << services_.Boxes[0].Text.toStdString();
    EXPECT_TRUE(Idle(*w));
}

// While a 1280x960 job runs, the user-interface thread is never busy for long: a timer that
// should fire every 5 ms measures the longest time it had to wait.
TEST_F(RunControl, WindowAnswersWhileALargeJobRuns) {
    auto w = Open();
    AddPictures(*w, TwoPictures(1600, 1200));
    SetDelays(*w, 1, 1);
    w->cmbVideoSize->setCurrentIndex(w->cmbVideoSize->findText("1280x960"));
    QElapsedTimer clock;
    qint64 last = -1, longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (last >= 0)
            longest = std::max(longest, now - last);
        last = now;
    });
    QTest::mouseClick(w->btnStart, Qt::LeftButton);
    ASSERT_NE(w->Job(), nullptr);
    clock.start();
    tick.start();
    // Input is answered during the run (by keyboard: the preview window may cover the mouse's way).
    ASSERT_TRUE(WaitUntil([&] { return w->Job()->FramesDelivered() > 20; }, 30000));
    QTest::keyClick(w->cmbSampleRate, Qt::Key_Down);
    EXPECT_EQ(w->cmbSampleRate->currentText(), "8000");
    EXPECT_EQ(home_.Ini().ReadString("settings", "samplerate", ""), "1");
    // The preview window shows the frames being encoded, with their time as its caption.
    ASSERT_TRUE(WaitUntil([] { return VisiblePreview() != nullptr; }, 10000));
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$").match(VisiblePreview()->windowTitle()).hasMatch())
        << VisiblePreview()->windowTitle().toStdString();
    EXPECT_EQ(VisiblePreview()->Frame().size(), QSize(1280, 960));
    ASSERT_TRUE(WaitForEnd());
    tick.stop();
    // ... and goes away with the job.
    EXPECT_TRUE(WaitUntil([] { return VisiblePreview() == nullptr; }, 5000));
    std::printf("longest wait of the user-interface thread during the 1280x960 job: %lld ms\n", (long long)longest);
    RecordProperty("LongestUiWaitMs", int(longest));
    EXPECT_LT(longest, 250);
}
} // namespace

TEST_F(RunControl, TypedSizesTheEncoderCannotTakeGiveAMessageAndTheWindowStays) {
    auto w = Open();
    AddPictures(*w, TwoPictures());
    // Refusing a size works out no output folder: an unusable stored folder warns about nothing.
    home_.Ini().WriteString("settings", "OutPutDir", "/proc/no-such-folder");
    const struct {
        const char* Size;
        const char* Format;
    } cases[] = {{"100000x100000", "mp4"}, {"40000x40000", "mp4"}, {"0x0", "flv"}, {"-5x10", "mov"}, {"7x5", "wmv"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        services_.Boxes.clear();
        w->cmbFormat->setCurrentIndex(w->cmbFormat->findText(c.Format));
        w->cmbVideoSize->setEditText(c.Size);
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        ASSERT_EQ(services_.Boxes.size(), 1u);
        EXPECT_EQ(services_.Boxes[0].Kind, "exclamation");
        EXPECT_EQ(services_.Boxes[0].Caption, "Zemo Pixaroll");
        EXPECT_TRUE(services_.Boxes[0].Text.contains(QString("the frame size ") + c.Size))
            << services_.Boxes[0].Text.toStdString();
        EXPECT_EQ(w->Job(), nullptr);
        EXPECT_TRUE(Idle(*w));
        EXPECT_TRUE(w->isVisible());
    }
    EXPECT_EQ(home_.Ini().ReadString("settings", "OutPutDir", ""), "/proc/no-such-folder");
    EXPECT_FALSE(fs::exists(home_.Home() + "/videoconverter"));
}
