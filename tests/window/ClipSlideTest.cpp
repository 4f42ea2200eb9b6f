// Video clips in the window: Add Photos and dropping take them, the thumbnail is the clip's
// first picture, and the slide panel sets one clip's in and out points and sound.

#include "app/window/ClipPanel.h"
#include "app/window/MainWindow.h"
#include "app/window/PictureListModel.h"
#include "app/window/SlideEditor.h"
#include "app/window/SlidePanel.h"
#include "app/window/ThumbnailLoader.h"
#include "tests/support/TestClip.h"
#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class ClipSlide : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        TTestClip clip;
        clip.Seconds = 1;
        clip.Tone = false;
        ASSERT_TRUE(MakeTestClip(home_.File("clip.mov"), clip, error)) << error;
        WriteTestJpeg(home_.File("a.jpg"), 16, 12, [](int, int) { return 0x808080u; });
    }
    TPrivateHome home_;
    TFakeServices services_;
};
} // namespace

TEST_F(ClipSlide, AddPhotosTakesClipsAndThePanelSetsTheirPoints) {
    TfrmMain w(&services_);
    w.show();
    services_.Files = {{QString::fromStdString(home_.File("a.jpg")), QString::fromStdString(home_.File("clip.mov"))}};
    QTest::mouseClick(w.btnVideo, Qt::LeftButton);
    ASSERT_FALSE(services_.Filters.empty());
    EXPECT_TRUE(services_.Filters[0].startsWith("Picture Files ("));
    EXPECT_TRUE(services_.Filters[0].contains("*.[mM][oO][vV]")) << services_.Filters[0].toStdString();
    ASSERT_EQ(w.lstPictures->count(), 2);

    TSlidePanel* panel = w.Slides().Panel();
    panel->SetRows({0}); // a photo: no clip values
    EXPECT_TRUE(panel->pnlClip->isHidden());
    panel->SetRows({1});
    ASSERT_FALSE(panel->pnlClip->isHidden());
    EXPECT_FALSE(panel->pnlClip->chkClipIn->isChecked());
    EXPECT_NEAR(panel->pnlClip->edtClipOut->value(), 1.0, 0.05); // shows where the clip ends
    panel->pnlClip->edtClipIn->setValue(0.25);
    panel->pnlClip->cmbClipSound->setCurrentIndex(2);
    emit panel->pnlClip->cmbClipSound->activated(2);
    const TSlideClip& clip = w.Slides().Document().Slide(1).Clip;
    ASSERT_TRUE(clip.In);
    EXPECT_DOUBLE_EQ(*clip.In, 0.25);
    EXPECT_FALSE(clip.Out);
    EXPECT_EQ(clip.Sound, TClipSound::Alone);
    // An end before the start is not taken.
    panel->pnlClip->edtClipOut->setValue(0.1);
    EXPECT_FALSE(w.Slides().Document().Slide(1).Clip.Out);
    EXPECT_FALSE(panel->pnlClip->chkClipOut->isChecked());
}

TEST_F(ClipSlide, ThumbnailIsTheFirstPicture) {
    const QImage image = TThumbnailLoader::Make(QString::fromStdString(home_.File("clip.mov")), QSize(48, 36));
    ASSERT_EQ(image.size(), QSize(48, 36));
    // Picture 0: every counter column black on top, the grey half below.
    EXPECT_LT(qGray(image.pixel(40, 4)), 60);
    EXPECT_NEAR(qGray(image.pixel(24, 30)), 128, 30);
}
