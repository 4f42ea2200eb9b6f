// Times every effect row that has a procedure against one full-frame copy measured in the same
// run, at 640x480 and 1280x960: per row the median over the percents 1..99 of one procedure
// call, divided by the median of a full-frame copy. The old picture is copied in before each
// call, as the slideshow does, outside the timed part.
//
//   effects_bench [--rows LIST] [--repeat N]
// Exits non-zero when a wipe row costs more than three frame copies at 1280x960.

#include "effects/Effects.h"
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

bool IsWipe(int row) { return row <= 57 || (row >= 129 && row <= 136) || row >= 173; }

double FrameCopyTime(TFrameBitmap& display, const TFrameBitmap& source, int repeat) {
    std::vector<double> times;
    const std::size_t bytes = display.ByteSize();
    for (int i = 0; i < 99 * repeat; ++i) {
        const auto start = TClock::now();
        std::memcpy(display.Bits(), source.Bits(), bytes);
        times.push_back(std::chrono::duration<double, std::micro>(TClock::now() - start).count());
    }
    return Median(times);
}

double RowTime(int row, TFrameBitmap& display, const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture,
               int repeat) {
    const int W = display.Width(), H = display.Height();
    std::vector<double> times;
    for (int r = 0; r < repeat; ++r)
        for (int p = 1; p < 100; ++p) {
            int w = 0, h = 0;
            ProgressSize(W, H, p, w, h);
            std::memcpy(display.Bits(), oldPicture.Bits(), display.ByteSize());
            const auto start = TClock::now();
            EffectRow(row).Proc(display, newPicture, W, H, w, h, p);
            times.push_back(std::chrono::duration<double, std::micro>(TClock::now() - start).count());
        }
    return Median(times);
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
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = ParseRows(argv[i + 1]);
        else if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    if (rows.empty())
        for (int r = 1; r <= EffectCount; ++r)
            rows.push_back(r);
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](int r) { return EffectRow(r).Proc == KeepOld; }),
               rows.end());

    const int sizes[][2] = {{640, 480}, {1280, 960}};
    std::vector<double> ratios[2];
    double copyTime[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        const int W = sizes[s][0], H = sizes[s][1];
        const TFrameBitmap oldPicture = Pattern(W, H, 0x123456u), newPicture = Pattern(W, H, 0xABCDEFu);
        TFrameBitmap display(W, H);
        copyTime[s] = FrameCopyTime(display, oldPicture, repeat);
        for (int row : rows)
            ratios[s].push_back(RowTime(row, display, oldPicture, newPicture, repeat) / copyTime[s]);
    }

    std::printf("one full-frame copy: %.1f us at 640x480, %.1f us at 1280x960\n", copyTime[0], copyTime[1]);
    std::printf("%4s  %-44s %10s %10s\n", "row", "name", "640x480", "1280x960");
    int slow = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool over = IsWipe(rows[i]) && ratios[1][i] > 3.0;
        slow += over;
        std::printf("%4d  %-44.44s %9.2fx %9.2fx%s\n", rows[i], EffectRow(rows[i]).Name, ratios[0][i], ratios[1][i],
                    over ? "  over 3 copies" : "");
    }
    if (slow > 0)
        std::printf("%d wipe row(s) cost more than three frame copies at 1280x960\n", slow);
    return slow > 0 ? 1 : 0;
}
