#include "effects/Effects.h"
#include "effects/FrameBitmap.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(FrameBitmap, SizeStrideAndPixelLayout) {
    TFrameBitmap bmp(3, 2);
    EXPECT_EQ(bmp.Stride(), 12);
    EXPECT_EQ(bmp.Pixel(2, 1), 0u);
    bmp.SetPixel(1, 1, TFrameBitmap::MakePixel(0x11, 0x22, 0x33));
    const std::uint8_t* p = bmp.Bits() + 1 * bmp.Stride() + 1 * 4;
    EXPECT_EQ(p[0], 0x33); // blue first
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x11);
    bmp.SetSize(-1, 5);
    EXPECT_TRUE(bmp.Empty());
}

TEST(FrameBitmap, CopiesGetTheirOwnHandleAndLockIsReentrant) {
    TFrameBitmap a(2, 2);
    TFrameBitmap b(a);
    EXPECT_NE(a.Handle(), b.Handle());
    TCanvasLock outer(a);
    TCanvasLock inner(a);
    EXPECT_TRUE(a.TryLock());
    a.Unlock();
}

TEST(EffectTable, HasAllRowsWithTheTwoSharedNames) {
    std::set<std::string> names;
    for (const TEffect& e : Effects) {
        ASSERT_NE(e.Proc, nullptr);
        names.insert(e.Name);
    }
    EXPECT_EQ(names.size(), 174u);
    EXPECT_STREQ(EffectRow(33).Name, EffectRow(18).Name);
    EXPECT_STREQ(EffectRow(34).Name, EffectRow(25).Name);
    EXPECT_THROW(EffectRow(0), std::out_of_range);
    EXPECT_THROW(EffectRow(177), std::out_of_range);
}
