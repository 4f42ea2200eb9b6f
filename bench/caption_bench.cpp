// Captions' cost: the same slideshow with and without a caption on every slide, frames drawn by
// the document's sequencer and copied onto a canvas as the frame input receives them (the
// encoder's share is the same for both and left out). Eight 1600 x 1200 JPEG photos into a
// 1920 x 1080 slideshow (3 s hold, 1 s transitions, 30:1). Prints both times and their ratio;
// the captions should cost at most 5 % (ratio <= 1.05).

#include "app/document/DocumentSequencer.h"
#include "app/captions/SlideCaption.h"
#include "tests/support/TestJpeg.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

std::uint32_t PhotoPixel(int picture, int x, int y) {
    std::uint32_t grain = static_cast<std::uint32_t>(x * 73856093u ^ y * 19349663u ^ picture * 83492791u);
    grain = (grain >> 13) & 0x1F;
    return ((x * 255 / 1600 + picture * 25 + grain) & 0xFF) << 16 | ((y * 255 / 1200 + grain) & 0xFF) << 8 |
           (((x + y) * 255 / 2800 + 40 * picture - grain) & 0xFF);
}

struct TTimes {
    double Wall = 0, Cpu = 0;
    long Frames = 0;
};

TTimes Run(const TSlideshowData& data) {
    TSlideshowSequencer seq;
    const std::clock_t cpu = std::clock();
    const Clock::time_point start = Clock::now();
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
    TFrameBitmap canvas(1920, 1080);
    TTimes t;
    while (seq.ReadFrameCanvas(canvas) == 0)
        ++t.Frames;
    t.Wall = std::chrono::duration<double>(Clock::now() - start).count();
    t.Cpu = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    return t;
}
} // namespace

int main() {
    std::string reason;
    if (!EnsureCaptionDrawing(reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    TTempDir dir;
    TSlideshowData plain;
    for (int i = 0; i < 8; ++i) {
        const std::string file = dir.File("photo" + std::to_string(i) + ".jpg");
        WriteTestJpeg(file, 1600, 1200, [i](int x, int y) { return PhotoPixel(i, x, y); }, 90);
        plain.Slides.push_back(PlainSlide(file));
    }
    plain.Output.FrameSize = "1920x1080";
    plain.Output.FrameRate = {30, 1};
    plain.Output.HoldSeconds = 3;
    plain.Output.TransitionSeconds = 1;
    plain.Output.RandomEffects = true;
    plain.Output.Seed = 2026;
    TSlideshowData captioned = plain;
    for (std::size_t i = 0; i < captioned.Slides.size(); ++i)
        captioned.Slides[i].Caption = "Photo " + std::to_string(i + 1) + " \xE2\x80\x93 2023-07-21 11:25, by the river";
    Run(plain); // the pictures' files in the disk cache for both runs
    const TTimes without = Run(plain), with = Run(captioned);
    std::printf("without captions: %ld frames in %.3f s (cpu %.3f s)\n", without.Frames, without.Wall, without.Cpu);
    std::printf("with captions:    %ld frames in %.3f s (cpu %.3f s)\n", with.Frames, with.Wall, with.Cpu);
    // The machine is shared: the processor time is the steadier measure.
    std::printf("ratio with/without: %.3f cpu, %.3f wall (target <= 1.05)\n", with.Cpu / without.Cpu,
                with.Wall / without.Wall);
    return 0;
}
