#pragma once
// The keys of the settings file. Every choice of the main window is stored in the section
// "settings" the moment it changes.

namespace settings {
inline constexpr const char* Section = "settings";
inline constexpr const char* FirstRun = "firstrun";
inline constexpr const char* OutPutDir = "OutPutDir";
inline constexpr const char* Format = "format";
inline constexpr const char* BitRateIndex = "bitrateindex";
inline constexpr const char* BitRate = "bitrate";
inline constexpr const char* VideoSizeIndex = "videosizeindex";
inline constexpr const char* VideoSize = "videosize";
inline constexpr const char* FrameRateIndex = "framerateindex";
inline constexpr const char* FrameRate = "framerate";
inline constexpr const char* SampleRate = "samplerate";
inline constexpr const char* Stereo = "stereo";
inline constexpr const char* Mono = "mono";
inline constexpr const char* PhotoDelay = "PhotoDelay";
inline constexpr const char* EffectDelay = "EffectDelay";
} // namespace settings
