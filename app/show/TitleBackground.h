#pragma once
// A title slide: a slide of text only (its caption) on a background of its own instead of a
// picture: one colour, a gradient from one colour at the top to another at the bottom, or a
// blurred and darkened copy of the slide's picture. It has its own hold and effect like any slide.

#include <cstdint>
#include <string>

enum class TTitleBackgroundKind { Color, Gradient, Blur };

struct TSlideTitle {
    bool On = false;                              // the slide is a title slide
    TTitleBackgroundKind Background = TTitleBackgroundKind::Color;
    std::uint32_t From = 0xFF000000u, To = 0xFF000000u; // 0xAARRGGBB (the alpha is not used)
    bool operator==(const TSlideTitle&) const = default;
};

// The background as text: "#rrggbb", "#rrggbb-#rrggbb" (a gradient, top to bottom) or "blur"
// (the slide's picture blurred). False when text is none of them.
bool ReadTitleBackground(const std::string& text, TSlideTitle& title);
std::string TitleBackgroundText(const TSlideTitle& title);
