#pragma once
// The output choices a newcomer starts with: what the window selects when there is no settings
// file yet, and what the command line renders when neither a project nor an option says
// otherwise. A video people can watch: H.264 in mp4 at full HD, stereo, at the row's own
// constant quality and the balanced speed preset.
//
// The frame sizes the window's list offers, which the command line's help and completion list
// as well (any other WxH is still taken).

#include "app/output/ContainerTable.h"

namespace first_run {

inline constexpr const char* FormatOption = "mp4-h264"; // the command line's name of the row
inline constexpr const char* FormatRow = "mp4 (H.264)"; // as the window's list shows it
inline constexpr int FormatPosition = 5;                // its position in the list
inline constexpr const char* FrameSize = "1920x1080";
inline constexpr int Width = 1920;
inline constexpr int Height = 1080;
inline constexpr int AudioChannels = 2;                 // stereo
inline constexpr int FrameRateNum = 30;
inline constexpr int FrameRateDen = 1;
inline constexpr const char* FrameRate = "30:1";
inline constexpr bool ConstantQuality = true;           // at the row's DefaultCrf
inline constexpr int Crf = -1;                          // below 0: the row's default
inline constexpr TSpeedPreset Preset = spBalanced;

} // namespace first_run

// The frame sizes of the window's list, in its order (stored settings rely on the positions).
inline constexpr const char* const FrameSizeNames[] = {
    "128x96",   "160x120",  "174x144",  "208x160",   "208x176",   "240x180",   "320x240",  "400x300",
    "480x360",  "512x384",  "640x480",  "768x576",   "800x600",   "1024x768",  "1280x960",
    "1280x720", "1920x1080", "2560x1440", "3840x2160", "1080x1920", "720x1280", "1080x1080"};
