// The transition call as the slideshow makes it, for every row of the table.

#include "effects/Effects.h"
#include "effects/Transition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

TFrameBitmap Filled(int width, int height, std::uint32_t value) {
    TFrameBitmap bmp(width, height);
    bmp.Fill(value);
    return bmp;
}

bool AllPixels(const TFrameBitmap& bmp, std::uint32_t value) {
    return std::all_of(bmp.Pixels(), bmp.Pixels() + bmp.Width() * bmp.Height(),
                       [&](std::uint32_t p) { return p == value; });
}

} // namespace

TEST(Transition, EndsShowOneWholePictureForEveryRow) {
    const TFrameBitmap oldPicture = Filled(32, 24, 0x11111111u);
    const TFrameBitmap newPicture = Filled(32, 24, 0x22222222u);
    TFrameBitmap display = Filled(32, 24, 0x33333333u);
    for (int row = 1; row <= EffectCount; ++row) {
        for (int percent : {-5, 0}) {
            DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
            EXPECT_TRUE(AllPixels(display, 0x11111111u)) << "row " << row << " at " << percent;
        }
        for (int percent : {100, 130}) {
            DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
            EXPECT_TRUE(AllPixels(display, 0x22222222u)) << "row " << row << " at " << percent;
        }
    }
}

TEST(Transition, EveryRowCopesWithTinyAndOddFrames) {
    // Degenerate sizes push blocks outside the frame and sizes to zero; nothing may be touched
    // outside the bitmaps (the sanitizer build watches), and only the two pictures may appear
    // (the unroll rows shade their roll, so they are only drawn).
    const int sizes[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 3}, {9, 9}, {11, 5}, {13, 31}};
    for (const auto& size : sizes) {
        const TFrameBitmap oldPicture = Filled(size[0], size[1], 0x11u);
        const TFrameBitmap newPicture = Filled(size[0], size[1], 0x22u);
        TFrameBitmap display(size[0], size[1]);
        for (int row = 1; row <= EffectCount; ++row)
            for (int percent = 1; percent < 100; percent += 7) {
                DrawTransitionFrame(display, oldPicture, newPicture, row, percent);
                if (row == 14 || row == 15 || row == 31 || row == 32)
                    continue;
                ASSERT_TRUE(std::all_of(display.Pixels(), display.Pixels() + size[0] * size[1],
                                        [](std::uint32_t p) { return (p & 0xFFFFFF00u) == 0 && p != 0; }))
                    << "row " << row << " at " << percent << " on " << size[0] << "x" << size[1];
            }
    }
}

TEST(Transition, RejectsPicturesOfAnotherSize) {
    const TFrameBitmap oldPicture(8, 8), newPicture(8, 6);
    TFrameBitmap display(8, 8);
    EXPECT_THROW(DrawTransitionFrame(display, oldPicture, newPicture, 1, 50), std::invalid_argument);
}

TEST(Transition, TakesTheNewPictureLockBeforeTheFrameLock) {
    // The slideshow's lock order is new picture, frame, old picture: a drawer waiting for the
    // new picture must not sit on the frame's lock meanwhile.
    const TFrameBitmap oldPicture(4, 4), newPicture(4, 4);
    TFrameBitmap display(4, 4);
    std::unique_lock holdNew(newPicture.CanvasLock());
    std::atomic<bool> finished = false;
    std::thread drawer([&] {
        DrawTransitionFrame(display, oldPicture, newPicture, 5, 50);
        finished = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(finished);
    EXPECT_TRUE(display.TryLock());
    display.Unlock();
    holdNew.unlock();
    drawer.join();
    EXPECT_TRUE(finished);
}
