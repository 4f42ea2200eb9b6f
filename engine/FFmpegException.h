#pragma once
// The engine's exception: every failure during a run is raised as one and ends up as the
// run's error text.

#include <stdexcept>
#include <string>

class FFmpegException : public std::runtime_error {
public:
    explicit FFmpegException(const std::string& message) : std::runtime_error(message) {}
};

// printf-style formatting for the engine's message texts.
std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
