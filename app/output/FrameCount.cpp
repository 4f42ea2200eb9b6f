#include "app/output/FrameCount.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {
std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

int IntegerOr(const std::string& text, int fallback) {
    std::string t = Trimmed(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    int value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
        return fallback;
    return value;
}

double NumberOr(const std::string& text, double fallback) {
    double value = 0;
    return ParseDecimalNumber(text, value) ? value : fallback;
}
} // namespace

// Plain decimal numbers only: strtod alone would also take "inf", "nan" and hex floats.
bool ParseDecimalNumber(const std::string& text, double& value) {
    std::string t = Trimmed(text);
    if (t.empty() || t.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

int FrameCountRule(const std::string& frameRateText, const std::string& delayText) {
    std::size_t colon = frameRateText.find(':');
    int num = IntegerOr(frameRateText.substr(0, colon), 30);
    int den = colon == std::string::npos ? 1 : IntegerOr(frameRateText.substr(colon + 1), 1);
    if (den == 0)
        den = 1; // a rate over zero would hold every picture for ever
    double seconds = NumberOr(delayText, 2.0);
    double frames = std::nearbyint(static_cast<double>(num) * seconds / den); // halves to even
    if (!(frames >= 1.0))
        return 1;
    if (frames >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(frames);
}

std::string SecondsText(double seconds) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, seconds);
    return ec == std::errc() ? std::string(text, end) : std::string();
}
