#include "effects/Region.h"
#include "tests/effects/RegionTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

// Independent model of the polygon rule: cast a ray to the right from the point
// (x + e, y + e*e), e tending to zero, and add up the directions of the edges it crosses.
// An edge crosses the ray's line when its y range holds y (top in, bottom out), and lies
// right of the point when its exact crossing lies right of x.
int WindingAt(const std::vector<TPoint>& pts, int x, int y) {
    int winding = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const TPoint a = pts[i], b = pts[(i + 1) % pts.size()];
        if (a.Y == b.Y || y < std::min(a.Y, b.Y) || y >= std::max(a.Y, b.Y))
            continue;
        const long long dy = static_cast<long long>(b.Y) - a.Y;
        const long long num = static_cast<long long>(a.X) * dy + (static_cast<long long>(y) - a.Y) * (b.X - a.X);
        const bool right = dy > 0 ? num > static_cast<long long>(x) * dy : num < static_cast<long long>(x) * dy;
        if (right)
            winding += dy > 0 ? 1 : -1;
    }
    return winding;
}

TMask PolygonModel(const std::vector<TPoint>& pts, TFillRule rule) {
    TMask m;
    for (int y = TMask::Lo; y < TMask::Hi; ++y)
        for (int x = TMask::Lo; x < TMask::Hi; ++x) {
            const int w = WindingAt(pts, x, y);
            m.Set(x, y, rule == TFillRule::Winding ? w != 0 : w % 2 != 0);
        }
    return m;
}

// Rows of a small picture drawn with '#' at (0, 0).
TMask MaskFromRows(const std::vector<std::string>& rows) {
    TMask m;
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
            m.Set(x, y, rows[y][x] == '#');
    return m;
}

// Pixel-centre model of a rounded rectangle in half-pixel units: the centre (2x+1, 2y+1) is
// pulled into the box shrunk by the corner half-axes, and the rest must lie inside the corner
// ellipse of half-axes ew and eh.
TMask RoundRectModel(TRect b, long long ew, long long eh) {
    TMask m;
    for (int y = b.Top; y < b.Bottom; ++y)
        for (int x = b.Left; x < b.Right; ++x) {
            const long long cx = 2 * x + 1, cy = 2 * y + 1;
            const long long dx = std::max({0LL, 2LL * b.Left + ew - cx, cx - (2LL * b.Right - ew)});
            const long long dy = std::max({0LL, 2LL * b.Top + eh - cy, cy - (2LL * b.Bottom - eh)});
            const bool in = ew == 0 || eh == 0 || dx * dx * eh * eh + dy * dy * ew * ew <= ew * ew * eh * eh;
            m.Set(x, y, in);
        }
    return m;
}

std::vector<TRect> RandomRects(std::mt19937& rng, int count) {
    std::uniform_int_distribution<int> c(-6, 46);
    std::vector<TRect> rects;
    for (int i = 0; i < count; ++i)
        rects.push_back({c(rng), c(rng), c(rng), c(rng)}); // about half of them inverted, hence empty
    return rects;
}

TEST(Region, RectanglesFollowTheInclusionRule) {
    const TRegion r(TRect{2, 3, 5, 7});
    EXPECT_TRUE(r.Contains(2, 3));
    EXPECT_TRUE(r.Contains(4, 6));
    EXPECT_FALSE(r.Contains(5, 3));
    EXPECT_FALSE(r.Contains(2, 7));
    EXPECT_FALSE(r.Contains(1, 3));
    EXPECT_TRUE(TRegion(TRect{5, 0, 5, 9}).IsEmpty());
    EXPECT_TRUE(TRegion(TRect{6, 0, 5, 9}).IsEmpty());

    // A rectangle outline, either way round, covers the same pixels as the rectangle.
    EXPECT_EQ(TRegion::Polygon(std::vector<TPoint>{{2, 3}, {5, 3}, {5, 7}, {2, 7}}), r);
    EXPECT_EQ(TRegion::Polygon(std::vector<TPoint>{{2, 3}, {2, 7}, {5, 7}, {5, 3}}), r);
    // A right triangle: the slanted side is a right edge, so pixels on it are outside.
    const TRegion tri = TRegion::Polygon(std::vector<TPoint>{{0, 0}, {8, 0}, {0, 8}});
    for (int y = -1; y <= 8; ++y)
        for (int x = -1; x <= 8; ++x)
            EXPECT_EQ(tri.Contains(x, y), x >= 0 && y >= 0 && x + y < 8) << x << "," << y;
}

TEST(Region, CombinationsMatchPixelMasks) {
    std::mt19937 rng(12345);
    for (int trial = 0; trial < 300; ++trial) {
        const std::vector<TRect> ra = RandomRects(rng, trial % 7);
        const std::vector<TRect> rb = RandomRects(rng, trial % 5 + 1);
        const TRegion a = TRegion::FromRects(ra), b = TRegion::FromRects(rb);
        TMask ma, mb;
        for (const TRect& r : ra)
            ma.Paint(r);
        for (const TRect& r : rb)
            mb.Paint(r);
        ASSERT_EQ(MaskOf(a), ma) << Picture(MaskOf(a)) << "\n" << Picture(ma);
        ExpectCanonical(a);

        // Adding the rectangles one at a time gives the same canonical list.
        TRegion folded;
        for (const TRect& r : ra)
            folded = folded.Union(TRegion(r));
        EXPECT_EQ(folded, a);

        TMask mu, mi, mx, md;
        for (std::size_t i = 0; i < ma.Bits.size(); ++i) {
            mu.Bits[i] = ma.Bits[i] | mb.Bits[i];
            mi.Bits[i] = ma.Bits[i] & mb.Bits[i];
            mx.Bits[i] = ma.Bits[i] ^ mb.Bits[i];
            md.Bits[i] = ma.Bits[i] & !mb.Bits[i];
        }
        const TRegion u = a.Union(b), i = a.Intersect(b), x = a.Xor(b), d = a.Subtract(b);
        EXPECT_EQ(MaskOf(u), mu) << "union, trial " << trial;
        EXPECT_EQ(MaskOf(i), mi) << "intersection, trial " << trial;
        EXPECT_EQ(MaskOf(x), mx) << "exclusive-or, trial " << trial;
        EXPECT_EQ(MaskOf(d), md) << "difference, trial " << trial;
        for (const TRegion* r : {&u, &i, &x, &d})
            ExpectCanonical(*r);
        EXPECT_EQ(b.Union(a), u);
        EXPECT_EQ(x.Xor(b), a); // exclusive-or undoes itself
        if (trial % 10 == 0) {
            for (int py = TMask::Lo; py < TMask::Hi; ++py)
                for (int px = TMask::Lo; px < TMask::Hi; ++px) {
                    ASSERT_EQ(x.Contains(px, py), mx.Get(px, py)) << px << "," << py;
                }
        }
        if (HasFatalFailure())
            return;
    }
}

TEST(Region, OffsetMovesPixelsAndExtents) {
    TRegion r = TRegion::FromRects(std::vector<TRect>{{0, 0, 4, 2}, {6, 1, 9, 5}});
    EXPECT_EQ(r.Extents(), (TRect{0, 0, 9, 5}));
    r.Offset(-3, 10);
    EXPECT_EQ(r.Extents(), (TRect{-3, 10, 6, 15}));
    EXPECT_TRUE(r.Contains(-3, 10));
    EXPECT_TRUE(r.Contains(5, 14));
    EXPECT_FALSE(r.Contains(4, 10));
    EXPECT_EQ(TRegion().Extents(), TRect{});
}

TEST(Region, PolygonsMatchTheWindingModel) {
    // A five-pointed star drawn in one stroke: its centre is wound twice.
    const std::vector<TPoint> star{{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
    const TRegion winding = TRegion::Polygon(star, TFillRule::Winding);
    const TRegion alternate = TRegion::Polygon(star, TFillRule::Alternate);
    EXPECT_TRUE(winding.Contains(20, 20));
    EXPECT_FALSE(alternate.Contains(20, 20));
    EXPECT_TRUE(winding.Contains(20, 5));
    EXPECT_TRUE(alternate.Contains(20, 5));
    EXPECT_EQ(MaskOf(winding), PolygonModel(star, TFillRule::Winding));
    EXPECT_EQ(MaskOf(alternate), PolygonModel(star, TFillRule::Alternate));

    std::mt19937 rng(777);
    std::uniform_int_distribution<int> c(-4, 44);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<TPoint> pts(3 + trial % 6);
        for (TPoint& p : pts)
            p = {c(rng), c(rng)};
        for (TFillRule rule : {TFillRule::Winding, TFillRule::Alternate}) {
            const TRegion r = TRegion::Polygon(pts, rule);
            const TMask expected = PolygonModel(pts, rule);
            ASSERT_EQ(MaskOf(r), expected) << "trial " << trial << "\n" << Picture(MaskOf(r)) << "\n" << Picture(expected);
            ExpectCanonical(r);
        }
    }
}

TEST(Region, DegenerateAndFarAwayPolygons) {
    using P = std::vector<TPoint>;
    EXPECT_TRUE(TRegion::Polygon(P{}).IsEmpty());
    EXPECT_TRUE(TRegion::Polygon(P{{3, 3}}).IsEmpty());
    EXPECT_TRUE(TRegion::Polygon(P{{0, 0}, {9, 9}}).IsEmpty());
    EXPECT_TRUE(TRegion::Polygon(P{{0, 0}, {5, 5}, {10, 10}, {2, 2}}).IsEmpty());
    EXPECT_TRUE(TRegion::Polygon(P{{0, 4}, {9, 4}, {3, 4}}).IsEmpty());
    EXPECT_TRUE(TRegion::Polygon(P{{7, 7}, {7, 7}, {7, 7}}).IsEmpty());
    // A zero-width spike adds nothing to the square it leaves from.
    EXPECT_EQ(TRegion::Polygon(P{{0, 0}, {10, 0}, {10, 5}, {30, 5}, {10, 5}, {10, 10}, {0, 10}}),
              TRegion(TRect{0, 0, 10, 10}));

    // Vertices far outside any frame; the part near the origin follows the same rule.
    const P far{{-100000, -90000}, {120000, -100000}, {3, 110000}};
    const TRegion r = TRegion::Polygon(far);
    for (TPoint p : {TPoint{0, 0}, TPoint{-30000, 0}, TPoint{50000, 30000}, TPoint{-5, 109990}, TPoint{119990, -99990},
                     TPoint{-100001, -89999}, TPoint{60000, 30000}})
        EXPECT_EQ(r.Contains(p.X, p.Y), WindingAt(far, p.X, p.Y) != 0) << p.X << "," << p.Y;
    EXPECT_EQ(r.Extents().Top, -99999); // the top vertex alone has no width
    EXPECT_EQ(r.Extents().Bottom, 110000);

    // Edges that start millions of rows away, cutting the window of the model at odd slopes.
    const P tall{{-7, -3000000}, {41, 3000001}, {-2999999, 7}};
    EXPECT_EQ(MaskOf(TRegion::Polygon(tall)), PolygonModel(tall, TFillRule::Winding));
    // Rows are scan-converted from y = -2^18 on; edges that start above are picked up there
    // at their exact crossing. Moved down by 2^18 + 20, that first row is row 20 of the mask.
    const int shift = (1 << 18) + 20;
    P deep = tall;
    for (TPoint& p : deep)
        p.Y -= shift;
    TRegion cut = TRegion::Polygon(deep);
    cut.Offset(0, shift);
    TMask expected = PolygonModel(tall, TFillRule::Winding);
    for (int y = TMask::Lo; y < 20; ++y)
        for (int x = TMask::Lo; x < TMask::Hi; ++x)
            expected.Set(x, y, false);
    EXPECT_EQ(MaskOf(cut), expected) << Picture(MaskOf(cut));

    // Vertices at the ends of the integer range neither overflow nor exhaust memory.
    const TRegion huge = TRegion::Polygon(P{{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {0, INT_MAX}});
    EXPECT_TRUE(huge.Contains(0, 0));
    EXPECT_TRUE(huge.Contains(-1000, -1000));
    EXPECT_FALSE(huge.IsEmpty());
}

TEST(Region, EllipsesAndRoundedRectanglesCountPixelCentres) {
    EXPECT_EQ(MaskOf(TRegion::Ellipse({0, 0, 5, 5})), MaskFromRows({".###.",
                                                                    "#####",
                                                                    "#####",
                                                                    "#####",
                                                                    ".###."}));
    EXPECT_EQ(MaskOf(TRegion::Ellipse({0, 0, 4, 4})), MaskFromRows({".##.",
                                                                    "####",
                                                                    "####",
                                                                    ".##."}));
    EXPECT_EQ(MaskOf(TRegion::Ellipse({0, 0, 8, 3})), MaskFromRows({".######.",
                                                                    "########",
                                                                    ".######."}));
    EXPECT_EQ(MaskOf(TRegion::RoundRect({0, 0, 10, 6}, 4, 4)), MaskFromRows({".########.",
                                                                             "##########",
                                                                             "##########",
                                                                             "##########",
                                                                             "##########",
                                                                             ".########."}));
    // Swapped corners, oversized or negative corner sizes, corners too small to cut anything.
    EXPECT_EQ(TRegion::Ellipse({5, 5, 0, 0}), TRegion::Ellipse({0, 0, 5, 5}));
    EXPECT_EQ(TRegion::RoundRect({0, 0, 5, 5}, 100, -100), TRegion::Ellipse({0, 0, 5, 5}));
    EXPECT_EQ(TRegion::RoundRect({0, 0, 6, 4}, 1, 1), TRegion(TRect{0, 0, 6, 4}));
    EXPECT_TRUE(TRegion::Ellipse({3, 3, 3, 9}).IsEmpty());
    EXPECT_EQ(TRegion::Ellipse({0, 0, 1, 1}), TRegion(TRect{0, 0, 1, 1}));

    std::mt19937 rng(99);
    std::uniform_int_distribution<int> c(-8, 48), e(0, 50);
    for (int trial = 0; trial < 300; ++trial) {
        TRect b{c(rng), c(rng), c(rng), c(rng)};
        const int ew = e(rng) - 5, eh = e(rng) - 5;
        const TRegion r = TRegion::RoundRect(b, ew, eh);
        b = {std::min(b.Left, b.Right), std::min(b.Top, b.Bottom), std::max(b.Left, b.Right), std::max(b.Top, b.Bottom)};
        const TMask expected =
            RoundRectModel(b, std::min(std::abs(ew), b.Right - b.Left), std::min(std::abs(eh), b.Bottom - b.Top));
        ASSERT_EQ(MaskOf(r), expected) << "trial " << trial << "\n" << Picture(MaskOf(r));
        ExpectCanonical(r);
        const TRegion ellipse = TRegion::Ellipse(b);
        ASSERT_EQ(MaskOf(ellipse), RoundRectModel(b, b.Right - b.Left, b.Bottom - b.Top)) << "trial " << trial;
    }
    // Very large ellipses stay symmetric and cover their centre; far rows are left out.
    const TRegion big = TRegion::Ellipse({-2000000000, -2000000000, 2000000000, 2000000000});
    EXPECT_TRUE(big.Contains(0, 0));
    EXPECT_TRUE(big.Contains(-100000, 100000));
}

} // namespace

// Hundreds of strips, many starting on the same row in no particular order along x, as the
// strip effects collect them; with a far-away rectangle added the rows span too much for the
// counting sort and the general sort takes over. Both must give the region that uniting the
// rectangles one by one gives.
TEST(Region, ManyStripsMakeTheRegionOfUnitingThemOneByOne) {
    std::mt19937 rng(777);
    for (int trial = 0; trial < 24; ++trial) {
        std::vector<TRect> rects;
        const int n = 50 + trial * 30;
        for (int k = 0; k < n; ++k) {
            const int top = int(rng() % 12) * 5 - 10, left = int(rng() % 300) - 20;
            rects.push_back({left, top, left + int(rng() % 9) - 1, top + int(rng() % 40)});
        }
        if (trial % 2)
            rects.push_back({3, 200000, 9, 200004});
        TRegion folded;
        for (const TRect& r : rects)
            folded = folded.Union(TRegion(r));
        const TRegion made = TRegion::FromRects(rects);
        ASSERT_EQ(made, folded) << "trial " << trial;
        ExpectCanonical(made);
    }
}
