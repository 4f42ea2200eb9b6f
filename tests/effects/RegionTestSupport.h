#pragma once
// Pixel-mask models of regions for the region tests.

#include "effects/Region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// A square window of pixels [Lo, Hi) x [Lo, Hi).
struct TMask {
    static constexpr int Lo = -12, Hi = 52, Size = Hi - Lo;
    std::vector<std::uint8_t> Bits = std::vector<std::uint8_t>(Size * Size, 0);

    bool Get(int x, int y) const { return Bits[(y - Lo) * Size + (x - Lo)] != 0; }
    void Set(int x, int y, bool v) { Bits[(y - Lo) * Size + (x - Lo)] = v; }
    void Paint(const TRect& r) {
        for (int y = std::max(r.Top, Lo); y < std::min(r.Bottom, Hi); ++y)
            for (int x = std::max(r.Left, Lo); x < std::min(r.Right, Hi); ++x)
                Set(x, y, true);
    }
    friend bool operator==(const TMask&, const TMask&) = default;
};

inline TMask MaskOf(const TRegion& region) {
    TMask m;
    for (const TRect& r : region.Rects())
        m.Paint(r);
    return m;
}

// Rows of the window as text ('#' inside), for readable failure messages.
inline std::string Picture(const TMask& m) {
    std::string s;
    for (int y = TMask::Lo; y < TMask::Hi; ++y) {
        for (int x = TMask::Lo; x < TMask::Hi; ++x)
            s += m.Get(x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

// The region's rectangles are in canonical form and its extents are right.
inline void ExpectCanonical(const TRegion& region) {
    const std::vector<TRect>& r = region.Rects();
    TRect box{};
    for (std::size_t i = 0; i < r.size(); ++i) {
        ASSERT_FALSE(r[i].IsEmpty());
        if (i == 0) {
            box = r[i];
        } else {
            box.Left = std::min(box.Left, r[i].Left);
            box.Right = std::max(box.Right, r[i].Right);
            box.Bottom = r[i].Bottom;
            const TRect& p = r[i - 1];
            if (p.Top == r[i].Top) {
                ASSERT_EQ(p.Bottom, r[i].Bottom) << "band " << i;
                ASSERT_LT(p.Right, r[i].Left) << "spans of a band must be sorted, apart and not touching";
            } else {
                ASSERT_GE(r[i].Top, p.Bottom) << "bands must not overlap";
            }
        }
    }
    EXPECT_EQ(region.Extents(), box);
    // Touching bands must differ, or they should have been merged.
    std::size_t start = 0;
    std::vector<std::pair<int, int>> previous;
    int previousBottom = 0;
    while (start < r.size()) {
        std::size_t end = start;
        std::vector<std::pair<int, int>> columns;
        while (end < r.size() && r[end].Top == r[start].Top)
            columns.push_back({r[end].Left, r[end].Right}), ++end;
        if (start > 0 && previousBottom == r[start].Top) {
            EXPECT_NE(columns, previous) << "unmerged equal bands at y " << r[start].Top;
        }
        previous = columns;
        previousBottom = r[start].Bottom;
        start = end;
    }
}
