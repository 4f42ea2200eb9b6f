#pragma once
// The output containers the slideshow offers, with their encoders and file extensions. The
// engine picks the container from the extension; an empty video codec leaves the container's
// default.
//
// The list shows the five classic rows first (positions 0 to 4) and then the rows of today's
// codecs (positions 5 and up), which encode at a constant quality or at the chosen bit rate and
// take a speed preset.

#include <string>

// Speed presets of the quality rows, in the order the list shows them.
enum TSpeedPreset { spFast, spBalanced, spSmallFile };
constexpr int SpeedPresetCount = 3;
// "fast", "balanced", "small" (the command line's names), or nullptr out of range.
const char* SpeedPresetName(TSpeedPreset preset);
// The preset of that name; false when there is none.
bool FindSpeedPreset(const std::string& name, TSpeedPreset& preset);

// Encoder settings of a row that encodes at constant quality or at the chosen bit rate.
struct TQualityCodec {
    const char* Label;            // "H.264": the codec as messages name it
    int DefaultCrf;               // what a friend would post on the web
    int MaxCrf;                   // the encoder's scale runs from 0 to this
    const char* Presets[SpeedPresetCount]; // encoder option lines per speed preset
    const char* Options;          // fixed encoder and muxer option lines
    const char* VideoTag;         // stream tag, or ""
    const char* HardwareEncoder;  // VAAPI encoder of the same codec, or ""
    bool EvenSize;                // 4:2:0 pictures need an even width and height
    bool H264Level;               // the level is chosen from the frame size and rate
    const char* LosslessOptions = nullptr; // option lines that replace the profile at quality 0
};

struct TContainerRow {
    const char* Name;             // as the window's list shows it
    const char* VideoCodec;
    const char* AudioCodec;
    const char* Extension;
    const char* Option;           // the command line's name ("mp4", "mp4-h264")
    const TQualityCodec* Quality; // nullptr for the classic rows
};

constexpr int ContainerCount = 5;
extern const TContainerRow Containers[ContainerCount];
constexpr int CodecContainerCount = 4;
extern const TContainerRow CodecContainers[CodecContainerCount];
// Every row of the list.
constexpr int ContainerRowCount = ContainerCount + CodecContainerCount;

// The row at a position of the list, or nullptr.
const TContainerRow* ContainerAt(int position);
// The row of that list name ("mp4", "mp4 (H.264)") or command-line name ("mp4-h264"), or nullptr.
const TContainerRow* FindContainer(const std::string& name);
// The command-line names of every row, joined by ", " (for messages).
std::string ContainerOptionNames();
