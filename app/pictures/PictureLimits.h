#pragma once
// What one picture may cost while it is read, however its file is made.

#include <cstdint>
#include <cstdio>
#include <string>

// Memory for decoding one picture: the decoder's own buffers and any whole-picture buffer.
constexpr std::int64_t MaxPictureBytes = std::int64_t(512) << 20;

// "1.1 GB", "600 MB": a size for messages.
inline std::string MemoryText(std::int64_t bytes) {
    const double mb = double(bytes) / double(1 << 20);
    char text[32];
    if (mb >= 1024)
        std::snprintf(text, sizeof text, "%.1f GB", mb / 1024);
    else
        std::snprintf(text, sizeof text, "%.0f MB", mb);
    return text;
}

// The message for a picture refused for its size.
inline std::string TooLargeText(std::int64_t width, std::int64_t height, std::int64_t bytes) {
    return "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) + " pixels would take " +
           MemoryText(bytes) + ", at most " + MemoryText(MaxPictureBytes) + ")";
}
