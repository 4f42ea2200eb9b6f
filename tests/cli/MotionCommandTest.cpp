// pixaroll-cli frames with --motion: a small bright dot on a dark picture, tracked in every
// frame, must glide (no shake, no step back); the options are refused when wrong.

#include "app/pictures/PictureLoader.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestPng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {
struct TSpot {
    double X = 0, Y = 0;
};

// The centre of the light above the dark background (which is 16 exactly), each pixel weighted
// by how much it stands out; false when nothing does. No threshold beyond the background: a
// cut through the dot's soft edge would move the centre with the sub-pixel phase.
bool Centroid(const TFrameBitmap& frame, TSpot& at) {
    double sum = 0, sx = 0, sy = 0;
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            const double v = double((frame.Pixel(x, y) >> 8) & 0xFF) - 16; // green
            if (v > 0)
                sum += v, sx += v * x, sy += v * y;
        }
    if (sum <= 0)
        return false;
    at = {sx / sum, sy / sum};
    return true;
}

class MotionCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        picture = dir.File("dot.png");
        // A 6 x 6 dot away from the centre, on a dark picture of 1600 x 1200 (lossless: no
        // compression halo around the dot).
        WriteTestPng(picture, 1600, 1200, [](int x, int y) {
            return x >= 1100 && x < 1106 && y >= 300 && y < 306 ? 0xFFFFFFFFu : 0xFF101010u;
        });
    }

    // The dot's path over the frames of one slide moving in style for 5 seconds at 30 frames a
    // second (transitions of a single frame, left out of the track).
    std::vector<TSpot> Track(const std::string& style) {
        const std::filesystem::path out = dir.Path() / style;
        const TRunResult r = RunCli("frames --pictures " + picture + " --size 1280x960 --hold 5 --transition 0 --sequential"
                                    " --motion " + style + " --every 1 -o " + out.string());
        EXPECT_EQ(r.Status, 0) << r.Output;
        EXPECT_EQ(r.Output.substr(0, r.Output.find('\n')), "frames 154"); // 1 + 150 + 1 + 2
        std::vector<TSpot> path;
        TPictureLoader loader;
        TFrameBitmap frame(1280, 960);
        for (int i = 1; i <= 150; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%06d.png", i);
            loader.Load((out / name).string(), frame);
            TSpot p;
            EXPECT_TRUE(Centroid(frame, p)) << "no dot in " << name;
            path.push_back(p);
        }
        return path;
    }

    // Root mean square of the second differences (px/frame^2), and steps against the overall
    // direction along the axes the dot travels on.
    static void Measure(const std::vector<TSpot>& path, double& rmsAcceleration, int& backward) {
        double sum = 0;
        for (std::size_t i = 2; i < path.size(); ++i) {
            const double ax = path[i].X - 2 * path[i - 1].X + path[i - 2].X;
            const double ay = path[i].Y - 2 * path[i - 1].Y + path[i - 2].Y;
            sum += ax * ax + ay * ay;
        }
        rmsAcceleration = std::sqrt(sum / double(path.size() - 2));
        backward = 0;
        const double dx = path.back().X - path.front().X, dy = path.back().Y - path.front().Y;
        for (std::size_t i = 1; i < path.size(); ++i) {
            if (std::abs(dx) > 5 && (path[i].X - path[i - 1].X) * dx < 0)
                ++backward;
            if (std::abs(dy) > 5 && (path[i].Y - path[i - 1].Y) * dy < 0)
                ++backward;
        }
    }

    TTempDir dir;
    std::string picture;
};
} // namespace

TEST_F(MotionCommandTest, ZoomAndPanGlideWithoutShakeOrStepBack) {
    for (const char* style : {"zoom-in", "pan"}) {
        SCOPED_TRACE(style);
        const std::vector<TSpot> path = Track(style);
        ASSERT_EQ(path.size(), 150u);
        // It moves visibly: a zoom of 1.15 or a pan over the overflow.
        EXPECT_GT(std::hypot(path.back().X - path.front().X, path.back().Y - path.front().Y), 30);
        double rms = 0;
        int backward = 0;
        Measure(path, rms, backward);
        EXPECT_LE(rms, 0.05);
        std::printf("%s: RMS acceleration %.4f px/frame^2\n", style, rms);
        EXPECT_EQ(backward, 0);
    }
}

TEST_F(MotionCommandTest, StillWithoutMotionAndWrongChoicesRefused) {
    const std::filesystem::path out = dir.Path() / "off";
    ASSERT_EQ(RunCli("frames --pictures " + picture + " --size 320x240 --hold 0.5 --transition 0 --sequential --every 5 -o " +
                     out.string()).Status, 0);
    TPictureLoader loader;
    TFrameBitmap a(320, 240), b(320, 240);
    loader.Load((out / "frame-000005.png").string(), a);
    loader.Load((out / "frame-000015.png").string(), b);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(a.Pixel(x, y) & 0xFFFFFF, b.Pixel(x, y) & 0xFFFFFF) << x << "," << y;

    for (const char* wrong : {"--motion sideways", "--motion rects", "--zoom 0.5", "--zoom 9", "--zoom x"}) {
        const TRunResult r = RunCli(std::string("frames --pictures ") + picture + " --every 0 " + wrong);
        EXPECT_NE(r.Status, 0) << wrong;
        EXPECT_NE(r.Output.find(std::string(wrong).substr(0, 6)), std::string::npos) << r.Output;
    }
    EXPECT_EQ(RunCli("frames --pictures " + picture + " --every 0 --hold 0 --motion random --zoom 1.3").Status, 0);
}
