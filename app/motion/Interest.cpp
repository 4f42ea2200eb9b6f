#include "app/motion/Interest.h"

#include "app/motion/DetailFinder.h"
#include "app/motion/FaceFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

// The detectors look at the picture at most this large (its longer side): about half the pixels
// of a million-pixel decode, so about half the time. At 640 the smallest of the three heads of
// the group test picture (30 pixels there) is lost.
constexpr int LookSide = 800;

// Grey copy of the picture, reduced to LookSide.
cv::Mat GreyLook(const TFrameBitmap& picture) {
    cv::Mat grey;
    {
        TCanvasLock lock(picture);
        // The fourth byte is not looked at: BGRA to grey weighs blue, green and red only.
        const cv::Mat bgrx(picture.Height(), picture.Width(), CV_8UC4, const_cast<std::uint8_t*>(picture.Bits()),
                           std::size_t(picture.Stride()));
        cv::cvtColor(bgrx, grey, cv::COLOR_BGRA2GRAY);
    }
    const int longer = std::max(grey.cols, grey.rows);
    if (longer > LookSide) {
        const double f = double(LookSide) / longer;
        cv::Mat small;
        cv::resize(grey, small, cv::Size(), f, f, cv::INTER_AREA);
        grey = small;
    }
    return grey;
}

TMotionRect Fractions(const cv::Rect& r, const cv::Size& size) {
    const cv::Rect in = r & cv::Rect(0, 0, size.width, size.height);
    return {double(in.x) / size.width, double(in.y) / size.height, double(in.width) / size.width,
            double(in.height) / size.height};
}

} // namespace

TInterest FindInterest(const TFrameBitmap& picture) try {
    TInterest interest;
    if (picture.Empty())
        return interest;
    const cv::Mat grey = GreyLook(picture);
    interest.Detail = FindDetail(grey);
    // Faces are found on a picture of evened-out contrast (dim indoor photos, backlight).
    cv::Mat even;
    cv::equalizeHist(grey, even);
    for (const cv::Rect& face : FindFaces(even))
        interest.Faces.push_back(Fractions(face, grey.size()));
    return interest;
} catch (const cv::Exception&) {
    // Framing is a nicety: a picture OpenCV cannot look at (out of memory) is framed as a whole.
    return TInterest{};
}
