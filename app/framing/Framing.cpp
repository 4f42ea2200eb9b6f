#include "app/framing/Framing.h"

#include "app/framing/FitRect.h"

#include <cmath>

namespace {
const char* const Names[] = {"letterbox", "blur", "fill"};
}

const char* FramingName(TFraming framing) { return Names[int(framing)]; }

bool FindFraming(const std::string& name, TFraming& framing) {
    for (int i = 0; i < 3; ++i)
        if (name == Names[i]) {
            framing = TFraming(i);
            return true;
        }
    return false;
}

TRect CoverRect(const TRect& source, const TRect& target) {
    const int sw = source.Right - source.Left, sh = source.Bottom - source.Top;
    const int tw = target.Right - target.Left, th = target.Bottom - target.Top;
    if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0)
        return TRect{target.Left, target.Top, target.Left, target.Top};
    const double a = static_cast<double>(sw) / tw;
    const double b = static_cast<double>(sh) / th;
    TRect cover = target;
    // The relatively wider picture takes the full height and overflows left and right.
    if (a >= b) {
        const int c = static_cast<int>(std::nearbyint((sw / b - tw) / 2));
        cover.Left -= c;
        cover.Right += c;
    } else {
        const int c = static_cast<int>(std::nearbyint((sh / a - th) / 2));
        cover.Top -= c;
        cover.Bottom += c;
    }
    return cover;
}

TRect PictureRect(TFraming framing, int pictureWidth, int pictureHeight, int frameWidth, int frameHeight) {
    const TRect picture{0, 0, pictureWidth, pictureHeight}, frame{0, 0, frameWidth, frameHeight};
    return framing == TFraming::Fill ? CoverRect(picture, frame) : FitRect(picture, frame);
}
