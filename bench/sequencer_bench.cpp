// Slideshow rendering without encoding: ten 1600 x 1200 JPEG photos into a 640 x 480 slideshow
// (5 s hold, 2 s transitions, 30:1, 2162 frames), each frame copied onto a canvas as the frame
// input receives it. Prints frames per second, the time per 1000 frames against the target of
// one second, and what reduced JPEG decoding saves over a full decode.

#include "app/output/FrameCount.h"
#include "app/pictures/PictureLoader.h"
#include "app/SlideshowSequencer.h"
#include "tests/support/TestJpeg.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double CpuSeconds(std::clock_t from) { return static_cast<double>(std::clock() - from) / CLOCKS_PER_SEC; }

// Photo-like content: smooth colour fields with fine grain, so the files decode like photos.
std::uint32_t PhotoPixel(int picture, int x, int y) {
    std::uint32_t grain = static_cast<std::uint32_t>(x * 73856093u ^ y * 19349663u ^ picture * 83492791u);
    grain = (grain >> 13) & 0x1F;
    const std::uint32_t r = (x * 255 / 1600 + picture * 25 + grain) & 0xFF;
    const std::uint32_t g = (y * 255 / 1200 + grain) & 0xFF;
    const std::uint32_t b = ((x + y) * 255 / 2800 + 40 * picture - grain) & 0xFF;
    return r << 16 | g << 8 | b;
}
} // namespace

int main() {
    TTempDir dir;
    std::vector<std::string> pictures;
    for (int i = 0; i < 10; ++i) {
        pictures.push_back(dir.File("photo" + std::to_string(i) + ".jpg"));
        WriteTestJpeg(pictures.back(), 1600, 1200, [i](int x, int y) { return PhotoPixel(i, x, y); }, 90);
    }

    TSlideshowSequencer seq;
    seq.PictureCount = [&] { return static_cast<int>(pictures.size()); };
    seq.PicturePath = [&](int k) { return pictures.at(static_cast<std::size_t>(k)); };
    seq.Prepare(640, 480, FrameCountRule("30:1", "5"), FrameCountRule("30:1", "2"), true, 2024u);
    TFrameBitmap canvas(640, 480);

    const std::clock_t cpuStart = std::clock();
    const Clock::time_point start = Clock::now();
    long frames = 0;
    while (seq.ReadFrameCanvas(canvas) == 0)
        ++frames;
    const double wall = Seconds(start);
    const double cpu = CpuSeconds(cpuStart);

    std::printf("sequencer: %ld frames of 640x480 from 10 JPEGs of 1600x1200 in %.3f s (cpu %.3f s)\n", frames, wall, cpu);
    std::printf("frames per second: %.0f\n", frames / wall);
    // The machine is shared: the processor time shows the cost when the wall clock is inflated.
    std::printf("seconds per 1000 frames: %.3f wall, %.3f cpu (target below 1.000; ratio to target %.3f)\n",
                1000 * wall / frames, 1000 * cpu / frames, 1000 * wall / frames);

    // Reduced against full decoding of the same photos into the same frame, in processor time.
    TFrameBitmap frame(640, 480);
    TPictureLoader reduced, full;
    full.ScaledDecoding = false;
    std::clock_t t = std::clock();
    for (const std::string& p : pictures)
        reduced.Load(p, frame);
    const double reducedTime = CpuSeconds(t);
    t = std::clock();
    for (const std::string& p : pictures)
        full.Load(p, frame);
    const double fullTime = CpuSeconds(t);
    std::printf("picture load: reduced (1/%d) %.1f ms, full %.1f ms a picture; full / reduced = %.2f\n",
                reduced.LastReduction(), 100 * reducedTime, 100 * fullTime, fullTime / reducedTime);

    // A 24-megapixel photo, where the reduction is 1/8.
    const std::string big = dir.File("big.jpg");
    WriteTestJpeg(big, 6000, 4000, [](int x, int y) { return PhotoPixel(3, x / 4, y / 4); }, 90);
    t = std::clock();
    reduced.Load(big, frame);
    const double bigReduced = CpuSeconds(t);
    t = std::clock();
    full.Load(big, frame);
    const double bigFull = CpuSeconds(t);
    std::printf("24-megapixel load: reduced (1/%d) %.1f ms, full %.1f ms; full / reduced = %.2f\n",
                reduced.LastReduction(), 1000 * bigReduced, 1000 * bigFull, bigFull / bigReduced);
    return frames == 2162 ? 0 : 1;
}
