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

TFrameRate ReadFrameRate(const std::string& frameRateText) {
    std::size_t colon = frameRateText.find(':');
    TFrameRate rate;
    rate.Num = IntegerOr(frameRateText.substr(0, colon), 30);
    rate.Den = colon == std::string::npos ? 1 : IntegerOr(frameRateText.substr(colon + 1), 1);
    if (rate.Den == 0)
        rate.Den = 1; // a rate over zero would hold every picture for ever
    return rate;
}

double ReadDelaySeconds(const std::string& delayText) { return NumberOr(delayText, 2.0); }

bool ParseFrameRate(const std::string& text, TFrameRate& rate) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    const int num = IntegerOr(text.substr(0, colon), 0);
    const int den = IntegerOr(text.substr(colon + 1), 0);
    if (num <= 0 || den <= 0)
        return false;
    rate = {num, den};
    return true;
}

int FrameCount(const TFrameRate& rate, double seconds) {
    double frames = std::nearbyint(static_cast<double>(rate.Num) * seconds / rate.Den); // halves to even
    if (!(frames >= 1.0))
        return 1;
    if (frames >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(frames);
}

int FrameCountRule(const std::string& frameRateText, const std::string& delayText) {
    return FrameCount(ReadFrameRate(frameRateText), ReadDelaySeconds(delayText));
}

std::string TFrameRate::Text() const { return std::to_string(Num) + ":" + std::to_string(Den); }
std::string TFrameRate::EngineText() const { return std::to_string(Num) + "/" + std::to_string(Den); }

std::string SecondsText(double seconds) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, seconds);
    return ec == std::errc() ? std::string(text, end) : std::string();
}
