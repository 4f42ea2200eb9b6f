#include "app/show/CaptionStyle.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
struct TNamed {
    const char* Name;
    int Value;
};
constexpr TNamed Anchors[] = {{"top-left", 0}, {"top", 1},    {"top-right", 2},   {"left", 3},        {"center", 4},
                              {"right", 5},    {"bottom-left", 6}, {"bottom", 7}, {"bottom-right", 8}};
constexpr TNamed Aligns[] = {{"left", 0}, {"center", 1}, {"right", 2}};

bool Number(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && p == end && !text.empty() && std::isfinite(value);
}

// The shortest text that reads back as the same number.
std::string NumberText(double v) {
    char text[32];
    for (int digits = 6; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        double back = 0;
        if (Number(text, back) && back == v)
            break;
    }
    return text;
}

// One row per key: how the text sets the member and how the member reads as text.
struct TStyleKey {
    const char* Key;
    std::function<bool(TCaptionStyle&, const std::string&)> Set; // false: the value does not fit
    std::function<std::string(const TCaptionStyle&)> Get;
    const char* Takes;                                            // what the key takes, for errors
};

TStyleKey Share(const char* key, double TCaptionStyle::*member, double low, double high, const char* takes) {
    return {key,
            [=](TCaptionStyle& s, const std::string& v) {
                double d = 0;
                if (!Number(v, d) || d < low || d > high)
                    return false;
                s.*member = d;
                return true;
            },
            [=](const TCaptionStyle& s) { return NumberText(s.*member); }, takes};
}

TStyleKey Colour(const char* key, std::uint32_t TCaptionStyle::*member) {
    return {key, [=](TCaptionStyle& s, const std::string& v) { return ReadColor(v, s.*member); },
            [=](const TCaptionStyle& s) { return ColorText(s.*member); }, "a colour #rrggbb or #aarrggbb"};
}

const std::vector<TStyleKey>& Keys() {
    static const std::vector<TStyleKey> keys = {
        {"font",
         [](TCaptionStyle& s, const std::string& v) {
             if (v.empty())
                 return false;
             s.Font = v;
             return true;
         },
         [](const TCaptionStyle& s) { return s.Font; }, "a font family name"},
        {"bold",
         [](TCaptionStyle& s, const std::string& v) {
             if (v != "true" && v != "false")
                 return false;
             s.Bold = v == "true";
             return true;
         },
         [](const TCaptionStyle& s) { return std::string(s.Bold ? "true" : "false"); }, "true or false"},
        Share("size", &TCaptionStyle::Size, SmallestCaptionSize, LargestCaptionSize,
              "a share of the frame's height from 0.01 to 0.5"),
        Colour("color", &TCaptionStyle::Color),
        Share("outline", &TCaptionStyle::Outline, 0, LargestCaptionOutline, "a share of the font size from 0 to 0.5"),
        Colour("outlineColor", &TCaptionStyle::OutlineColor),
        Share("shadow", &TCaptionStyle::Shadow, 0, LargestCaptionShadow, "a share of the font size from 0 to 0.5"),
        Colour("shadowColor", &TCaptionStyle::ShadowColor),
        Colour("box", &TCaptionStyle::Box),
        {"position",
         [](TCaptionStyle& s, const std::string& v) { return FindCaptionAnchor(v, s.Anchor); },
         [](const TCaptionStyle& s) { return std::string(CaptionAnchorName(s.Anchor)); },
         "top-left, top, top-right, left, center, right, bottom-left, bottom or bottom-right"},
        Share("margin", &TCaptionStyle::Margin, 0, LargestCaptionMargin, "a share of the frame from 0 to 0.3"),
        {"align", [](TCaptionStyle& s, const std::string& v) { return FindCaptionAlign(v, s.Align); },
         [](const TCaptionStyle& s) { return std::string(CaptionAlignName(s.Align)); }, "left, center or right"},
    };
    return keys;
}

const TStyleKey* FindKey(const std::string& key) {
    for (const TStyleKey& k : Keys())
        if (key == k.Key)
            return &k;
    return nullptr;
}
} // namespace

TCaptionStyle TitleStyleOf(const TCaptionStyle& show) {
    TCaptionStyle title = show;
    title.Anchor = TCaptionAnchor::Center;
    title.Align = TCaptionAlign::Center;
    title.Size = std::min(LargestCaptionSize, show.Size * 1.6);
    return title;
}

const char* CaptionAnchorName(TCaptionAnchor anchor) { return Anchors[int(anchor)].Name; }

bool FindCaptionAnchor(const std::string& name, TCaptionAnchor& anchor) {
    for (const TNamed& a : Anchors)
        if (name == a.Name) {
            anchor = TCaptionAnchor(a.Value);
            return true;
        }
    return false;
}

const char* CaptionAlignName(TCaptionAlign align) { return Aligns[int(align)].Name; }

bool FindCaptionAlign(const std::string& name, TCaptionAlign& align) {
    for (const TNamed& a : Aligns)
        if (name == a.Name) {
            align = TCaptionAlign(a.Value);
            return true;
        }
    return false;
}

std::string ColorText(std::uint32_t argb) {
    char text[16];
    if ((argb >> 24) == 0xFF)
        std::snprintf(text, sizeof text, "#%06x", unsigned(argb & 0xFFFFFFu));
    else
        std::snprintf(text, sizeof text, "#%08x", unsigned(argb));
    return text;
}

bool ReadColor(const std::string& text, std::uint32_t& argb) {
    if (text.size() != 7 && text.size() != 9)
        return false;
    if (text[0] != '#')
        return false;
    std::uint32_t value = 0;
    auto [p, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), value, 16);
    if (ec != std::errc() || p != text.data() + text.size())
        return false;
    argb = text.size() == 7 ? 0xFF000000u | value : value;
    return true;
}

bool SetCaptionStyleValue(TCaptionStyle& style, const std::string& key, const std::string& value,
                          std::string& error) {
    const TStyleKey* k = FindKey(key);
    if (!k) {
        std::string known;
        for (const TStyleKey& each : Keys())
            known += std::string(known.empty() ? "" : ", ") + each.Key;
        error = "unknown caption style key \"" + key + "\" (the keys are " + known + ")";
        return false;
    }
    TCaptionStyle changed = style;
    if (!k->Set(changed, value)) {
        error = "caption style " + key + "=" + value + ": takes " + k->Takes;
        return false;
    }
    style = changed;
    return true;
}

std::string CaptionStyleValue(const TCaptionStyle& style, const std::string& key) {
    const TStyleKey* k = FindKey(key);
    return k ? k->Get(style) : std::string();
}

const char* const* CaptionStyleKeys() {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> n;
        for (const TStyleKey& k : Keys())
            n.push_back(k.Key);
        n.push_back(nullptr);
        return n;
    }();
    return names.data();
}

std::string CaptionStyleText(const TCaptionStyle& style) {
    std::string text;
    for (const TStyleKey& k : Keys())
        text += std::string(text.empty() ? "" : ",") + k.Key + "=" + k.Get(style);
    return text;
}

bool ParseCaptionStyle(const std::string& text, TCaptionStyle& style, std::string& error) {
    TCaptionStyle result = style;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string pair = text.substr(start, comma - start);
        start = comma + 1;
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos) {
            error = "caption style \"" + pair + "\": takes KEY=VALUE";
            return false;
        }
        if (!SetCaptionStyleValue(result, pair.substr(0, equals), pair.substr(equals + 1), error))
            return false;
    }
    style = result;
    return true;
}
