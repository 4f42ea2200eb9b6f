#include "app/output/ContainerTable.h"

// mp4 and mov use FFmpeg's native AAC encoder: the external one is no longer part of FFmpeg.
const TContainerRow Containers[ContainerCount] = {
    {"mp4", "mpeg4", "aac", ".mp4", "mp4", nullptr},
    {"swf", "", "libmp3lame", ".swf", "swf", nullptr},
    {"flv", "", "libmp3lame", ".flv", "flv", nullptr},
    {"wmv", "wmv2", "wmav2", ".wmv", "wmv", nullptr},
    {"mov", "mpeg4", "aac", ".mov", "mov", nullptr},
};

namespace {
// "+faststart" moves the index ahead of the media, so that a browser starts playing before the
// whole file has arrived. The profile of H.264 is the encoder's number for High (100): the
// generic option takes numbers, and libx264 turns it into its own profile name. The "v" keeps
// profile and level off the audio encoder.
const TQualityCodec H264 = {
    "H.264", 23, 51, {"preset=veryfast", "preset=medium", "preset=slow"},
    "pix_fmt=yuv420p\nvprofile=100\nmovflags=+faststart", "", "h264_vaapi", true, true,
    // Quality 0 is lossless, which High refuses: High 4:4:4 (144) allows it, still with 4:2:0.
    "vprofile=144"};
// Apple's players show HEVC in mp4 only with the "hvc1" tag. x265 would print its banner and
// statistics on the terminal: its own log goes quiet but for errors.
const TQualityCodec H265 = {
    "H.265", 28, 51, {"preset=veryfast", "preset=medium", "preset=slow"},
    "pix_fmt=yuv420p\nmovflags=+faststart\nx265-params=log-level=error", "hvc1", "hevc_vaapi", true, false};
const TQualityCodec VP9 = {
    "VP9", 33, 63, {"deadline=realtime\ncpu-used=8", "deadline=good\ncpu-used=4", "deadline=good\ncpu-used=1"},
    "pix_fmt=yuv420p\nrow-mt=1", "", "", true, false};
const TQualityCodec AV1 = {
    "AV1", 35, 63, {"preset=12", "preset=10", "preset=6"}, "pix_fmt=yuv420p", "", "", true, false};
} // namespace

const TContainerRow CodecContainers[CodecContainerCount] = {
    {"mp4 (H.264)", "libx264", "aac", ".mp4", "mp4-h264", &H264},
    {"mp4 (H.265)", "libx265", "aac", ".mp4", "mp4-hevc", &H265},
    {"webm (VP9)", "libvpx-vp9", "libopus", ".webm", "webm-vp9", &VP9},
    {"webm (AV1)", "libsvtav1", "libopus", ".webm", "webm-av1", &AV1},
};

const TContainerRow* ContainerAt(int position) {
    if (position >= 0 && position < ContainerCount)
        return &Containers[position];
    if (position >= ContainerCount && position < ContainerRowCount)
        return &CodecContainers[position - ContainerCount];
    return nullptr;
}

const TContainerRow* FindContainer(const std::string& name) {
    for (int i = 0; i < ContainerRowCount; ++i) {
        const TContainerRow* row = ContainerAt(i);
        if (name == row->Name || name == row->Option)
            return row;
    }
    return nullptr;
}

std::string ContainerOptionNames() {
    std::string names;
    for (int i = 0; i < ContainerRowCount; ++i)
        names += std::string(i ? ", " : "") + ContainerAt(i)->Option;
    return names;
}

namespace {
const char* const PresetNames[SpeedPresetCount] = {"fast", "balanced", "small"};
}

const char* SpeedPresetName(TSpeedPreset preset) {
    return preset >= 0 && preset < SpeedPresetCount ? PresetNames[preset] : nullptr;
}

bool FindSpeedPreset(const std::string& name, TSpeedPreset& preset) {
    for (int i = 0; i < SpeedPresetCount; ++i)
        if (name == PresetNames[i]) {
            preset = TSpeedPreset(i);
            return true;
        }
    return false;
}
