#include "app/framing/FitRect.h"

#include <cmath>

TRect FitRect(const TRect& source, const TRect& target) {
    const int sw = source.Right - source.Left, sh = source.Bottom - source.Top;
    const int tw = target.Right - target.Left, th = target.Bottom - target.Top;
    if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0)
        return TRect{target.Left, target.Top, target.Left, target.Top};
    const double a = static_cast<double>(sw) / tw;
    const double b = static_cast<double>(sh) / th;
    TRect fit = target;
    if (a >= b) {
        const int c = static_cast<int>(std::nearbyint((th - sh / a) / 2));
        fit.Top += c;
        fit.Bottom -= c;
    } else {
        const int c = static_cast<int>(std::nearbyint((tw - sw / b) / 2));
        fit.Left += c;
        fit.Right -= c;
    }
    return fit;
}
