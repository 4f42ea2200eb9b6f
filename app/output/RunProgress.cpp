#include "app/output/RunProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string ClockText(double seconds) {
    if (!(seconds >= 0) || seconds > 359999)
        return "--:--";
    const long s = std::lround(seconds);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string RunProgressText(const TRunPace& pace) {
    const bool knownTotal = pace.TotalSeconds > 0;
    // The written time never reads past the whole (the last frames' times round up).
    const double written = knownTotal ? std::min(pace.WrittenSeconds, pace.TotalSeconds) : pace.WrittenSeconds;
    std::string text = ClockText(std::max(0.0, written));
    if (knownTotal)
        text += " of " + ClockText(pace.TotalSeconds);
    text += " \u00b7 " + std::to_string(std::max(0, pace.FramesPerSecond)) + " fps";
    if (knownTotal && written > 0 && pace.WorkSeconds >= 1) {
        const double left = (pace.TotalSeconds - written) * pace.WorkSeconds / written;
        text += " \u00b7 about " + ClockText(left) + " left";
    }
    return text;
}
