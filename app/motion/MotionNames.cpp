#include "app/motion/MotionNames.h"

namespace {
const char* const Names[] = {"off", "zoom-in", "zoom-out", "pan", "random", "rects"};
constexpr int NameCount = int(sizeof Names / sizeof Names[0]);
} // namespace

const char* MotionStyleName(TMotionStyle style) {
    const int i = int(style);
    return i >= 0 && i < NameCount ? Names[i] : "off";
}

bool FindMotionStyle(const std::string& name, TMotionStyle& style, bool allowRects) {
    for (int i = 0; i < NameCount; ++i)
        if (name == Names[i]) {
            if (TMotionStyle(i) == TMotionStyle::Rects && !allowRects)
                return false;
            style = TMotionStyle(i);
            return true;
        }
    return false;
}
