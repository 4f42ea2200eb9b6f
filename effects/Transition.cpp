#include "effects/Transition.h"

#include "effects/Effects.h"
#include "effects/MulDiv.h"

#include <algorithm>
#include <stdexcept>

void ProgressSize(int width, int height, int percent, int& progressWidth, int& progressHeight) {
    if (width <= 0 || height <= 0) {
        // An empty frame has nothing to scale (and MulDiv would divide by zero).
        progressWidth = progressHeight = 0;
        return;
    }
    if (height <= width) {
        progressWidth = MulDiv(width, percent, 100);
        progressHeight = MulDiv(progressWidth, height, width);
    } else {
        progressHeight = MulDiv(height, percent, 100);
        progressWidth = MulDiv(progressHeight, width, height);
    }
}

void DrawTransitionFrame(TFrameBitmap& display, const TFrameBitmap& oldPicture, const TFrameBitmap& newPicture,
                         int effectNumber, int percent) {
    const int w = display.Width(), h = display.Height();
    if (oldPicture.Width() != w || oldPicture.Height() != h || newPicture.Width() != w || newPicture.Height() != h)
        throw std::invalid_argument("transition pictures and frame differ in size");
    // Lock order shared with the slideshow: new picture, then the frame, then the old picture.
    TCanvasLock newLock(newPicture);
    TCanvasLock displayLock(display);
    {
        TCanvasLock oldLock(oldPicture);
        std::copy_n(oldPicture.Pixels(), static_cast<std::size_t>(w) * h, display.Pixels());
    }
    if (percent <= 0)
        return;
    if (percent >= 100) {
        std::copy_n(newPicture.Pixels(), static_cast<std::size_t>(w) * h, display.Pixels());
        return;
    }
    int pw = 0, ph = 0;
    ProgressSize(w, h, percent, pw, ph);
    EffectRow(effectNumber).Proc(display, newPicture, w, h, pw, ph, percent);
}
