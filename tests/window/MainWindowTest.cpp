#include "app/settings/GlobalObject.h"
#include "app/window/DirectoryDialog.h"
#include "app/window/CodecOptionsPanel.h"
#include "app/window/MainWindow.h"
#include "medialib/FFLog.h"
#include "medialib/ThreadId.h"
#include "tests/window/WindowTestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {
class MainWindow : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    std::string Key(const char* key) const { return home_.Ini().ReadString("settings", key, "<absent>"); }
    void Pick(QComboBox* box) { QTest::keyClick(box, Qt::Key_Down); } // the user moves one entry down
    QStringList Items(QListWidget* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }

    TPrivateHome home_;
    TFakeServices services_;
};

TEST(MainWindowFirstRun, AMachineWithoutSettingsMakesFullHdH264InStereoAndStoresIt) {
    TPrivateHome home(TPrivateHome::FreshMachine);
    TFakeServices services;
    const auto key = [&](const char* section, const char* name) { return home.Ini().ReadString(section, name, "<absent>"); };
    {
        TfrmMain w(&services);
        w.show();
        QApplication::processEvents();
        EXPECT_EQ(w.cmbFormat->currentText(), "mp4 (H.264)");
        EXPECT_EQ(w.cmbVideoSize->currentText(), "1920x1080");
        EXPECT_EQ(w.cmbFramerate->currentText(), "30:1");
        EXPECT_EQ(w.cmbSampleRate->currentText(), "as source");
        EXPECT_TRUE(w.rdoStereo->isChecked());
        EXPECT_FALSE(w.rdoMono->isChecked());
        // Constant quality at the row's number, balanced: the bit rate list is not used and says so.
        EXPECT_FALSE(w.pnlCodec->isHidden());
        EXPECT_EQ(w.pnlCodec->cmbQuality->currentIndex(), 0);
        EXPECT_EQ(w.pnlCodec->edtQuality->value(), 23);
        EXPECT_EQ(w.pnlCodec->cmbPreset->currentText(), "balanced");
        EXPECT_FALSE(w.cmbBitRate->isEnabled());
        // The lists keep their entries and positions: stored files rely on them.
        EXPECT_EQ(w.cmbFormat->currentIndex(), 5);
        EXPECT_EQ(w.cmbVideoSize->currentIndex(), 16);
        EXPECT_EQ(w.cmbFormat->itemText(0), "mp4");
        EXPECT_EQ(w.cmbVideoSize->itemText(0), "128x96");
        // Stored as the user's own choices.
        EXPECT_EQ(key("settings", "firstrun"), "0");
        EXPECT_EQ(key("settings", "format"), "5");
        EXPECT_EQ(key("settings", "videosizeindex"), "16");
        EXPECT_EQ(key("settings", "videosize"), "1920x1080");
        EXPECT_EQ(key("settings", "framerateindex"), "0");
        EXPECT_EQ(key("settings", "stereo"), "1");
        EXPECT_EQ(key("settings", "mono"), "0");
        EXPECT_EQ(key("settings", "bitrate"), w.cmbBitRate->currentText().toStdString());
        EXPECT_EQ(key("options", "quality"), "crf");
        EXPECT_EQ(key("options", "preset"), "balanced");
        EXPECT_EQ(key("options", "crf-mp4-h264"), "23");
        const TSlideshowSettings job = w.JobSettings();
        EXPECT_EQ(job.Format, "mp4 (H.264)");
        EXPECT_EQ(job.FrameSize, "1920x1080");
        EXPECT_EQ(job.AudioChannels, 2);
        EXPECT_TRUE(job.ConstantQuality);
        EXPECT_EQ(job.Crf, 23);
        EXPECT_EQ(job.Preset, spBalanced);
        // Choosing the bit rate makes the list usable again, showing the rate that is used.
        w.pnlCodec->cmbQuality->setCurrentIndex(1);
        EXPECT_TRUE(w.cmbBitRate->isEnabled());
        EXPECT_EQ(w.JobSettings().VideoBitRate, w.cmbBitRate->currentText().toInt() * 1000);
        w.pnlCodec->cmbQuality->setCurrentIndex(0);
        // The user changes the size; the next start keeps it (the file exists now).
        w.cmbVideoSize->setCurrentIndex(15);
        w.cmbVideoSizeChange();
    }
    TfrmMain again(&services);
    again.show();
    QApplication::processEvents();
    EXPECT_EQ(again.cmbFormat->currentText(), "mp4 (H.264)");
    EXPECT_EQ(again.cmbVideoSize->currentText(), "1280x720");
    EXPECT_TRUE(again.rdoStereo->isChecked());
}

TEST_F(MainWindow, DefaultGivesTodaysChoicesForTheRowsOfTodaysCodecs) {
    auto w = Open();
    for (int format = 5; format < 9; ++format) {
        w->cmbFormat->setCurrentIndex(format);
        w->cmbFormatChange();
        w->pnlCodec->cmbQuality->setCurrentIndex(1);
        w->pnlCodec->cmbPreset->setCurrentIndex(0);
        w->cmbVideoSize->setCurrentIndex(0);
        w->rdoMono->setChecked(true);
        QTest::mouseClick(w->btnDefault, Qt::LeftButton);
        EXPECT_EQ(w->cmbVideoSize->currentText(), "1920x1080") << format;
        EXPECT_EQ(w->cmbFramerate->currentText(), "30:1") << format;
        EXPECT_TRUE(w->rdoStereo->isChecked()) << format;
        EXPECT_EQ(w->pnlCodec->cmbQuality->currentIndex(), 0) << format;
        EXPECT_EQ(w->pnlCodec->cmbPreset->currentText(), "balanced") << format;
        EXPECT_EQ(w->pnlCodec->edtQuality->value(), ContainerAt(format)->Quality->DefaultCrf) << format;
        EXPECT_EQ(home_.Ini().ReadString("options", "quality", ""), "crf") << format;
        EXPECT_EQ(Key("videosize"), "1920x1080") << format;
    }
}

TEST_F(MainWindow, ASettingsFileWithoutKeysShowsTheClassicDefaultsAndStoresThem) {
    auto w = Open();
    EXPECT_TRUE(w->rdoMono->isChecked());
    EXPECT_FALSE(w->rdoStereo->isChecked());
    EXPECT_EQ(w->cmbVideoSize->currentText(), "128x96");
    EXPECT_EQ(w->cmbBitRate->currentText(), "192");
    EXPECT_EQ(w->cmbFormat->currentText(), "mp4");
    EXPECT_EQ(w->cmbFramerate->currentText(), "30:1");
    EXPECT_EQ(w->cmbSampleRate->currentText(), "as source");
    EXPECT_EQ(w->edtPictureDelay->text(), "5");
    EXPECT_EQ(w->edtTransitionDelay->text(), "2");
    // The classic five containers and fifteen sizes, then the rows of today's codecs and the HD,
    // vertical and square sizes.
    const QStringList formats = {"mp4", "swf", "flv", "wmv", "mov",
                                 "mp4 (H.264)", "mp4 (H.265)", "webm (VP9)", "webm (AV1)"};
    const QStringList sizes = {"128x96", "160x120", "174x144", "208x160", "208x176", "240x180", "320x240",
                               "400x300", "480x360", "512x384", "640x480", "768x576", "800x600", "1024x768",
                               "1280x960", "1280x720", "1920x1080", "2560x1440", "3840x2160", "1080x1920",
                               "720x1280", "1080x1080"};
    ASSERT_EQ(w->cmbFormat->count(), formats.size());
    for (int i = 0; i < formats.size(); ++i)
        EXPECT_EQ(w->cmbFormat->itemText(i), formats[i]) << i;
    ASSERT_EQ(w->cmbVideoSize->count(), sizes.size());
    for (int i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(w->cmbVideoSize->itemText(i), sizes[i]) << i;
    // Framing shows for every row, the quality choices only for today's codecs.
    EXPECT_EQ(w->pnlCodec->cmbFraming->currentText(), "letterbox");
    EXPECT_TRUE(w->pnlCodec->isHidden());
    EXPECT_EQ(w->cmbBitRate->count(), 9);

    EXPECT_EQ(Key("firstrun"), "0");
    EXPECT_EQ(Key("OutPutDir"), home_.Home() + "/pixaroll");
    EXPECT_EQ(w->edtDir->text().toStdString(), home_.Home() + "/pixaroll");
    EXPECT_FALSE(w->edtDir->isEnabled());
    EXPECT_EQ(Key("stereo"), "0");
    EXPECT_EQ(Key("mono"), "1");
    EXPECT_EQ(w->windowTitle().toStdString(), "Zemo Pixaroll Free Ver" + VersionTextOf(PIXAROLL_VERSION));
    EXPECT_TRUE(w->windowTitle().startsWith("Zemo Pixaroll Free Ver 1."));

    EXPECT_TRUE(w->btnStart->isEnabled());
    EXPECT_TRUE(w->btnExit->isEnabled());
    EXPECT_FALSE(w->btnPause->isEnabled());
    EXPECT_FALSE(w->btnStop->isEnabled());
    EXPECT_TRUE(w->chkRandomEffect->isChecked());
    EXPECT_TRUE(w->chkPictures->isChecked());
    EXPECT_FALSE(w->LogWindow()->isVisible());
    // The client area is at least the designed 596 by 397.
    EXPECT_GE(w->centralWidget()->width(), 596);
    EXPECT_GE(w->centralWidget()->height(), 397);
}

TEST_F(MainWindow, EveryChangeIsStoredAtOnceAndShownAtTheNextStart) {
    {
        auto w = Open();
        Pick(w->cmbFormat);
        EXPECT_EQ(Key("format"), "1");
        Pick(w->cmbBitRate);
        EXPECT_EQ(Key("bitrateindex"), "1");
        EXPECT_EQ(Key("bitrate"), "256");
        Pick(w->cmbFramerate);
        EXPECT_EQ(Key("framerateindex"), "1");
        EXPECT_EQ(Key("framerate"), "25:1");
        Pick(w->cmbSampleRate);
        EXPECT_EQ(Key("samplerate"), "1");
        Pick(w->cmbVideoSize);
        EXPECT_EQ(Key("videosizeindex"), "1");
        EXPECT_EQ(Key("videosize"), "160x120");
        QTest::mouseClick(w->rdoStereo, Qt::LeftButton);
        EXPECT_EQ(Key("stereo"), "1");
        EXPECT_EQ(Key("mono"), "0");
        // A typed size has no list position.
        w->cmbVideoSize->lineEdit()->selectAll();
        QTest::keyClicks(w->cmbVideoSize->lineEdit(), "500x400");
        EXPECT_EQ(Key("videosizeindex"), "-1");
        EXPECT_EQ(Key("videosize"), "500x400");
        // Positions set by code are not the user's choice and are not stored.
        w->cmbFormat->setCurrentIndex(4);
        EXPECT_EQ(Key("format"), "1");
    }
    auto w = Open();
    EXPECT_EQ(w->cmbFormat->currentText(), "swf");
    EXPECT_EQ(w->cmbBitRate->currentText(), "256");
    EXPECT_EQ(w->cmbFramerate->currentText(), "25:1");
    EXPECT_EQ(w->cmbSampleRate->currentText(), "8000");
    EXPECT_EQ(w->cmbVideoSize->currentText(), "500x400"); // the typed size comes back
    EXPECT_TRUE(w->rdoStereo->isChecked());
    EXPECT_EQ(Key("firstrun"), "0");
}

TEST_F(MainWindow, DeletedOutputFolderIsReplacedByTheProfileDefault) {
    home_.Ini().WriteString("settings", "firstrun", "0");
    home_.Ini().WriteString("settings", "OutPutDir", home_.File("gone"));
    fs::create_directory(home_.File("kept"));
    {
        auto w = Open();
        EXPECT_EQ(w->edtDir->text().toStdString(), home_.Home() + "/pixaroll");
        EXPECT_EQ(Key("OutPutDir"), home_.Home() + "/pixaroll");
    }
    home_.Ini().WriteString("settings", "OutPutDir", home_.File("kept"));
    auto w = Open();
    EXPECT_EQ(w->edtDir->text().toStdString(), home_.File("kept"));
}

TEST_F(MainWindow, DefaultSelectsTheChoicesOfEachContainer) {
    auto w = Open();
    const char* bitRates[] = {"1200", "768", "768", "1200", "1200"};
    for (int format = 0; format < 5; ++format) {
        w->cmbFramerate->setCurrentIndex(2);
        w->cmbSampleRate->setCurrentIndex(3);
        w->cmbVideoSize->setCurrentIndex(0);
        w->rdoMono->setChecked(true);
        w->cmbFormat->setCurrentIndex(format);
        QTest::mouseClick(w->btnDefault, Qt::LeftButton);
        EXPECT_EQ(w->cmbBitRate->currentText(), bitRates[format]);
        EXPECT_EQ(Key("bitrate"), bitRates[format]);
        EXPECT_EQ(Key("bitrateindex"), std::to_string(w->cmbBitRate->currentIndex()));
        EXPECT_EQ(Key("videosize"), "320x240");
        EXPECT_EQ(Key("videosizeindex"), "6");
        EXPECT_EQ(Key("framerate"), "30:1"); // the default frame rate
        EXPECT_EQ(Key("framerateindex"), "0");
        EXPECT_EQ(Key("samplerate"), "0");
        EXPECT_TRUE(w->rdoStereo->isChecked());
        EXPECT_EQ(Key("stereo"), "1");
        EXPECT_EQ(Key("mono"), "0");
    }
    // Without a container the button does nothing.
    w->cmbFormat->setCurrentIndex(-1);
    w->cmbBitRate->setCurrentIndex(0);
    QTest::mouseClick(w->btnDefault, Qt::LeftButton);
    EXPECT_EQ(w->cmbBitRate->currentText(), "192");
    EXPECT_EQ(Key("bitrate"), "1200");
}

TEST_F(MainWindow, ExitStoresBothDelaysBeforeItAsks) {
    auto w = Open();
    QTest::keyClick(w->edtPictureDelay, Qt::Key_Up);
    QTest::keyClick(w->edtTransitionDelay, Qt::Key_Up);
    QTest::keyClick(w->edtTransitionDelay, Qt::Key_Up);
    services_.Answer = false;
    QTest::mouseClick(w->btnExit, Qt::LeftButton);
    EXPECT_EQ(Key("PhotoDelay"), "6");
    EXPECT_EQ(Key("EffectDelay"), "4");
    ASSERT_EQ(services_.Boxes.size(), 1u);
    EXPECT_EQ(services_.Boxes[0].Kind, "question");
    EXPECT_EQ(services_.Boxes[0].Caption, "Warning");
    EXPECT_EQ(services_.Boxes[0].Text, "Do you really want to exit?");
    EXPECT_TRUE(w->isVisible());

    // The close box asks as well but stores nothing.
    QTest::keyClick(w->edtPictureDelay, Qt::Key_Up);
    w->close();
    EXPECT_EQ(services_.Boxes.size(), 2u);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Key("PhotoDelay"), "6");

    services_.Answer = true;
    QTest::mouseClick(w->btnExit, Qt::LeftButton);
    EXPECT_EQ(Key("PhotoDelay"), "7");
    EXPECT_FALSE(w->isVisible());
    // The stored delays come back.
    w.reset();
    auto again = Open();
    EXPECT_EQ(again->edtPictureDelay->text(), "7");
    EXPECT_EQ(again->edtTransitionDelay->text(), "4");
}

TEST_F(MainWindow, AddPhotosAppendsInTheDialogsOrder) {
    auto w = Open();
    services_.Files = {{"/p/c.JPG", "/p/a.bmp", "/p/notes.txt", "/p/b.Jpeg", "/p/d.Png"}, {"/p/a.bmp"}, {}};
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    EXPECT_EQ(Items(w->lstPictures), QStringList({"/p/c.JPG", "/p/a.bmp", "/p/b.Jpeg", "/p/d.Png"}));
    EXPECT_TRUE(w->mmoLog->toPlainText().contains("/p/notes.txt"));
    EXPECT_TRUE(w->btnOpen->isEnabled());
    // The filter accepts every letter case.
    ASSERT_EQ(services_.Filters.size(), 1);
    EXPECT_TRUE(services_.Filters[0].startsWith("Picture Files ("));
    EXPECT_TRUE(services_.Filters[0].contains("*.[bB][mM][pP]"));
    EXPECT_TRUE(services_.Filters[0].contains("*.[jJ][pP][eE][gG]"));
    EXPECT_TRUE(services_.Filters[0].contains("*.[pP][nN][gG]"));
    // Duplicates are kept, nothing is sorted.
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    EXPECT_EQ(w->lstPictures->count(), 5);
    EXPECT_EQ(w->lstPictures->item(4)->text(), "/p/a.bmp");
    // Clear leaves Open as it was; a cancelled dialog sets it from the empty list.
    QTest::mouseClick(w->btnClear, Qt::LeftButton);
    EXPECT_EQ(w->lstPictures->count(), 0);
    EXPECT_TRUE(w->btnOpen->isEnabled());
    QTest::mouseClick(w->btnVideo, Qt::LeftButton);
    EXPECT_FALSE(w->btnOpen->isEnabled());

    services_.AudioFile = "/music/song.MP3";
    QTest::mouseClick(w->btnAudio, Qt::LeftButton);
    EXPECT_EQ(w->txtAudio->text(), "/music/song.MP3");
    EXPECT_TRUE(services_.Filters.last().contains("*.[mM][pP]3"));
    services_.AudioFile.clear(); // cancelled: the soundtrack stays
    QTest::mouseClick(w->btnAudio, Qt::LeftButton);
    EXPECT_EQ(w->txtAudio->text(), "/music/song.MP3");
}

TEST_F(MainWindow, BrowseStoresTheChosenFolderAndRefusesReadOnlyOnes) {
    auto w = Open();
    const std::string target = home_.File("videos");
    fs::create_directory(target);
    QTimer::singleShot(0, [&] {
        TfmDirectory* d = w->DirectoryDialog();
        ASSERT_TRUE(d && d->isVisible());
        d->SelectFolder(QString::fromStdString(target));
        EXPECT_TRUE(d->btnOk->isEnabled());
        QTest::mouseClick(d->btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(w->btnBrows, Qt::LeftButton);
    EXPECT_EQ(Key("OutPutDir"), target);
    EXPECT_EQ(w->edtDir->text().toStdString(), target);

    // A folder on a read-only medium is refused and the dialog stays open; Cancel changes nothing.
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        TfmDirectory* d = w->DirectoryDialog();
        EXPECT_EQ(d->CurrentFolder().toStdString(), target); // opens at the current folder
        d->IsReadOnly = [](const QString&) { return true; };
        d->SelectFolder(QString::fromStdString(home_.Home()));
        QTest::mouseClick(d->btnOk, Qt::LeftButton);
        stayedOpen = d->isVisible();
        QTest::mouseClick(d->btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(w->btnBrows, Qt::LeftButton);
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(services_.Boxes.size(), 1u);
    EXPECT_EQ(services_.Boxes[0].Kind, "information");
    EXPECT_EQ(services_.Boxes[0].Caption, "Zemo Pixaroll");
    EXPECT_EQ(services_.Boxes[0].Text, "Output folder cannot be located in CD-ROM.Please select another folder.");
    EXPECT_EQ(Key("OutPutDir"), target);
}

TEST_F(MainWindow, OpenShowsTheFolderOrItsFallback) {
    auto w = Open();
    QTest::mouseClick(w->btnOpen, Qt::LeftButton);
    // The first-run folder is created when it is shown.
    EXPECT_EQ(services_.OpenedUrls, QStringList({QString::fromStdString(home_.Home() + "/pixaroll")}));
    EXPECT_TRUE(fs::is_directory(home_.Home() + "/pixaroll"));

    std::ofstream(home_.File("plain")) << "x";
    home_.Ini().WriteString("settings", "OutPutDir", home_.File("plain/sub"));
    QTest::mouseClick(w->btnOpen, Qt::LeftButton);
    ASSERT_EQ(services_.Boxes.size(), 1u);
    EXPECT_EQ(services_.Boxes[0].Caption, "Warning");
    EXPECT_TRUE(services_.Boxes[0].Text.startsWith("Can not create output directory:"));
    EXPECT_EQ(services_.OpenedUrls.last().toStdString(), home_.Home() + "/MyVideos");
    EXPECT_EQ(Key("OutPutDir"), home_.Home() + "/MyVideos");

    services_.OpenedUrls.clear();
    w->edtDir->setText("/a");
    QTest::mouseClick(w->btnOpen, Qt::LeftButton);
    EXPECT_TRUE(services_.OpenedUrls.isEmpty());
}

TEST_F(MainWindow, LogLinesCarryThreadAndLevelAndTheLogIsOneKeyAway) {
    auto w = Open();
    GetFFLogger().Log(nullptr, llInfo, "abc");
    const QString expected = QString("#%1.5: abc").arg(CurrentThreadId());
    EXPECT_TRUE(w->mmoLog->toPlainText().split('\n').contains(expected)) << w->mmoLog->toPlainText().toStdString();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(w->LogWindow()->isVisible());
}

TEST_F(MainWindow, WebLinksOpenTheirAddresses) {
    auto w = Open();
    QTest::mouseClick(w->img1, Qt::LeftButton);
    ASSERT_EQ(services_.OpenedUrls.size(), 1);
    EXPECT_EQ(services_.OpenedUrls[0].toStdString(), w->Global().HomePageUrl());
}
} // namespace

// Every Alt key reaches one control: a menu title that took a button's letter would open the menu
// instead (Alt+S opened the Slides menu, not Start).
TEST_F(MainWindow, NoTwoMenusOrButtonsShareAnAltKey) {
    auto w = Open();
    std::map<QChar, QString> owners;
    const auto take = [&](const QString& text) {
        const qsizetype at = text.indexOf('&');
        if (at < 0 || at + 1 >= text.size() || text[at + 1] == '&')
            return;
        const QChar key = text[at + 1].toLower();
        EXPECT_TRUE(owners.emplace(key, text).second)
            << "Alt+" << QString(key).toStdString() << ": " << owners[key].toStdString() << " and " << text.toStdString();
    };
    for (QAction* a : w->menuBar()->actions())
        take(a->text());
    for (QAbstractButton* b : w->centralWidget()->findChildren<QAbstractButton*>())
        take(b->text());
    EXPECT_EQ(owners.count('s'), 1u);
    EXPECT_EQ(owners['s'], "&Start");
}
