#include "medialib/MyUtils.h"

#include <cmath>
#include <cstdio>
#include <ctime>

std::string SizeText(std::int64_t bytes) {
    char text[64];
    if (bytes > (std::int64_t(1) << 30))
        std::snprintf(text, sizeof text, "%.2f GB", double(bytes) / double(std::int64_t(1) << 30));
    else if (bytes > (std::int64_t(1) << 20))
        std::snprintf(text, sizeof text, "%.2f MB", double(bytes) / double(1 << 20));
    else if (bytes > 1024)
        std::snprintf(text, sizeof text, "%.2f KB", double(bytes) / 1024);
    else
        std::snprintf(text, sizeof text, "%lld Byte", (long long)bytes);
    return text;
}

// The local offset of that moment (daylight saving included), the way the system's time-zone
// bias is added to a UTC time.
double UnixToLocalDateTime(std::int64_t seconds) {
    std::time_t t = std::time_t(seconds);
    std::tm local{};
    long offset = 0;
    if (localtime_r(&t, &local))
        offset = local.tm_gmtoff;
    return double(seconds) / 86400.0 + 25569.0 + double(offset) / 86400.0;
}

std::string DateTimeText(double dateTime) {
    // Back to whole seconds since 1970 and printed as a UTC calendar date: the value already
    // carries the local offset.
    std::time_t t = std::time_t(std::llround((dateTime - 25569.0) * 86400.0));
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}
