#pragma once
// Small formatting routines of the information texts.

#include <cstdint>
#include <string>

// Above 1 GiB "%.2f GB", above 1 MiB "%.2f MB", above 1024 bytes "%.2f KB", else "%d Byte".
std::string SizeText(std::int64_t bytes);
// Seconds since 1970 (UTC) to the framework's date-time in local time: days since 1899-12-30.
double UnixToLocalDateTime(std::int64_t seconds);
// A date-time of that kind as "yyyy-mm-dd hh:nn:ss".
std::string DateTimeText(double dateTime);
