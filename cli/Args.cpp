#include "cli/Args.h"

#include "app/output/FrameCount.h"

#include <charconv>
#include <cmath>
#include <cstdint>

int ParseInt(const std::string& text, const std::string& what) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw TUsageError(what + " must be an integer, not \"" + text + "\"");
    return value;
}

// The application's own reading of numbers: what the command line accepts, the slideshow
// understands the same way ("0x10" is no number of seconds for either).
double ParseDouble(const std::string& text, const std::string& what) {
    double value = 0;
    if (!ParseDecimalNumber(text, value))
        throw TUsageError(what + " must be a number, not \"" + text + "\"");
    return value;
}

namespace {
void ParsePair(const std::string& text, const std::string& separators, int& a, int& b, const std::string& what) {
    std::size_t at = text.find_first_of(separators);
    if (at == std::string::npos)
        throw TUsageError(what + " \"" + text + "\" is not of the form A" + separators[0] + "B");
    a = ParseInt(text.substr(0, at), what);
    b = ParseInt(text.substr(at + 1), what);
    if (a <= 0 || b <= 0)
        throw TUsageError(what + " \"" + text + "\" must have both parts above zero");
}
} // namespace

void ParseSize(const std::string& text, int& width, int& height) {
    ParsePair(text, "x", width, height, "size");
    // Several frames of this size are held at once, four bytes a pixel: a mistyped size would
    // otherwise take all the machine's memory before any encoder could refuse it.
    if (width > MaxFrameSide || height > MaxFrameSide)
        throw TUsageError("size \"" + text + "\" is too large (at most " + std::to_string(MaxFrameSide) + "x" +
                          std::to_string(MaxFrameSide) + ")");
}

void ParseRate(const std::string& text, int& num, int& den) { ParsePair(text, ":/", num, den, "rate"); }

std::vector<int> ParseIntList(const std::string& text, const std::string& what) {
    std::vector<int> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::size_t dash = item.find('-', 1);
        if (dash != std::string::npos) {
            int from = ParseInt(item.substr(0, dash), what), to = ParseInt(item.substr(dash + 1), what);
            if (to < from)
                throw TUsageError(what + " range \"" + item + "\" runs backwards");
            if (std::int64_t(to) - from >= MaxListLength - std::int64_t(out.size()))
                throw TUsageError(what + " \"" + text + "\" lists too many values");
            for (std::int64_t i = from; i <= to; ++i) // a range may end at the largest int
                out.push_back(int(i));
        } else {
            out.push_back(ParseInt(item, what));
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

std::uint32_t ParseSeed(const std::string& text, const std::string& what) {
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        throw TUsageError(what + " must be an integer from 0 to 4294967295, not \"" + text + "\"");
    return value;
}
