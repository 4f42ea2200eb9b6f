// What matters in a picture: the time FindInterest takes per picture at the size it is given
// (a reduced decode of about a million pixels), and side by side in the same run the cascade
// files of opencv-data it could use: faces found on the test pictures (hand-marked faces: the
// astronaut, the camera man seen from the side, three heads pasted on a landscape; no faces: a
// landscape, a still life, a texture) and processor time per picture. Times are the process's
// processor time (OpenCV hands parts of a detection to worker threads of its own), so other work
// on the machine counts less; the wall-clock time is printed beside it.
//
//   interest_bench [DATA_FOLDER]    (tests/data/interest of the source tree by default)

#include "app/motion/Interest.h"

#include <QImage>

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct TSample {
    const char* Name;
    QImage Image;
    int Faces; // faces marked by hand
};

TFrameBitmap Bitmap(const QImage& image) {
    TFrameBitmap bitmap(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), image.width(), bitmap.Row(y));
    return bitmap;
}

cv::Mat Grey(const QImage& image, int longest) {
    const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
    cv::Mat grey(g.height(), g.width(), CV_8UC1, const_cast<uchar*>(g.constBits()), std::size_t(g.bytesPerLine()));
    cv::Mat out;
    const double f = double(longest) / std::max(g.width(), g.height());
    cv::resize(grey, out, cv::Size(), f, f, cv::INTER_AREA);
    cv::equalizeHist(out, out);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : PIXAROLL_SOURCE_DIR "/tests/data/interest";
    const auto load = [&](const char* name) { return QImage(QString::fromStdString(data + "/" + name)).convertToFormat(QImage::Format_RGB32); };
    // Every picture brought to about a million pixels, as a reduced decode hands it over.
    const auto million = [](const QImage& i) { return i.scaled(1200, 1200, Qt::KeepAspectRatio, Qt::SmoothTransformation); };
    QImage group = load("rocket.jpg").scaled(1200, 800, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    {
        const QImage head = load("astronaut.jpg").copy(128, 18, 194, 204);
        struct { double F; int X, Y; } places[] = {{1.0, 60, 80}, {0.8, 520, 420}, {0.6, 950, 120}};
        for (const auto& p : places) {
            const QImage h = head.scaled(int(194 * p.F), int(204 * p.F), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            for (int y = 0; y < h.height(); ++y)
                std::copy_n(reinterpret_cast<const std::uint32_t*>(h.constScanLine(y)), h.width(),
                            reinterpret_cast<std::uint32_t*>(group.scanLine(p.Y + y)) + p.X);
        }
    }
    const std::vector<TSample> samples = {
        {"astronaut", million(load("astronaut.jpg")), 1}, {"camera", million(load("camera.jpg")), 1},
        {"group", group, 3},                               {"rocket", million(load("rocket.jpg")), 0},
        {"coffee", million(load("coffee.jpg")), 0},       {"gravel", million(load("gravel.jpg")), 0}};
    for (const TSample& s : samples)
        if (s.Image.isNull()) {
            std::fprintf(stderr, "cannot read the test pictures in %s\n", data.c_str());
            return 1;
        }

    std::printf("FindInterest per picture (about 1 Mpixel given):\n");
    std::printf("  %-10s %9s %6s %6s\n", "picture", "size", "faces", "marked");
    double total = 0, totalWall = 0;
    FindInterest(Bitmap(samples[0].Image)); // the cascades are loaded once, not timed
    for (const TSample& s : samples) {
        const TFrameBitmap bitmap = Bitmap(s.Image);
        const double t0 = CpuMs();
        const auto w0 = std::chrono::steady_clock::now();
        const TInterest found = FindInterest(bitmap);
        const double ms = CpuMs() - t0;
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0).count();
        total += ms;
        totalWall += wall;
        std::printf("  %-10s %4dx%-4d %6zu %6d   %7.1f ms processor  %7.1f ms wall\n", s.Name, s.Image.width(),
                    s.Image.height(), found.Faces.size(), s.Faces, ms, wall);
    }
    std::printf("  mean %.1f ms processor, %.1f ms wall per picture\n\n", total / samples.size(),
                totalWall / samples.size());

    struct TCandidate {
        const char* File;
        bool BothWays; // a side-view cascade, run on the mirror image as well
        int Neighbours;
    };
    const TCandidate candidates[] = {
        {"haarcascades/haarcascade_frontalface_alt2.xml", false, 4},
        {"haarcascades/haarcascade_frontalface_default.xml", false, 4},
        {"haarcascades/haarcascade_frontalface_alt.xml", false, 4},
        {"lbpcascades/lbpcascade_frontalface_improved.xml", false, 4},
        {"haarcascades/haarcascade_profileface.xml", true, 5},
        {"lbpcascades/lbpcascade_profileface.xml", true, 5},
    };
    for (int side : {640, 800, 1024}) {
        std::printf("Cascades at %d pixels on the longer side (hits per picture; processor ms for all %zu):\n", side,
                    samples.size());
        std::printf("  %-50s", "cascade");
        for (const TSample& s : samples)
            std::printf(" %s(%d)", s.Name, s.Faces);
        std::printf("\n");
        double alt2 = 0;
        for (const TCandidate& c : candidates) {
            cv::CascadeClassifier cascade;
            if (!cascade.load(InterestCascadeFolder() + "/" + c.File)) {
                std::printf("  %-50s missing\n", c.File);
                continue;
            }
            std::printf("  %-50s", c.File);
            double ms = 0;
            for (const TSample& s : samples) {
                const cv::Mat grey = Grey(s.Image, side);
                const int smallest = std::max(20, std::min(grey.cols, grey.rows) / 20);
                std::vector<cv::Rect> hits, mirrored;
                const double t0 = CpuMs();
                cascade.detectMultiScale(grey, hits, 1.1, c.Neighbours, 0, cv::Size(smallest, smallest));
                if (c.BothWays) {
                    cv::Mat m;
                    cv::flip(grey, m, 1);
                    cascade.detectMultiScale(m, mirrored, 1.1, c.Neighbours, 0, cv::Size(smallest, smallest));
                }
                ms += CpuMs() - t0;
                std::printf(" %*zu", int(std::string(s.Name).size()) + 3, hits.size() + mirrored.size());
            }
            if (alt2 == 0)
                alt2 = ms;
            std::printf("   %7.1f ms  (%.2fx alt2)\n", ms, ms / alt2);
        }
        std::printf("\n");
    }
    return 0;
}
