#include "effects/RegionBuilder.h"
#include "tests/effects/RegionTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

TEST(ComplexRegion, MakesNoRegionUntilSomethingIsAdded) {
    TComplexRegion builder;
    EXPECT_FALSE(builder.CreateRegion().has_value());
    EXPECT_EQ(builder.Bounds(), (TRect{INT_MAX, INT_MAX, -INT_MAX, -INT_MAX}));

    // Inverted rectangles add no pixel but still make a (empty) region and widen the bounds.
    builder.AddRect(5, 0, 3, 4);
    builder.AddRect(0, 9, 4, 9);
    const std::optional<TRegion> region = builder.CreateRegion();
    ASSERT_TRUE(region.has_value());
    EXPECT_TRUE(region->IsEmpty());
    EXPECT_EQ(builder.Bounds(), (TRect{0, 0, 4, 9}));

    builder.Clear();
    EXPECT_EQ(builder.Count(), 0);
    EXPECT_EQ(builder.Capacity(), 0);
    EXPECT_FALSE(builder.CreateRegion().has_value());
}

TEST(ComplexRegion, GrowsByFiveHundredAndMakesTheUnion) {
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> c(-10, 50);
    TComplexRegion builder;
    TMask expected;
    for (int i = 0; i < 501; ++i) {
        // Thin strips like the bar and shred effects add, many overlapping, some inverted.
        const int y = c(rng), x = c(rng);
        const TRect r = i % 2 ? TRect{x, y, x + c(rng) / 4, y + 2} : TRect{x, y, x + 2, y + c(rng) / 3};
        builder.AddRect(r.Left, r.Top, r.Right, r.Bottom);
        expected.Paint(r);
        if (i == 0 || i == 499) {
            EXPECT_EQ(builder.Capacity(), 500);
        }
    }
    EXPECT_EQ(builder.Capacity(), 1000);
    EXPECT_EQ(builder.Count(), 501);
    const std::optional<TRegion> region = builder.CreateRegion();
    ASSERT_TRUE(region.has_value());
    EXPECT_EQ(MaskOf(*region), expected) << Picture(MaskOf(*region)) << "\n" << Picture(expected);
    ExpectCanonical(*region);
}

TEST(ComplexRegion, RegionDataBlocksThatLieAreRefused) {
    TComplexRegion builder;
    builder.AddRect(0, 0, 3, 3);
    ASSERT_TRUE(builder.CreateRegion().has_value());
    // The same layout by hand: header claiming more rectangles than the block holds.
    std::vector<std::uint32_t> block{32, 1, 2, 16, 0, 0, 3, 3, 0, 0, 3, 3};
    EXPECT_FALSE(ExtCreateRegion(block.size() * 4, block.data()).has_value());
    block[2] = 1;
    const std::optional<TRegion> one = ExtCreateRegion(block.size() * 4, block.data());
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(*one, TRegion(TRect{0, 0, 3, 3}));
    block[1] = 2;
    EXPECT_FALSE(ExtCreateRegion(block.size() * 4, block.data()).has_value());
    EXPECT_FALSE(ExtCreateRegion(16, block.data()).has_value());
    EXPECT_FALSE(ExtCreateRegion(64, nullptr).has_value());
}

TEST(RegionToolkit, PolygonFromCoordinateList) {
    const TRegion tri = PolygonRgn({0, 0, 8, 0, 0, 8});
    EXPECT_TRUE(tri.Contains(0, 7));
    EXPECT_TRUE(tri.Contains(3, 4));
    EXPECT_FALSE(tri.Contains(4, 4));
    EXPECT_EQ(PolygonRgn({0, 0, 8, 0, 0, 8, 99}), tri); // an odd last number is no point
    const std::vector<int> quad{2, 2, 6, 2, 6, 6, 2, 6};
    EXPECT_EQ(PolygonRgn(quad), TRegion(TRect{2, 2, 6, 6}));
    const TPoint pts[] = {{0, 0}, {8, 0}, {0, 8}};
    EXPECT_TRUE(CreatePolygonRgn(pts, -1, TFillRule::Winding).IsEmpty());
}

TEST(RegionToolkit, SectorSweepsClockwiseFromTwelveOClock) {
    // A quarter turn in 25 steps about the centre of a 100 x 100 frame: the fan covers from
    // straight up to 86.4 degrees clockwise.
    const int radius = static_cast<int>(std::ceil(std::hypot(50.0, 50.0)));
    const TRegion quarter = CreateSectorRgn(50, 50, radius, -kPi / 2, -kPi / 2 + 25 * kPi / 50, 25);
    EXPECT_TRUE(quarter.Contains(55, 10));   // just right of 12 o'clock
    EXPECT_FALSE(quarter.Contains(45, 10));  // just left of it
    EXPECT_TRUE(quarter.Contains(90, 45));   // above 3 o'clock, within 86.4 degrees
    EXPECT_FALSE(quarter.Contains(95, 49));  // 3.6 degrees short of 3 o'clock is not reached
    EXPECT_FALSE(quarter.Contains(90, 55));  // below 3 o'clock
    EXPECT_TRUE(quarter.Contains(99, 0));    // the radius reaches the frame corner
    const TRegion anticlockwise = CreateSectorRgn(50, 50, radius, -kPi / 2, -kPi / 2 - 25 * kPi / 50, 25);
    EXPECT_TRUE(anticlockwise.Contains(45, 10));
    EXPECT_FALSE(anticlockwise.Contains(55, 10));

    EXPECT_TRUE(CreateSectorRgn(50, 50, radius, -kPi / 2, -kPi / 2 + kPi / 50, 1).IsEmpty());
    EXPECT_TRUE(CreateSectorRgn(50, 50, radius, 0, 1, 0).IsEmpty());
}

TEST(RegionToolkit, RotationTurnsClockwiseAndRoundsHalvesToEven) {
    std::vector<TPoint> pts{{7, 5}, {5, 1}, {-3, 12}};
    const std::vector<TPoint> original = pts;
    RotatePoints(pts, 2, 5, 5, 0);
    EXPECT_EQ(pts, original);

    RotatePoints(pts, 1, 5, 5, kPi / 2); // the last point is beyond High and stays
    EXPECT_EQ(pts[0], (TPoint{5, 7}));    // right of the centre turns to below it
    EXPECT_EQ(pts[1], (TPoint{9, 5}));    // above the centre turns to its right
    EXPECT_EQ(pts[2], original[2]);
    RotatePoints(pts, 99, 5, 5, -kPi / 2); // High beyond the list is limited to it
    EXPECT_EQ(pts[0], original[0]);

    EXPECT_EQ(RoundHalfEven(2.5L), 2);
    EXPECT_EQ(RoundHalfEven(3.5L), 4);
    EXPECT_EQ(RoundHalfEven(-2.5L), -2);
    EXPECT_EQ(RoundHalfEven(-3.5L), -4);
    EXPECT_EQ(RoundHalfEven(2.4999L), 2);
    EXPECT_EQ(RoundHalfEven(-0.6L), -1);
    EXPECT_EQ(RoundHalfEven(1e30L), INT_MAX);
}

TEST(RegionToolkit, GraphicsInterfaceCalls) {
    EXPECT_EQ(CreateRectRgn(5, 9, 1, 2), TRegion(TRect{1, 2, 5, 9})); // corners put in order

    // The destination may be one of the operands.
    TRegion a(TRect{0, 0, 10, 10});
    const TRegion b(TRect{5, 5, 15, 15});
    CombineRgn(a, a, b, rgnXor);
    EXPECT_TRUE(a.Contains(0, 0));
    EXPECT_FALSE(a.Contains(7, 7));
    EXPECT_TRUE(a.Contains(12, 12));
    CombineRgn(a, a, b, rgnAnd);
    EXPECT_EQ(a, TRegion::FromRects(std::vector<TRect>{{10, 5, 15, 10}, {5, 10, 15, 15}}));
    CombineRgn(a, a, TRegion(TRect{0, 0, 12, 20}), rgnDiff);
    EXPECT_EQ(a, TRegion(TRect{12, 5, 15, 15}));
    CombineRgn(a, b, a, rgnOr);
    EXPECT_EQ(a, b);
}

} // namespace

namespace {

// Shapes of the kinds the grid effects repeat, with corners at odd and negative places.
std::vector<TRegion> MixedShapes(std::mt19937& rng) {
    std::uniform_int_distribution<int> c(-8, 48), s(0, 14);
    std::vector<TRegion> shapes;
    for (int i = 0; i < 24; ++i) {
        const int x = c(rng), y = c(rng), a = s(rng), b = s(rng);
        switch (i % 4) {
        case 0: shapes.push_back(PolygonRgn({x - a, y, x, y - b, x + a, y, x, y + b})); break;
        case 1: shapes.push_back(PolygonRgn({x - a, y - b, x, y + b, x + a, y - b})); break;
        case 2: shapes.push_back(CreateEllipticRgn(x - a, y - b, x + a, y + b)); break;
        default: shapes.push_back(CreateRoundRectRgn(x, y, x + a, y + b, a, b)); break;
        }
    }
    return shapes;
}

} // namespace

TEST(RegionToolkit, UnionOfManyRegionsInOneSweep) {
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        const std::vector<TRegion> shapes = MixedShapes(rng);
        TRegion oneByOne = shapes.front();
        TMask expected;
        for (const TRegion& s : shapes) {
            oneByOne = oneByOne.Union(s);
            for (const TRect& r : s.Rects())
                expected.Paint(r);
        }
        const TRegion all = UnionOfRegions(shapes);
        EXPECT_EQ(MaskOf(all), expected) << Picture(MaskOf(all)) << "\n" << Picture(expected);
        EXPECT_EQ(all, oneByOne);
        ExpectCanonical(all);
    }
    EXPECT_TRUE(UnionOfRegions({}).IsEmpty());
    EXPECT_TRUE(UnionOfRegions({TRegion(), TRegion()}).IsEmpty());
    const TRegion one(TRect{1, 2, 3, 4});
    EXPECT_EQ(UnionOfRegions({TRegion(), one, TRegion()}), one);
}

TEST(RegionToolkit, RepeatedShapeEqualsTheShapeMadeAtEveryPlace) {
    // Moving a scan-converted shape by whole pixels gives the shape scan-converted at its new
    // place: the grid effects rely on it to make one shape and move copies of it.
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> d(-37, 37);
    for (int round = 0; round < 40; ++round) {
        const int dx = d(rng), dy = d(rng), a = round % 9 + 1, b = round % 7 + 2;
        TRegion moved = PolygonRgn({-a, 0, 0, -b, a, 0, 0, b});
        moved.Offset(dx, dy);
        EXPECT_EQ(moved, PolygonRgn({dx - a, dy, dx, dy - b, dx + a, dy, dx, dy + b}));
        moved = PolygonRgn({-a, -b, 0, b, a, -b});
        moved.Offset(dx, dy);
        EXPECT_EQ(moved, PolygonRgn({dx - a, dy - b, dx, dy + b, dx + a, dy - b}));
        moved = CreateEllipticRgn(3 - a, 3 - b, 3 + a, 4 + b);
        moved.Offset(dx, dy);
        EXPECT_EQ(moved, CreateEllipticRgn(dx + 3 - a, dy + 3 - b, dx + 3 + a, dy + 4 + b));
    }

    // A 3 x 2 grid of diamonds 10 apart, from (5, 5): the union of the six made in place.
    const TRegion grid = RepeatRgn(PolygonRgn({-6, 0, 0, -6, 6, 0, 0, 6}), 5, 10, 30, 5, 10, 20);
    std::vector<TRegion> inPlace;
    for (int x = 5; x < 30; x += 10)
        for (int y = 5; y < 20; y += 10)
            inPlace.push_back(PolygonRgn({x - 6, y, x, y - 6, x + 6, y, x, y + 6}));
    EXPECT_EQ(grid, UnionOfRegions(inPlace));
    EXPECT_TRUE(grid.Contains(25, 15));
    EXPECT_FALSE(grid.Contains(35, 5)) << "no column at x = 35";
    EXPECT_FALSE(grid.Contains(5, 25)) << "no row at y = 25";
    EXPECT_TRUE(RepeatRgn(grid, 0, 0, 10, 0, 1, 10).IsEmpty()) << "a step of 0 makes nothing";
    EXPECT_TRUE(RepeatRgn(grid, 0, 5, 0, 0, 5, 10).IsEmpty()) << "an empty range makes nothing";
}
