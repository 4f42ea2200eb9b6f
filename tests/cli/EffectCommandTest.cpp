// pixaroll-cli effect and effect-sheet as a user runs them: real files in, real files out.

#include "effects/BmpFile.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {


// Red tells the picture apart, green and blue carry the row and the column.
std::uint32_t Coded(int tag, int x, int y) { return TFrameBitmap::MakePixel(std::uint8_t(tag), std::uint8_t(y), std::uint8_t(x)); }

void WriteCoded(const std::string& file, int width, int height, int tag) {
    TFrameBitmap bmp(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.SetPixel(x, y, Coded(tag, x, y));
    SaveBmpFile(bmp, file);
}

std::uint32_t Rgb(const TFrameBitmap& bmp, int x, int y) { return bmp.Pixel(x, y) & 0xFFFFFFu; }

class EffectCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        WriteCoded(oldFile, 40, 20, 10);
        WriteCoded(newFile, 40, 20, 200);
    }
    std::string Pictures() const { return " --from " + oldFile + " --to " + newFile; }

    TTempDir dir;
    const std::string oldFile = dir.File("old.bmp"), newFile = dir.File("new.bmp");
};

} // namespace

TEST_F(EffectCommandTest, DrawsTheFrameOfOneRowAndPercent) {
    const std::string out = dir.File("reveal.bmp");
    const TRunResult reveal = RunCli("effect --row 5 --percent 50" + Pictures() + " -o " + out);
    ASSERT_EQ(reveal.Status, 0) << reveal.Output;
    const TFrameBitmap frame = LoadBmpFile(out);
    ASSERT_EQ(frame.Width(), 40);
    ASSERT_EQ(frame.Height(), 20);
    for (int y : {0, 19}) {
        EXPECT_EQ(Rgb(frame, 0, y), Coded(200, 0, y));
        EXPECT_EQ(Rgb(frame, 19, y), Coded(200, 19, y));
        EXPECT_EQ(Rgb(frame, 20, y), Coded(10, 20, y));
    }

    const std::string pushed = dir.File("push.bmp");
    const TRunResult push = RunCli("effect --row 129 --percent 25" + Pictures() + " -o " + pushed + " --seed 7");
    ASSERT_EQ(push.Status, 0) << push.Output;
    const TFrameBitmap pushFrame = LoadBmpFile(pushed);
    EXPECT_EQ(Rgb(pushFrame, 9, 4), Coded(200, 39, 4));
    EXPECT_EQ(Rgb(pushFrame, 10, 4), Coded(10, 0, 4));

    const std::string whole = dir.File("whole.png");
    ASSERT_EQ(RunCli("effect --row 7 --percent 100" + Pictures() + " -o " + whole).Status, 0);
    std::ifstream png(whole, std::ios::binary);
    char signature[4] = {};
    png.read(signature, 4);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

TEST_F(EffectCommandTest, RefusesBadInputWithAClearMessage) {
    const std::string other = dir.File("other.bmp");
    WriteCoded(other, 30, 20, 50);
    const TRunResult sizes = RunCli("effect --row 1 --percent 50 --from " + oldFile + " --to " + other + " -o " +
                                 dir.File("x.bmp"));
    EXPECT_EQ(sizes.Status, 1);
    EXPECT_NE(sizes.Output.find("differ in size"), std::string::npos) << sizes.Output;
    EXPECT_NE(sizes.Output.find("40x20"), std::string::npos) << sizes.Output;

    const TRunResult row = RunCli("effect --row 177 --percent 50" + Pictures() + " -o " + dir.File("x.bmp"));
    EXPECT_EQ(row.Status, 2);
    const TRunResult missing = RunCli("effect --row 1 --percent 50 --from " + dir.File("none.bmp") + " --to " + newFile +
                                   " -o " + dir.File("x.bmp"));
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Output.find("none.bmp"), std::string::npos) << missing.Output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.bmp")));
}

TEST_F(EffectCommandTest, SheetHoldsOneCellPerRowAndPercent) {
    const std::string sheet = dir.File("sheet.bmp");
    const TRunResult run = RunCli("effect-sheet -o " + sheet + " --size 40x30 --rows 1-3 --percents 0,100");
    ASSERT_EQ(run.Status, 0) << run.Output;
    const TFrameBitmap bmp = LoadBmpFile(sheet);
    EXPECT_GE(bmp.Width(), 3 * 2 * 40); // all six cells fit on one line
    EXPECT_GE(bmp.Height(), 30);
    EXPECT_EQ(RunCli("effect-sheet -o " + sheet + " --rows 0").Status, 2);
}

TEST_F(EffectCommandTest, RotatingRowTurnsTheWayTheSeedSays) {
    // Row 150 at 10 % of 160x120: a 16 x 12 rectangle about the centre turned by 36 degrees,
    // clockwise for an even seed, anticlockwise for an odd one.
    const std::string from = dir.File("big-old.bmp"), to = dir.File("big-new.bmp");
    WriteCoded(from, 160, 120, 10);
    WriteCoded(to, 160, 120, 200);
    const auto draw = [&](int seed) {
        const std::string out = dir.File("turn" + std::to_string(seed) + ".bmp");
        const TRunResult run = RunCli("effect --row 150 --percent 10 --from " + from + " --to " + to + " -o " + out +
                                      " --seed " + std::to_string(seed));
        EXPECT_EQ(run.Status, 0) << run.Output;
        return LoadBmpFile(out);
    };
    const TFrameBitmap even = draw(4), alsoEven = draw(6), odd = draw(5);
    EXPECT_EQ(Rgb(even, 80, 60), Coded(200, 80, 60));
    EXPECT_EQ(Rgb(even, 10, 10), Coded(10, 10, 10));
    int differ = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            EXPECT_EQ(Rgb(even, x, y), Rgb(alsoEven, x, y));
            differ += Rgb(even, x, y) != Rgb(odd, x, y);
        }
    EXPECT_GT(differ, 10);
}

// --seed S is the very seed value Dissolve receives (its draws replayed from S, bottom row
// first), and every effect run starts the program-wide generator afresh, so the shreds, which
// draw from it as it stands, come out the same in every run.
TEST_F(EffectCommandTest, SeedIsTheEffectsSeedValueAndEveryRunStartsTheGeneratorAfresh) {
    const auto draw = [&](int row, const std::string& seed) {
        const std::string out = dir.File("r" + std::to_string(row) + "s" + seed + ".bmp");
        const TRunResult run = RunCli("effect --row " + std::to_string(row) + " --percent 50" + Pictures() + " -o " + out +
                                      (seed.empty() ? "" : " --seed " + seed));
        EXPECT_EQ(run.Status, 0) << run.Output;
        return LoadBmpFile(out);
    };
    const TFrameBitmap dissolve = draw(169, "3000000000");
    std::uint32_t s = 3000000000u;
    for (int y = 19; y >= 0; --y)
        for (int x = 0; x < 40; ++x) {
            s = s * 134775813u + 1u;
            const bool shown = ((std::uint64_t(s) * 100) >> 32) < 50;
            ASSERT_EQ(Rgb(dissolve, x, y), Coded(shown ? 200 : 10, x, y)) << x << "," << y;
        }
    // Shreds from the left at 40x20: one-pixel strips of length Random(8) - 4 + 20, drawn from
    // the generator's initial state 0.
    for (int run = 0; run < 2; ++run) {
        const TFrameBitmap shreds = draw(66, "");
        std::uint32_t g = 0;
        for (int y = 0; y < 20; ++y) {
            g = g * 134775813u + 1u;
            const int length = int((std::uint64_t(g) * 8) >> 32) - 4 + 20;
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(Rgb(shreds, x, y), Coded(x < length ? 200 : 10, x, y)) << x << "," << y;
        }
    }
}
