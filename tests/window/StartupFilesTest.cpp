// "pixaroll a.jpg b.jpg": the files named on the command line reach the window's picture list.

#include "app/document/ProjectFile.h"
#include "app/window/MainWindow.h"
#include "app/window/WindowUsage.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace {

// The list's entries, one a line.
std::string Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items.join('\n').toStdString();
}

class StartupFiles : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTwoTestPictures(dir_); // p0.jpg and p1.jpg
        std::ofstream(dir_.File("notes.txt")) << "no picture";
        oldCurrent_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir_.Path().string()));
    }
    void TearDown() override { QDir::setCurrent(oldCurrent_); }
    // What main does with the arguments Qt leaves.
    std::unique_ptr<TfrmMain> Start(const QStringList& arguments) {
        const TWindowArgs args = ReadWindowArgs(arguments);
        EXPECT_TRUE(args.Error.isEmpty()) << args.Error.toStdString();
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        OpenStartupFiles(*window, args.Files);
        QApplication::processEvents();
        return window;
    }
    std::string Absolute(const char* name) const { return dir_.File(name); }

    TPrivateHome home_;
    TFakeServices services_;
    TTempDir dir_;
    QString oldCurrent_;
};

TEST_F(StartupFiles, PicturesNamedOnTheCommandLineAreListedInOrderWithTheirFullPaths) {
    auto w = Start({"pixaroll", "p1.jpg", "p0.jpg"});
    EXPECT_EQ(Items(w->lstPictures), Absolute("p1.jpg") + "\n" + Absolute("p0.jpg"));
    EXPECT_TRUE(w->btnOpen->isEnabled());
}

TEST_F(StartupFiles, AnAudioFileNamedOnTheCommandLineIsTheSoundtrack) {
    std::ofstream(dir_.File("song.MP3")) << "a song";
    auto w = Start({"pixaroll", "p0.jpg", "song.MP3", "p1.jpg"});
    EXPECT_EQ(Items(w->lstPictures), Absolute("p0.jpg") + "\n" + Absolute("p1.jpg"));
    EXPECT_EQ(w->txtAudio->text().toStdString(), Absolute("song.MP3"));
}

TEST_F(StartupFiles, NamesThatAreNoPictureOrNoFileAreLoggedAndSkipped) {
    auto w = Start({"pixaroll", "missing.jpg", "notes.txt", "p0.jpg", "--", "-p1.jpg"});
    EXPECT_EQ(Items(w->lstPictures), Absolute("p0.jpg"));
    const QString log = w->mmoLog->toPlainText();
    EXPECT_TRUE(log.contains("No such file, skipped: missing.jpg")) << log.toStdString();
    EXPECT_TRUE(log.contains(QString::fromStdString("Not a picture file, skipped: " + Absolute("notes.txt"))))
        << log.toStdString();
    EXPECT_TRUE(log.contains("-p1.jpg")) << log.toStdString();
}

TEST_F(StartupFiles, AProjectNamedOnTheCommandLineIsOpenedAndPicturesBesideItJoinIt) {
    TSlideshowData data;
    data.Slides = {PlainSlide(Absolute("p1.jpg")), PlainSlide(Absolute("p0.jpg"))};
    data.Slides[0].Caption = "first";
    std::string error;
    ASSERT_TRUE(SaveProject(Absolute("trip.pixaroll"), data, error)) << error;
    auto w = Start({"pixaroll", "trip.pixaroll", "p0.jpg", "other.pixaroll"});
    EXPECT_EQ(Items(w->lstPictures), Absolute("p1.jpg") + "\n" + Absolute("p0.jpg") + "\n" + Absolute("p0.jpg"));
    EXPECT_TRUE(w->windowTitle().contains("trip")) << w->windowTitle().toStdString();
    EXPECT_TRUE(w->mmoLog->toPlainText().contains("No such file, skipped: other.pixaroll"));
}

TEST(WindowArgs, OptionsFilesAndMistakes) {
    const TWindowArgs shot = ReadWindowArgs({"pixaroll", "a.jpg", "--screenshot", "shot.png", "b.jpg"});
    EXPECT_EQ(shot.Files, QStringList({"a.jpg", "b.jpg"}));
    EXPECT_EQ(shot.Screenshot, "shot.png");
    EXPECT_TRUE(shot.Error.isEmpty());
    EXPECT_FALSE(shot.Player);
    EXPECT_TRUE(ReadWindowArgs({"pixaroll", "--player", "a.jpg"}).Player);
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(ReadWindowArgs({"pixaroll", "--", "--screenshot"}).Files, QStringList({"--screenshot"}));
    EXPECT_EQ(ReadWindowArgs({"pixaroll", "--bogus", "a.jpg"}).Error, "unknown option --bogus");
    EXPECT_EQ(ReadWindowArgs({"pixaroll", "--playr"}).Error, "unknown option --playr; did you mean --player?");
    EXPECT_FALSE(ReadWindowArgs({"pixaroll", "--screenshot"}).Error.isEmpty());
    EXPECT_TRUE(ReadWindowArgs({"pixaroll"}).Files.isEmpty());
}

} // namespace
