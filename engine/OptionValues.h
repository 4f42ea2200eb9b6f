#pragma once
// Parsing of option values: numbers, booleans, durations, sizes and rates, with the messages
// the engine raises for values that do not parse.

#include <cstdint>
#include <string>

int ParseIntValue(const std::string& value);
int64_t ParseInt64Value(const std::string& value);
double ParseFloatValue(const std::string& value);
// "0" is off; anything else, the empty text included, is on.
bool ParseBoolValue(const std::string& value);
// Microseconds; raises "Invalid duration/date specification for NAME: VALUE".
int64_t ParseTimeValue(const std::string& option, const std::string& value, bool isDuration);
// "4:3" or "1.333"; 0 when the ratio has no positive denominator.
double ParseAspectValue(const std::string& value);
