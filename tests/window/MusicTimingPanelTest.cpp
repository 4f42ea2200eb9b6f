// The window's music timing choices: hidden until there is a soundtrack, stored in the section
// "options" at once, handed to the job only with a soundtrack, and taken from a project.

#include "app/window/MainWindow.h"
#include "app/window/MusicTimingPanel.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class MusicTimingPanel : public ::testing::Test {
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

TEST_F(MusicTimingPanel, ChoicesFollowTheSoundtrackAndAreStoredInOptions) {
    {
        auto w = Open();
        TMusicTimingPanel* p = w->pnlMusicTiming;
        EXPECT_TRUE(p->isHidden()) << "no soundtrack at the first showing";
        EXPECT_FALSE(w->JobSettings().FitToMusic);
        w->txtAudio->setText("/music/song.mp3");
        EXPECT_FALSE(p->isHidden());
        QTest::mouseClick(p->chkBeats, Qt::LeftButton);
        EXPECT_EQ(Option("beats"), "1");
        EXPECT_EQ(Option("fittomusic"), "0");
        TSlideshowSettings s = w->JobSettings();
        EXPECT_TRUE(s.Beats);
        EXPECT_FALSE(s.FitToMusic);
        p->chkFitToMusic->setChecked(true);
        EXPECT_TRUE(w->JobSettings().FitToMusic);

        // Without a soundtrack the stored choices stay but ask for nothing.
        w->txtAudio->clear();
        EXPECT_TRUE(p->isHidden());
        EXPECT_FALSE(w->JobSettings().Beats);
        EXPECT_FALSE(w->JobSettings().FitToMusic);
    }
    auto w = Open();
    EXPECT_TRUE(w->pnlMusicTiming->chkBeats->isChecked());
    EXPECT_TRUE(w->pnlMusicTiming->chkFitToMusic->isChecked());
    EXPECT_EQ(home_.Ini().ReadString("settings", "beats", "<absent>"), "<absent>");
}
} // namespace
