#include "app/ContainerTable.h"

// mp4 and mov use FFmpeg's native AAC encoder: the external one is no longer part of FFmpeg.
const TContainerRow Containers[ContainerCount] = {
    {"mp4", "mpeg4", "aac", ".mp4"},
    {"swf", "", "libmp3lame", ".swf"},
    {"flv", "", "libmp3lame", ".flv"},
    {"wmv", "wmv2", "wmav2", ".wmv"},
    {"mov", "mpeg4", "aac", ".mov"},
};

const TContainerRow* FindContainer(const std::string& name) {
    for (const TContainerRow& row : Containers)
        if (name == row.Name)
            return &row;
    return nullptr;
}
