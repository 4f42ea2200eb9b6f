#include "app/window/PreviewWindow.h"
#include "app/window/Previewer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>
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

TEST(PreviewWindow, ShowsTheFrameWithItsTime) {
    TPreviewWindow w(QSize(64, 48));
    EXPECT_EQ(w.size(), QSize(64, 48));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.windowFlags() & Qt::Tool);
    const auto bits = Picture(64, 48, 64 * 4 + 16, 0x00FF8000);
    w.ShowFrame(bits.data(), 64, 48, 64 * 4 + 16, 42, 1400000);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "00:00:01.400");
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

    // A frame too large in one direction only is scaled down as well, into half the screen.
    const QSize limit = QGuiApplication::primaryScreen()->availableGeometry().size() / 2;
    ASSERT_GT(limit.width(), 10);
    ASSERT_GT(limit.height(), 10);
    for (const QSize frame : {QSize(limit.width() * 3, limit.height() / 2), QSize(limit.width() / 2, limit.height() * 3)}) {
        SCOPED_TRACE(QString("%1x%2").arg(frame.width()).arg(frame.height()).toStdString());
        TPreviewWindow one(frame);
        EXPECT_LE(one.width(), limit.width());
        EXPECT_LE(one.height(), limit.height());
        EXPECT_TRUE(one.width() == limit.width() || one.height() == limit.height());
        EXPECT_NEAR(double(one.width()) / one.height() / (double(frame.width()) / frame.height()), 1.0, 0.03);
    }
}
TPreviewWindow* FindPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<TPreviewWindow*>(w))
            return preview;
    return nullptr;
}

// The engine's side: made, used and destroyed on a worker thread, shown on this one.
TEST(Previewer, PostsFramesAtMostEvery100msAndStopsWhenClosed) {
    InstallQtPreviewFactory();
    std::unique_ptr<IPreviewWindow> previewer = CreatePreviewWindow();
    ASSERT_NE(previewer, nullptr);
    const auto red = Picture(32, 24, 128, 0x00FF0000), blue = Picture(32, 24, 128, 0x000000FF);
    bool first = false, second = false;
    std::thread worker([&] {
        first = previewer->Show(red.data(), 32, 24, 128, 1, 0);
        second = previewer->Show(blue.data(), 32, 24, 128, 2, 33333); // within 100 ms: skipped
    });
    worker.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    QApplication::processEvents();
    TPreviewWindow* window = FindPreview();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "00:00:00.000");
    EXPECT_EQ(window->Frame().pixel(0, 0) & 0xFFFFFF, 0xFF0000u);

    QTest::qWait(120);
    std::thread([&] { previewer->Show(blue.data(), 32, 24, 128, 5, 166666); }).join();
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "00:00:00.166");

    // The user closes it: the engine hears false and nothing shows again.
    window->close();
    QApplication::processEvents();
    QTest::qWait(120);
    bool afterClose = true;
    std::thread([&] { afterClose = previewer->Show(red.data(), 32, 24, 128, 9, 300000); }).join();
    EXPECT_FALSE(afterClose);
    EXPECT_TRUE(previewer->ClosedByUser()); // the engine does not take the false for a failure
    QApplication::processEvents();
    EXPECT_EQ(FindPreview(), nullptr);
    std::thread([&] { previewer.reset(); }).join();
    QApplication::processEvents();
    SetPreviewWindowFactory(nullptr);
}

TEST(Previewer, DestroyingItRemovesTheWindow) {
    auto previewer = std::make_unique<TPreviewer>();
    const auto bits = Picture(16, 16, 64, 0x00808080);
    ASSERT_TRUE(previewer->Show(bits.data(), 16, 16, 64, 1, 0));
    QApplication::processEvents();
    ASSERT_NE(FindPreview(), nullptr);
    std::make_unique<TPreviewer>().reset(); // one never shown makes no window and removes none
    QApplication::processEvents();
    EXPECT_NE(FindPreview(), nullptr);
    previewer.reset();
    QApplication::processEvents();
    EXPECT_EQ(FindPreview(), nullptr);
    // Bad pictures are refused without a window.
    TPreviewer other;
    EXPECT_FALSE(other.Show(nullptr, 16, 16, 64, 1, 0));
    EXPECT_FALSE(other.Show(bits.data(), 16, 16, 32, 1, 0));
    EXPECT_FALSE(other.ClosedByUser());
}

} // namespace
