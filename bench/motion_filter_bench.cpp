// The drawing of one moving frame, 1920x1080 from a picture decoded for a zoom of 1.15, with
// the filters at hand, side by side in one run: milliseconds per frame, the ratio to pixman's
// bilinear filter, and the PSNR against a Lanczos drawing of the same views (pixman's
// separable convolution), plus the RMS wobble of a small dot's centre along a zoom.
//
//   build/bench/motion_filter_bench [frames]

#include "app/motion/MotionDraw.h"
#include "effects/Primitives.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {
constexpr int FW = 1920, FH = 1080;

TFrameBitmap Picture(int w, int h, bool dot) {
    TFrameBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (dot) {
                const bool on = x >= w * 2 / 3 && x < w * 2 / 3 + 6 && y >= h / 4 && y < h / 4 + 6;
                p.SetPixel(x, y, on ? 0xFFFFFF : 0x101010);
                continue;
            }
            const double v = 128 + 60 * std::sin(x * 0.013) * std::cos(y * 0.011) + 40 * std::sin(std::hypot(x - 900.0, y - 600.0) * 0.09) +
                             20 * std::sin(x * 0.45 + y * 0.2);
            const auto c = std::uint8_t(std::clamp(v, 0.0, 255.0));
            p.SetPixel(x, y, TFrameBitmap::MakePixel(c, std::uint8_t(255 - c), std::uint8_t(c / 2 + 60)));
        }
    return p;
}

TMotionRect ViewAt(int i, int n) { // a zoom of 1.15 towards the upper right
    const double t = double(i) / std::max(n - 1, 1), w = 1 / (1 + 0.15 * t);
    return {(1 - w) * 0.7, (1 - w) * 0.3, w, w};
}

using TDraw = std::function<void(const TFrameBitmap&, const TMotionRect&, TFrameBitmap&)>;

void DrawQt(const TFrameBitmap& picture, const TMotionRect& v, TFrameBitmap& frame) {
    const QImage source(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(), QImage::Format_RGB32);
    QImage target(frame.Bits(), frame.Width(), frame.Height(), frame.Stride(), QImage::Format_RGB32);
    QPainter p(&target);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, frame.Width(), frame.Height()), source,
                QRectF(v.X * picture.Width(), v.Y * picture.Height(), v.W * picture.Width(), v.H * picture.Height()));
}

// pixman bilinear onto a frame of twice the size, then each 2x2 block averaged.
void DrawSupersampled(const TFrameBitmap& picture, const TMotionRect& v, TFrameBitmap& frame) {
    thread_local TFrameBitmap big;
    if (big.Width() != 2 * frame.Width() || big.Height() != 2 * frame.Height())
        big.SetSize(2 * frame.Width(), 2 * frame.Height());
    DrawMotionView(picture, v, nullptr, big, TMotionFilter::Bilinear);
    for (int y = 0; y < frame.Height(); ++y) {
        const auto* a = reinterpret_cast<const std::uint8_t*>(big.Row(2 * y));
        const auto* b = reinterpret_cast<const std::uint8_t*>(big.Row(2 * y + 1));
        auto* out = reinterpret_cast<std::uint8_t*>(frame.Row(y));
        for (int x = 0; x < frame.Width() * 4; ++x) {
            const int i = (x / 4) * 8 + x % 4;
            out[x] = std::uint8_t((a[i] + a[i + 4] + b[i] + b[i + 4] + 2) >> 2);
        }
    }
}

double Psnr(const TFrameBitmap& a, const TFrameBitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = double((a.Pixel(x, y) >> (8 * c)) & 0xFF) - double((b.Pixel(x, y) >> (8 * c)) & 0xFF);
                sum += d * d;
            }
    return 10 * std::log10(255.0 * 255 / (sum / (3.0 * a.Width() * a.Height())));
}

double Wobble(const TDraw& draw, const TFrameBitmap& dot, int n) {
    TFrameBitmap frame(FW, FH);
    std::vector<double> xs, ys;
    for (int i = 0; i < n; ++i) {
        draw(dot, ViewAt(i, n), frame);
        double s = 0, sx = 0, sy = 0;
        for (int y = 0; y < FH; ++y)
            for (int x = 0; x < FW; ++x) {
                const double v = double((frame.Pixel(x, y) >> 8) & 0xFF) - 16;
                if (v > 0)
                    s += v, sx += v * x, sy += v * y;
            }
        xs.push_back(sx / s), ys.push_back(sy / s);
    }
    double sum = 0;
    for (int i = 2; i < n; ++i) {
        const double ax = xs[i] - 2 * xs[i - 1] + xs[i - 2], ay = ys[i] - 2 * ys[i - 1] + ys[i - 2];
        sum += ax * ax + ay * ay;
    }
    return std::sqrt(sum / (n - 2));
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int n = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    const TFrameBitmap picture = Picture(int(FW * 1.15), int(FH * 1.15), false);
    const TFrameBitmap dot = Picture(int(FW * 1.15), int(FH * 1.15), true);
    const struct {
        const char* Name;
        TDraw Draw;
    } ways[] = {
        {"pixman bilinear", [](auto& p, auto& v, auto& f) { DrawMotionView(p, v, nullptr, f, TMotionFilter::Bilinear); }},
        {"pixman area", [](auto& p, auto& v, auto& f) { DrawMotionView(p, v, nullptr, f, TMotionFilter::Area); }},
        {"two-pass tent (used)", [](auto& p, auto& v, auto& f) { DrawMotionView(p, v, nullptr, f, TMotionFilter::Tent); }},
        {"tent, portable path", [](auto& p, auto& v, auto& f) {
             UseVectorUnits(false);
             DrawMotionView(p, v, nullptr, f, TMotionFilter::Tent);
             UseVectorUnits(true);
         }},
        {"bilinear 2x, box down", DrawSupersampled},
        {"Qt smooth transform", DrawQt},
    };
    std::vector<TFrameBitmap> reference;
    for (int i = 0; i < n; i += 10) {
        reference.emplace_back(FW, FH);
        DrawMotionView(picture, ViewAt(i, n), nullptr, reference.back(), TMotionFilter::Convolution);
    }
    double baseline = 0;
    for (const auto& way : ways) {
        TFrameBitmap frame(FW, FH);
        // The median frame: a shared machine's other work lengthens some frames, not the middle one.
        std::vector<double> times;
        for (int i = 0; i < n; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            way.Draw(picture, ViewAt(i, n), frame);
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        std::nth_element(times.begin(), times.begin() + n / 2, times.end());
        const double ms = times[std::size_t(n / 2)];
        if (baseline == 0)
            baseline = ms;
        double psnr = 0;
        for (int i = 0, r = 0; i < n; i += 10, ++r) {
            way.Draw(picture, ViewAt(i, n), frame);
            psnr += Psnr(frame, reference[std::size_t(r)]);
        }
        psnr /= double(reference.size());
        std::printf("%-22s %7.2f ms/frame  x%.2f  PSNR %.2f dB  dot wobble %.4f px/frame^2\n", way.Name, ms, ms / baseline, psnr,
                    Wobble(way.Draw, dot, n));
    }
    return 0;
}
