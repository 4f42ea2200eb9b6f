#pragma once
// The records through which the encoder component describes one input and one output file.
// Integer fields are applied only when above 0 unless noted; defaults are the initialisers.

#include "engine/JobSettings.h"

#include <string>

struct TInputOptions {
    std::string FileName;                 // replaced by the file name argument when empty
    std::string FileFormat;               // "f" when not empty
    int64_t StartTime = NoTimestamp;      // "ss", microseconds
    int ProgramId = -1;                   // "programid" when 0 or more
    std::string ExtOptions;               // extra "name=value" lines
    int Reserved[2] = {0, 0};
};

struct TStreamInfo {
    double TimeStamp = -1;                // local date-time in days since 1899-12-30: 0 now, above 0 that date
    int Year = -1;
    int Track = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TOutputOptions {
    std::string FileName;
    std::string Reserved;
    std::string FileFormat;
    int PacketSize = -1;
    int MuxRate = -1;
    float MuxDelay = -1;
    float MuxPreload = -1;
    std::string AudioCodec;
    std::string AudioPreset;
    bool DisableAudio = false;
    int Volume = -1;                      // "vol" when 0 or more
    int AudioChannels = -1;
    int AudioSampleRate = -1;
    int AudioBitrate = -1;
    int AudioBitrateTolerance = -1;
    std::string AudioLanguage;
    int AudioSyncMethod = 0;              // always applied
    std::string AudioTag;
    std::string VideoCodec;
    std::string VideoPreset;
    bool DisableVideo = false;
    std::string FrameRate;                // "30/1"
    std::string FrameSize;                // "320x240"
    std::string FrameAspectRatio;
    int GroupPictureSize = -1;
    int VideoBitrate = -1;
    int VideoMaxRate = -1;
    int VideoMinRate = -1;
    int VideoBitrateTolerance = -1;
    int VideoBufferSize = -1;
    int VideoSyncMethod = -1;             // always applied
    std::string VideoTag;
    std::string VideoFilters;
    std::string VideoLanguage;
    std::string SubtitleCodec;
    std::string SubtitlePreset;
    bool DisableSubtitle = false;
    std::string SubtitleLanguage;
    bool InputSync = false;               // always applied
    bool CopyTimestamp = false;
    int64_t StartTime = NoTimestamp;
    int64_t RecordingTime = NoTimestamp;
    TStreamInfo Metadata;
    int TargetType = 0;                   // 0 none, 1 vcd, 2 svcd, 3 dvd
    int NormType = 0;                     // 0 auto, 1 pal, 2 ntsc
    int NormDefault = 1;                  // 1 pal, otherwise ntsc
    bool AudioHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    int HookPixelBits = 24;
    bool Join = false;
    std::string ExtOptions;
    int Reserved2[2] = {0, 0};
};

// One "name=value" line of an ExtOptions text; the name is lower-cased.
struct TExtOption {
    std::string Name, Value;
};
// Trims the text, turns CR LF, CR and the literal "<CRLF>" into line feeds and splits each
// non-empty line at its first "=".
std::vector<TExtOption> ParseExtOptions(const std::string& text);
