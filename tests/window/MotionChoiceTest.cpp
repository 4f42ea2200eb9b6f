// The window's motion choice: off at the first showing, stored in the section "options" at
// once, back at the next showing, and handed to the job.

#include "app/window/MainWindow.h"
#include "app/window/MotionChoice.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class MotionChoice : public ::testing::Test {
protected:
    std::unique_ptr<TfrmMain> Open() {
        auto window = std::make_unique<TfrmMain>(&services_);
        window->show();
        QApplication::processEvents();
        return window;
    }
    TPrivateHome home_;
    TFakeServices services_;
};

TEST_F(MotionChoice, OffFirstThenStoredInOptionsAndHandedToTheJob) {
    {
        auto w = Open();
        EXPECT_EQ(w->cmbMotion->currentText(), "motion: off");
        EXPECT_EQ(w->JobSettings().Motion, TMotionStyle::Off);
        QTest::keyClick(w->cmbMotion, Qt::Key_Down);
        QTest::keyClick(w->cmbMotion, Qt::Key_Down); // off -> zoom-in -> zoom-out
        EXPECT_EQ(home_.Ini().ReadString("options", "motion", "<absent>"), "zoom-out");
        EXPECT_EQ(w->JobSettings().Motion, TMotionStyle::ZoomOut);
    }
    {
        auto w = Open();
        EXPECT_EQ(w->cmbMotion->currentText(), "motion: zoom-out");
        EXPECT_EQ(home_.Ini().ReadString("settings", "motion", "<absent>"), "<absent>");
    }
    home_.Ini().WriteString("options", "motion", "sideways");
    auto again = Open();
    EXPECT_EQ(again->JobSettings().Motion, TMotionStyle::Off) << "an unknown stored choice reads as off";
}
} // namespace
