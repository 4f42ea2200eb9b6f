// Times every effect row that has a procedure against one full-frame copy measured in the same
// run, at 640x480 and 1280x960: per row the median over the percents 1..99 of one procedure
// call, divided by the median of the full-frame copy of the old picture made before each call.
//
//   effects_bench [--rows LIST] [--repeat N] [--portable]   (--portable: no AVX2 paths)
// Exits non-zero when, at 1280x960, a pixel-effect row (fade, pivot, pixelate, dissolve, random
// bars, channel mix) costs more than five frame copies or any other row more than three.

#include "effects/Effects.h"
#include "effects/Primitives.h"
#include "effects/Transition.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

TFrameBitmap Pattern(int width, int height, unsigned salt) {
    TFrameBitmap bmp(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.SetPixel(x, y, (unsigned(x) * 2654435761u ^ unsigned(y) * 40503u ^ salt) & 0xFFFFFFu);
    return bmp;
}

// The pixel effects visit every pixel with arithmetic or random draws; every other row is
// block copies or one clip region and one copy through it.
bool IsPixelEffect(int row) { return (row >= 119 && row <= 123) || (row >= 168 && row <= 172); }
double CopyLimit(int row) { return IsPixelEffect(row) ? 5.0 : 3.0; }

struct TRowTiming {
    double Effect = 0; // median time of one procedure call, microseconds
    double Copy = 0;   // median time of the full-frame copy made before each call
};

// The old picture is copied into the frame before every call, as the slideshow does: that
// copy is the yardstick, timed in the same moments as the procedure so that a busy machine
// slows both alike.
TRowTiming RowTime(int row, TFrameBitmap& display, const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture,
                   int repeat) {
    const int W = display.Width(), H = display.Height();
    std::vector<double> effect, copy;
    for (int r = 0; r < repeat; ++r)
        for (int p = 1; p < 100; ++p) {
            int w = 0, h = 0;
            ProgressSize(W, H, p, w, h);
            const auto start = TClock::now();
            std::memcpy(display.Bits(), oldPicture.Bits(), display.ByteSize());
            const auto middle = TClock::now();
            EffectRow(row).Proc(display, newPicture, W, H, w, h, p);
            const auto end = TClock::now();
            copy.push_back(std::chrono::duration<double, std::micro>(middle - start).count());
            effect.push_back(std::chrono::duration<double, std::micro>(end - middle).count());
        }
    return {Median(effect), Median(copy)};
}

std::vector<int> ParseRows(const char* text) {
    std::vector<int> rows;
    std::string s = text;
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t comma = s.find(',', start);
        std::string item = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::size_t dash = item.find('-');
        int from = std::atoi(item.c_str()), to = dash == std::string::npos ? from : std::atoi(item.c_str() + dash + 1);
        for (int r = from; r <= to; ++r)
            if (r >= 1 && r <= EffectCount)
                rows.push_back(r);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> rows;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--portable") == 0)
            UseVectorUnits(false);
        else if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc)
            rows = ParseRows(argv[++i]);
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
    }
    if (rows.empty())
        for (int r = 1; r <= EffectCount; ++r)
            rows.push_back(r);
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](int r) { return EffectRow(r).Proc == KeepOld; }),
               rows.end());

    const int sizes[][2] = {{640, 480}, {1280, 960}};
    std::vector<double> ratios[2];
    std::vector<double> copyTimes[2];
    for (int s = 0; s < 2; ++s) {
        const int W = sizes[s][0], H = sizes[s][1];
        const TFrameBitmap oldPicture = Pattern(W, H, 0x123456u), newPicture = Pattern(W, H, 0xABCDEFu);
        TFrameBitmap display(W, H);
        for (int row : rows) {
            const TRowTiming t = RowTime(row, display, oldPicture, newPicture, repeat);
            ratios[s].push_back(t.Effect / t.Copy);
            copyTimes[s].push_back(t.Copy);
        }
    }

    std::printf("one full-frame copy (median): %.1f us at 640x480, %.1f us at 1280x960\n", Median(copyTimes[0]),
                Median(copyTimes[1]));
    std::printf("%4s  %-44s %10s %10s\n", "row", "name", "640x480", "1280x960");
    int slow = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double limit = CopyLimit(rows[i]);
        const bool over = ratios[1][i] > limit;
        slow += over;
        std::printf("%4d  %-44.44s %9.2fx %9.2fx%s\n", rows[i], EffectRow(rows[i]).Name, ratios[0][i], ratios[1][i],
                    over ? (limit > 3 ? "  over 5 copies" : "  over 3 copies") : "");
    }
    if (slow > 0)
        std::printf("%d row(s) cost more than their limit at 1280x960 (5 copies for pixel effects, 3 for the rest)\n",
                    slow);
    return slow > 0 ? 1 : 0;
}
