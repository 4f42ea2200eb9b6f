#include "app/window/PreviewWindow.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {
// A width x height picture of one colour, 32-bit B, G, R, X, with padding at each row's end.
std::vector<std::uint8_t> Picture(int width, int height, int stride, std::uint32_t colour) {
    std::vector<std::uint8_t> bits(std::size_t(stride) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(&bits[std::size_t(y) * stride + x * 4], &colour, 4);
    return bits;
}

TEST(PreviewWindow, ShowsTheFrameWithNumberAndTime) {
    TPreviewWindow w(QSize(64, 48));
    EXPECT_EQ(w.size(), QSize(64, 48));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.windowFlags() & Qt::Tool);
    const auto bits = Picture(64, 48, 64 * 4 + 16, 0x00FF8000);
    w.ShowFrame(bits.data(), 64, 48, 64 * 4 + 16, 42, 1400000);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "Frame 42 - 00:00:01.400");
    ASSERT_EQ(w.Frame().size(), QSize(64, 48));
    EXPECT_EQ(w.Frame().pixel(63, 47) & 0xFFFFFF, 0xFF8000u); // the padding is not part of the picture
    EXPECT_EQ(w.grab().toImage().pixel(10, 10) & 0xFFFFFF, 0xFF8000u);
}

TEST(PreviewWindow, IsDraggedByItsBodyAndKnowsWhenTheUserClosedIt) {
    TPreviewWindow w(QSize(80, 60));
    w.show();
    QApplication::processEvents();
    const QPoint before = w.pos();
    QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), w.mapToGlobal(QPointF(40, 30)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &move);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_EQ(w.pos(), before + QPoint(30, 20));

    EXPECT_FALSE(w.ClosedByUser());
    w.close();
    EXPECT_TRUE(w.ClosedByUser());
}

TEST(PreviewWindow, LargeFramesAreShownSmallerThanTheScreen) {
    TPreviewWindow w(QSize(20000, 15000));
    EXPECT_LT(w.width(), 20000);
    EXPECT_NEAR(double(w.width()) / w.height(), 4.0 / 3.0, 0.01);
}
} // namespace
