// The window's framing and quality choices: shown where they apply, stored in the section
// "options" at once, and handed to the job.

#include "app/window/CodecOptionsPanel.h"
#include "app/window/MainWindow.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class CodecOptionsPanel : public ::testing::Test {
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

TEST_F(CodecOptionsPanel, QualityChoicesShowForTodaysCodecsAndAreStoredInOptions) {
    {
        auto w = Open();
        TCodecOptionsPanel* p = w->pnlCodec;
        w->cmbFormat->setCurrentIndex(5); // mp4 (H.264)
        EXPECT_FALSE(p->isHidden());
        EXPECT_FALSE(p->chkHardware->isHidden());
        EXPECT_EQ(p->edtQuality->value(), 23) << "the row's default";
        p->edtQuality->setValue(20);
        EXPECT_EQ(Option("crf-mp4-h264"), "20");
        QTest::keyClick(p->cmbPreset, Qt::Key_Up); // balanced -> fast
        EXPECT_EQ(Option("preset"), "fast");
        QTest::keyClick(p->cmbFraming, Qt::Key_Down); // letterbox -> blur
        EXPECT_EQ(Option("framing"), "blur");

        TSlideshowSettings s = w->JobSettings();
        EXPECT_EQ(s.Format, "mp4 (H.264)");
        EXPECT_TRUE(s.ConstantQuality);
        EXPECT_EQ(s.Crf, 20);
        EXPECT_EQ(s.Preset, spFast);
        EXPECT_EQ(s.Framing, TFraming::Blur);
        EXPECT_FALSE(s.ConstantFrameRate) << "held pictures are written once unless asked";
        EXPECT_EQ(p->chkConstantRate->text(), "constant frame rate (for video editors)");
        QTest::mouseClick(p->chkConstantRate, Qt::LeftButton);
        EXPECT_EQ(Option("constantframerate"), "1");
        EXPECT_TRUE(w->JobSettings().ConstantFrameRate);

        w->cmbFormat->setCurrentIndex(7); // webm (VP9): its own quality, no hardware encoder
        EXPECT_EQ(p->edtQuality->value(), 33);
        EXPECT_EQ(p->edtQuality->maximum(), 63);
        EXPECT_TRUE(p->chkHardware->isHidden());
        QTest::keyClick(p->cmbQuality, Qt::Key_Down); // bit rate
        EXPECT_EQ(Option("quality"), "bitrate");
        EXPECT_FALSE(w->JobSettings().ConstantQuality);

        w->cmbFormat->setCurrentIndex(0); // mp4: the classic choices only
        EXPECT_TRUE(p->isHidden());
        EXPECT_EQ(w->JobSettings().Framing, TFraming::Blur) << "framing applies to every row";
    }
    auto w = Open();
    w->cmbFormat->setCurrentIndex(5);
    EXPECT_EQ(w->pnlCodec->edtQuality->value(), 20);
    EXPECT_EQ(w->pnlCodec->cmbPreset->currentText(), "fast");
    EXPECT_EQ(w->pnlCodec->cmbFraming->currentText(), "blur");
    EXPECT_EQ(w->pnlCodec->cmbQuality->currentText(), "bit rate");
    EXPECT_TRUE(w->pnlCodec->chkConstantRate->isChecked());
    EXPECT_TRUE(w->JobSettings().ConstantFrameRate);
    // The section of the classic choices holds none of this.
    EXPECT_EQ(home_.Ini().ReadString("settings", "framing", "<absent>"), "<absent>");
    EXPECT_EQ(home_.Ini().ReadString("settings", "preset", "<absent>"), "<absent>");
}
} // namespace
