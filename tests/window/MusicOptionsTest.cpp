// The window's music choices: further songs after the Add Audio one, loop, fades and loudness reach
// the job, are stored in the section "options" at once and come back at the next start.

#include "app/window/MainWindow.h"
#include "app/window/MusicOptions.h"
#include "tests/window/WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {
class MusicOptions : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    std::string Option(const char* key) const { return home_.Ini().ReadString("options", key, "<absent>"); }
    TPrivateHome home_;
    TFakeServices services_;
};
} // namespace

TEST_F(MusicOptions, ChoicesReachTheJobAndAreStoredInOptions) {
    {
        auto w = Open();
        TMusicOptions* m = w->dlgMusic;
        EXPECT_TRUE(m->isHidden()) << "the first showing is the window alone";
        // Nothing chosen: the job gets the music as it is.
        TSlideshowSettings s = w->JobSettings();
        EXPECT_TRUE(s.MoreAudio.empty());
        EXPECT_FALSE(s.LoopMusic);
        EXPECT_EQ(s.FadeInSeconds, 0);
        EXPECT_EQ(s.FadeOutSeconds, 0);
        EXPECT_FALSE(s.Loudness);

        w->actMusic->trigger();
        EXPECT_TRUE(m->isVisible());
        services_.Files = {{"/music/two.mp3", "/music/three.flac"}};
        m->btnAddSong->click();
        m->chkLoop->setChecked(true);
        m->chkFadeIn->setChecked(true);
        m->edtFadeIn->setValue(1.5);
        m->cmbFadeOut->setCurrentIndex(1);
        emit m->cmbFadeOut->activated(1);
        m->chkLoudness->setChecked(true);
        m->edtLoudness->setValue(-14);
        s = w->JobSettings();
        EXPECT_EQ(s.MoreAudio, (std::vector<std::string>{"/music/two.mp3", "/music/three.flac"}));
        EXPECT_TRUE(s.LoopMusic);
        EXPECT_DOUBLE_EQ(s.FadeInSeconds, 1.5);
        EXPECT_EQ(s.FadeOutSeconds, FadeOutAuto);
        ASSERT_TRUE(s.Loudness);
        EXPECT_DOUBLE_EQ(*s.Loudness, -14);
        EXPECT_EQ(Option("loopmusic"), "1");
        EXPECT_EQ(Option("fadein"), "1.5");
        EXPECT_EQ(Option("fadeout"), "auto");
        EXPECT_EQ(Option("loudness"), "-14");

        m->lstMoreAudio->setCurrentRow(0);
        m->btnRemoveSong->click();
        EXPECT_EQ(w->JobSettings().MoreAudio, (std::vector<std::string>{"/music/three.flac"}));
        m->cmbFadeOut->setCurrentIndex(2);
        emit m->cmbFadeOut->activated(2);
        m->edtFadeOut->setValue(4);
        EXPECT_DOUBLE_EQ(w->JobSettings().FadeOutSeconds, 4);
    }
    auto w = Open();
    const TSlideshowSettings s = w->JobSettings();
    EXPECT_TRUE(s.LoopMusic);
    EXPECT_DOUBLE_EQ(s.FadeInSeconds, 1.5);
    EXPECT_DOUBLE_EQ(s.FadeOutSeconds, 4);
    ASSERT_TRUE(s.Loudness);
    EXPECT_DOUBLE_EQ(*s.Loudness, -14);
    // The songs belong to the slideshow, not to the settings file.
    EXPECT_TRUE(s.MoreAudio.empty());
    EXPECT_EQ(home_.Ini().ReadString("settings", "loopmusic", "<absent>"), "<absent>");
}
