#include "app/motion/DetailFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

// The picture is cut into a grid of cells; the detail is the window of cells with the most
// edge energy. A window of 5 of 12 cells each way is a part a zoom can aim at, far from a
// single point and small enough to say where in the picture it is.
constexpr int GridCells = 12;
constexpr int WindowCells = 5;
// The window stands out when its energy is this many times the picture's average...
constexpr double StandOutRatio = 1.5;
// ...and the picture has edges at all (mean absolute Laplacian of 8-bit grey values).
constexpr double FlatEnergy = 0.5;

} // namespace

TMotionRect FindDetail(const cv::Mat& grey) {
    if (grey.empty() || grey.cols < GridCells || grey.rows < GridCells)
        return {};
    // A light blur first, so that sensor noise and JPEG blocks count less than real edges.
    cv::Mat smooth, edges, energy;
    cv::GaussianBlur(grey, smooth, cv::Size(3, 3), 0);
    cv::Laplacian(smooth, edges, CV_16S, 3);
    cv::convertScaleAbs(edges, edges);
    edges.convertTo(energy, CV_32F);

    cv::Mat cells;
    cv::resize(energy, cells, cv::Size(GridCells, GridCells), 0, 0, cv::INTER_AREA); // mean per cell
    const double average = cv::mean(cells)[0];
    if (average < FlatEnergy)
        return {};

    cv::Mat sums;
    cv::integral(cells, sums, CV_64F);
    const auto windowSum = [&](int x, int y) {
        return sums.at<double>(y + WindowCells, x + WindowCells) - sums.at<double>(y, x + WindowCells) -
               sums.at<double>(y + WindowCells, x) + sums.at<double>(y, x);
    };
    double best = -1;
    int bestX = 0, bestY = 0;
    for (int y = 0; y + WindowCells <= GridCells; ++y)
        for (int x = 0; x + WindowCells <= GridCells; ++x)
            if (const double s = windowSum(x, y); s > best) {
                best = s;
                bestX = x;
                bestY = y;
            }
    const double windowAverage = best / (WindowCells * WindowCells);
    if (windowAverage < StandOutRatio * average)
        return {};

    // Centred on the energy's centre of mass inside the window, kept inside the picture.
    const cv::Mat window = cells(cv::Rect(bestX, bestY, WindowCells, WindowCells));
    const cv::Moments m = cv::moments(window);
    double cx = bestX + WindowCells / 2.0, cy = bestY + WindowCells / 2.0;
    if (m.m00 > 0) {
        cx = bestX + m.m10 / m.m00 + 0.5;
        cy = bestY + m.m01 / m.m00 + 0.5;
    }
    const double side = double(WindowCells) / GridCells;
    TMotionRect r;
    r.W = side;
    r.H = side;
    r.X = std::clamp(cx / GridCells - side / 2, 0.0, 1.0 - side);
    r.Y = std::clamp(cy / GridCells - side / 2, 0.0, 1.0 - side);
    return r;
}
