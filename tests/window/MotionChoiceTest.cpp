// The window's motion choice: off at the first showing, stored in the section "options" at
// once, back at the next showing, and handed to the job.

#include "app/window/CodecOptionsPanel.h"
#include "app/window/MainWindow.h"
#include "app/document/ProjectFile.h"
#include "app/window/MotionChoice.h"
#include "app/window/ProjectMenu.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
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

namespace {
// A project's output choices are shown when it is opened, the job takes them, and saving the
// project again keeps them (the zoom, which has no control, included).
TEST_F(MotionChoice, AProjectsMotionFramingAndQualityAreShownUsedAndSavedAgain) {
    TSlideshowData data;
    data.Output.Format = "mp4 (H.264)";
    data.Output.Framing = TFraming::Fill;
    data.Output.Motion = TMotionStyle::Random;
    data.Output.Zoom = 1.4;
    data.Output.ConstantQuality = true;
    data.Output.Crf = 20;
    data.Output.Preset = spSmallFile;
    const std::string project = home_.File("show.pixaroll");
    std::string error;
    ASSERT_TRUE(SaveProject(project, data, error)) << error;

    auto w = Open();
    services_.ProjectToOpen = QString::fromStdString(project);
    w->Project().actOpen->trigger();
    ASSERT_TRUE(services_.Boxes.empty()) << services_.Boxes.front().Text.toStdString();
    EXPECT_EQ(w->cmbFormat->currentText(), "mp4 (H.264)");
    EXPECT_EQ(w->cmbMotion->currentText(), "motion: random");
    EXPECT_EQ(w->pnlCodec->cmbFraming->currentText(), "fill");
    EXPECT_EQ(w->pnlCodec->edtQuality->value(), 20);
    EXPECT_EQ(w->pnlCodec->cmbPreset->currentIndex(), int(spSmallFile));
    const TSlideshowSettings job = w->JobSettings();
    EXPECT_EQ(job.Motion, TMotionStyle::Random);
    EXPECT_EQ(job.Zoom, 1.4);
    EXPECT_EQ(job.Framing, TFraming::Fill);
    EXPECT_EQ(job.Crf, 20);
    EXPECT_EQ(job.Preset, spSmallFile);
    // Stored as if chosen by hand: the next showing has them too.
    EXPECT_EQ(home_.Ini().ReadString("options", "motion", ""), "random");

    services_.ProjectToSave = QString::fromStdString(project);
    w->Project().actSave->trigger();
    TSlideshowData saved;
    ASSERT_TRUE(LoadProject(project, saved, error)) << error;
    EXPECT_EQ(saved.Output.Motion, TMotionStyle::Random);
    EXPECT_EQ(saved.Output.Zoom, 1.4);
    EXPECT_EQ(saved.Output.Framing, TFraming::Fill);
    EXPECT_EQ(saved.Output.Crf, 20);
}
} // namespace
