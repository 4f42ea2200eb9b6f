#pragma once
// How a caption looks: font, size, colours, outline, shadow, an optional box behind the text,
// where it stands in the frame and how its lines align. The show has one style; a slide may
// carry its own. The default is the look captions always had: DejaVu Sans Bold, white with a
// black outline, 7 % of the frame's height, centred near the bottom.
//
// Text form (the command line's --caption-style and the tests): comma-separated KEY=VALUE pairs
// with the keys of the project file, for example
//     font=DejaVu Serif,size=0.05,color=#ffff00,position=top-left,box=#80000000,align=left

#include <cstdint>
#include <optional>
#include <string>

// Nine places in the frame, in reading order.
enum class TCaptionAnchor { TopLeft, Top, TopRight, Left, Center, Right, BottomLeft, Bottom, BottomRight };
enum class TCaptionAlign { Left, Center, Right };

struct TCaptionStyle {
    std::string Font = "DejaVu Sans";      // a font family fontconfig knows; others fall back
    bool Bold = true;
    double Size = 0.07;                    // font size as a share of the frame's height
    std::uint32_t Color = 0xFFFFFFFFu;     // 0xAARRGGBB
    double Outline = 0.125;                // outline width as a share of the font size; 0: none
    std::uint32_t OutlineColor = 0xFF000000u;
    double Shadow = 0;                     // shadow offset as a share of the font size; 0: none
    std::uint32_t ShadowColor = 0xB4000000u;
    std::uint32_t Box = 0;                 // box behind the text, 0xAARRGGBB; alpha 0: no box
    TCaptionAnchor Anchor = TCaptionAnchor::Bottom;
    double Margin = 0.04;                  // from the frame's edges, a share of the height (top,
                                           // bottom) and of the width (sides)
    TCaptionAlign Align = TCaptionAlign::Center;

    bool operator==(const TCaptionStyle&) const = default;
};

// The limits of the numbers.
inline constexpr double SmallestCaptionSize = 0.01, LargestCaptionSize = 0.5;
inline constexpr double LargestCaptionOutline = 0.5, LargestCaptionShadow = 0.5, LargestCaptionMargin = 0.3;
inline constexpr double LongestCaptionFade = 60;

// The style a title slide's text has unless the slide carries its own: the show's style, centred
// and larger.
TCaptionStyle TitleStyleOf(const TCaptionStyle& show);

// Names of the anchors and alignments ("top-left", "bottom", "center", ...; "left", ...).
const char* CaptionAnchorName(TCaptionAnchor anchor);
bool FindCaptionAnchor(const std::string& name, TCaptionAnchor& anchor);
const char* CaptionAlignName(TCaptionAlign align);
bool FindCaptionAlign(const std::string& name, TCaptionAlign& align);

// Colours as "#rrggbb" or "#aarrggbb" (the alpha first, as Qt writes it). Written in the short
// form when opaque.
std::string ColorText(std::uint32_t argb);
bool ReadColor(const std::string& text, std::uint32_t& argb);

// Sets one member of style from its key and text value; false with the reason (which names the
// key and what it takes) when the key is unknown or the value does not fit.
bool SetCaptionStyleValue(TCaptionStyle& style, const std::string& key, const std::string& value,
                          std::string& error);
// The style's members as text, one per key, in the order of the keys.
std::string CaptionStyleValue(const TCaptionStyle& style, const std::string& key);
// The keys, in their order: font, bold, size, color, outline, outlineColor, shadow, shadowColor,
// box, position, margin, align.
const char* const* CaptionStyleKeys();
// The text form of every key ("font=DejaVu Sans,bold=true,...").
std::string CaptionStyleText(const TCaptionStyle& style);
// Reads the text form into style (members not named keep their value); false with the reason.
bool ParseCaptionStyle(const std::string& text, TCaptionStyle& style, std::string& error);
