// How long the region of one transition frame takes to build, as a ratio to one full copy of
// a 1280 x 960 frame (which Clip-and-copy does anyway). Below 1 the regions are not the
// bottleneck of a region effect.

#include "effects/RegionBuilder.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int W = 1280, H = 960, w = 640, h = 480;

double SecondsPer(const std::function<void()>& work) {
    using Clock = std::chrono::steady_clock;
    int reps = 0;
    const auto start = Clock::now();
    Clock::duration spent{};
    while (spent < std::chrono::milliseconds(300)) {
        work();
        ++reps;
        spent = Clock::now() - start;
    }
    return std::chrono::duration<double>(spent).count() / reps;
}

std::size_t sink = 0;

void Keep(const TRegion& r) { sink += r.Rects().size(); }

void Shreds() {
    static std::mt19937 rng(1);
    const int e = std::min(W, H) / 200 + 1;
    TComplexRegion b;
    for (int y = 0; y < H; y += e)
        b.AddRect(W - (w + int(rng() % 256) - 128), y, W, y + e);
    for (int x = 0; x < W; x += e)
        b.AddRect(x, 0, x + e, h + int(rng() % 192) - 96);
    Keep(*b.CreateRegion());
}

void Speckle() {
    static std::mt19937 rng(2);
    const int g = W / 10, s = std::max(g / 20, 2), count = g / s;
    TComplexRegion b;
    for (int y = 0; y < H; y += s / 2) {
        b.AddRect(W - w, y, W, y + s);
        for (int i = count; i >= 1; --i)
            if (rng() % i <= 1)
                b.AddRect(W - w - i * s, y, W - w - i * s + s, y + s);
    }
    Keep(*b.CreateRegion());
}

void CircularShred() {
    const int n = std::min(W, H) / 10 + 1, r = 3 * n * 50 / 200;
    TRegion result;
    for (int x = 0; x < W; x += 2 * n)
        for (int y = 0; y < H; y += 2 * n)
            result = result.Union(TRegion::Ellipse({x + n - r, y + n - r, x + n + r, y + n + r}));
    Keep(result);
}

void DiamondShred() {
    const int c = std::min(W, H) / 10 + 1, b = c * 50 / 50;
    TRegion result;
    for (int x = c; x - c < W; x += 2 * c)
        for (int y = c; y - c < H; y += 2 * c)
            result = result.Union(PolygonRgn({x - b, y, x, y - b, x + b, y, x, y + b}));
    Keep(result);
}

void Sweep() {
    constexpr long double pi = std::numbers::pi_v<long double>;
    const int radius = static_cast<int>(std::ceil(std::hypot(W / 2.0, H / 2.0)));
    Keep(CreateSectorRgn(W / 2, H / 2, radius, -pi / 2, -pi / 2 + 50 * pi / 50, 50));
}

void EllipseOutside() {
    const int dx = W / 2, dy = H / 2;
    Keep(TRegion({0, 0, W, H}).Xor(TRegion::RoundRect({w - dx, h - dy, 3 * dx - w, 3 * dy - h}, 9 * (W - w) / 5,
                                                      9 * (H - h) / 5)));
}

void RotatingStar() {
    const int hW = W / 2, hH = H / 2, hw = w / 2, hh = h / 2;
    std::vector<TPoint> star{{hW - 2 * w, hH}, {hW - hw, hH - hh}, {hW, hH - 2 * h}, {hW + hw, hH - hh},
                             {hW + 2 * w, hH}, {hW + hw, hH + hh}, {hW, hH + 2 * h}, {hW - hw, hH + hh}};
    RotatePoints(star, 7, hW, hH, 0.7L);
    Keep(TRegion::Polygon(star));
}

} // namespace

int main() {
    std::vector<std::uint32_t> from(std::size_t(W) * H, 0x123456), to(std::size_t(W) * H);
    const double copy = SecondsPer([&] {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        sink += to[sink % to.size()];
    });
    std::printf("one %dx%d frame copy: %.1f us\n", W, H, copy * 1e6);
    const struct {
        const char* Name;
        void (*Work)();
    } cases[] = {{"uneven shreds (450 strips)", Shreds},   {"speckle", Speckle},
                 {"circular shred (35 ellipses)", CircularShred}, {"diamond shred (35 polygons)", DiamondShred},
                 {"sweep sector", Sweep},                {"outside of an ellipse (xor)", EllipseOutside},
                 {"rotating star", RotatingStar}};
    for (const auto& c : cases) {
        const double t = SecondsPer(c.Work);
        std::printf("%-32s %8.1f us   ratio to frame copy %.2f\n", c.Name, t * 1e6, t / copy);
    }
    return sink == 42 ? 1 : 0;
}
