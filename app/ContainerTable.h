#pragma once
// The output containers the slideshow offers, with their encoders and file extensions. The
// engine picks the container from the extension; an empty video codec leaves the container's
// default.

#include <string>

struct TContainerRow {
    const char* Name;
    const char* VideoCodec;
    const char* AudioCodec;
    const char* Extension;
};

constexpr int ContainerCount = 5;
extern const TContainerRow Containers[ContainerCount];

// The row of that name ("mp4", "swf", "flv", "wmv", "mov"), or nullptr.
const TContainerRow* FindContainer(const std::string& name);
