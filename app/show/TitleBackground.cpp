#include "app/show/TitleBackground.h"

#include "app/show/CaptionStyle.h"

#include <cstdio>
#include <cstring>

bool ReadTitleBackground(const std::string& text, TSlideTitle& title) {
    TSlideTitle read = title;
    if (text == "blur") {
        read = TSlideTitle{title.On, TTitleBackgroundKind::Blur}; // no colours of its own
    } else if (const std::size_t dash = text.find('-'); dash != std::string::npos) {
        if (!ReadColor(text.substr(0, dash), read.From) || !ReadColor(text.substr(dash + 1), read.To))
            return false;
        read.Background = TTitleBackgroundKind::Gradient;
    } else {
        if (!ReadColor(text, read.From))
            return false;
        read.To = read.From;
        read.Background = TTitleBackgroundKind::Color;
    }
    title = read;
    return true;
}

std::string TitleBackgroundText(const TSlideTitle& title) {
    const auto opaque = [](std::uint32_t c) { return ColorText(c | 0xFF000000u); };
    switch (title.Background) {
    case TTitleBackgroundKind::Blur:
        return "blur";
    case TTitleBackgroundKind::Gradient:
        return opaque(title.From) + "-" + opaque(title.To);
    case TTitleBackgroundKind::Color:
        break;
    }
    return opaque(title.From);
}
