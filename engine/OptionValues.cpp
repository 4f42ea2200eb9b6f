#include "engine/OptionValues.h"
#include "engine/FFmpegException.h"
#include "medialib/FFApi.h"

#include <cerrno>
#include <cstdlib>

namespace {
bool FullInt(const std::string& value, long long& out) {
    if (value.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(value.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}
} // namespace

int64_t ParseInt64Value(const std::string& value) {
    long long v = 0;
    if (!FullInt(value, v))
        throw FFmpegException("'" + value + "' is not a valid integer value");
    return v;
}

int ParseIntValue(const std::string& value) {
    long long v = 0;
    if (!FullInt(value, v) || v < INT32_MIN || v > INT32_MAX)
        throw FFmpegException("'" + value + "' is not a valid integer value");
    return int(v);
}

double ParseFloatValue(const std::string& value) {
    char* end = nullptr;
    errno = 0;
    double v = value.empty() ? 0 : std::strtod(value.c_str(), &end);
    if (value.empty() || errno != 0 || !end || *end != '\0')
        throw FFmpegException("'" + value + "' is not a valid floating point value");
    return v;
}

bool ParseBoolValue(const std::string& value) { return value != "0"; }

int64_t ParseTimeValue(const std::string& option, const std::string& value, bool isDuration) {
    int64_t us = 0;
    if (ff::av_parse_time(&us, value.c_str(), isDuration ? 1 : 0) < 0)
        throw FFmpegException(Fmt("Invalid %s specification for %s: %s", isDuration ? "duration" : "date",
                                  option.c_str(), value.c_str()));
    return us;
}

double ParseAspectValue(const std::string& value) {
    std::size_t colon = value.find(':');
    if (colon == std::string::npos)
        return std::strtod(value.c_str(), nullptr);
    double num = std::strtod(value.substr(0, colon).c_str(), nullptr);
    double den = std::strtod(value.substr(colon + 1).c_str(), nullptr);
    return den > 0 ? num / den : 0;
}
