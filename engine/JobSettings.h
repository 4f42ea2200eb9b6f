#pragma once
// The settings of one job: every engine option lands in a plain field here, so the open and
// transcode stages read fields, never option strings. Defaults are the member initialisers.

#include "medialib/FFApi.h"

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr int64_t NoTimestamp = INT64_MIN; // the FFmpeg no-timestamp value
constexpr int MaxStreams = 20;

struct TStreamMap {
    int File = 0, Stream = 0, SyncFile = 0, SyncStream = 0;
};

// One side of a metadata map: a file and which of its dictionaries ('g' the file's own, 's'
// a stream's, 'c' a chapter's, 'p' a program's, with Index saying which).
struct TMetadataSpec {
    int File = 0;
    char Type = 'g';
    int Index = 0;
};

struct TMetadataMap {
    TMetadataSpec Out, In;
};

// Chapters of input In go to output Out; a negative index on either side copies none.
struct TChapterMap {
    int In = 0, Out = 0;
};

struct TJobSettings {
    // Container and timing.
    std::string ForcedFormat;                 // "f", pending
    int64_t StartTime = 0;                    // "ss", microseconds
    int64_t RecordingTime = INT64_MAX;        // "t"
    int64_t InputTsOffset = 0;                // "itsoffset"
    int64_t RecordingTimestamp = 0;           // "timestamp", seconds
    int64_t LimitFileSize = 0;                // "fs", bytes
    std::vector<std::pair<std::string, std::string>> Metadata; // "metadata", pending

    // Video.
    AVRational FrameRate{25, 0};              // "r"
    int FrameWidth = 0, FrameHeight = 0;      // "s"
    double FrameAspectRatio = 0;              // "aspect"
    AVPixelFormat FramePixFmt = AV_PIX_FMT_NONE; // "pix_fmt", pending
    std::string VideoCodecName;               // "vcodec", pending
    bool VideoStreamCopy = false;
    bool VideoDisable = false;                // "vn", pending
    float VideoQScale = 0;                    // "qscale"
    bool IntraOnly = false;                   // "intra"
    bool Psnr = false;                        // "psnr"
    bool SameQuant = false;                   // "sameq"
    int VideoDiscard = 0;                     // "vdt"
    int TopFieldFirst = -1;                   // "top"
    int IntraDcPrecision = 8;                 // "dc"
    bool ForceFps = false;                    // "force_fps"
    std::string ForcedKeyFrames;              // "force_key_frames", pending
    std::string RcOverride;                   // "rc_override"
    std::string VideoFilters;                 // "vf", "vfilters"
    bool Deinterlace = false;                 // "deinterlace"
    int MeThreshold = 0;                      // "me_threshold": keep the source's picture types
    bool QpHist = false;                      // "qphist"
    std::string VStatsFile;                   // "vstats", "vstats_file"
    std::string VaapiDevice;                  // "vaapi_device": render node of the VAAPI encoders
    std::vector<uint16_t> IntraMatrix, InterMatrix;
    std::string VideoLanguage;                // "vlang"
    uint32_t VideoTag = 0;                    // "vtag"
    int VideoGlobalHeader = 0;                // "vglobal"
    int VideoChannel = 0;                     // "vc"
    std::string TvStandard;                   // "tvstd"

    // Audio.
    int AudioSampleRate = 44100;              // "ar"
    int AudioChannels = 2;                    // "ac"
    AVSampleFormat AudioSampleFmt = AV_SAMPLE_FMT_NONE; // "sample_fmt"
    std::string AudioCodecName;               // "acodec", pending
    bool AudioStreamCopy = false;
    bool AudioDisable = false;                // "an", pending
    float AudioQScale = -99999;               // "aq"
    int AudioVolume = 256;                    // "vol"
    std::string AudioLanguage;                // "alang"
    uint32_t AudioTag = 0;                    // "atag"
    int AudioSync = 0;                        // "async"
    double AudioDriftThreshold = 0.1;         // "adrift_threshold"

    // Subtitles.
    std::string SubtitleCodecName;            // "scodec", pending
    bool SubtitleStreamCopy = false;
    bool SubtitleDisable = false;             // "sn", pending
    std::string SubtitleLanguage;             // "slang"
    uint32_t SubtitleTag = 0;                 // "stag"

    // Run.
    int MaxFrames[3] = {INT_MAX, INT_MAX, INT_MAX}; // "vframes", "aframes", "dframes"
    int VideoSync = -1;                       // "vsync"
    double DtsDeltaThreshold = 10;            // "dts_delta_threshold", seconds
    float MuxMaxDelay = 0.7f, MuxPreload = 0.5f;
    int ThreadCount = 1;                      // "threads"
    int Verbose = 1;                          // "v"
    int DoPass = 0;                           // "pass"
    std::string PassLogFile;                  // "passlogfile"
    int ProgramId = -1;                       // "programid"
    bool CopyTs = false, CopyTb = false, Shortest = false, ExitOnError = false, CopyInitialNonKeyframes = false;
    bool RateEmulation = false, DumpPackets = false, DumpHex = false, InputSync = false;
    int LoopInput = 0, LoopOutput = -1;
    bool LoopOutputGiven = false;             // the muxer's own default otherwise

    // Tables.
    std::map<int, double> TsScale;              // "itsscale": stream -> scale, for the next input
    std::vector<TStreamMap> StreamMaps;         // "map"
    std::vector<TMetadataMap> MetadataMaps;     // "map_meta_data"
    std::vector<TChapterMap> ChapterMaps;       // "map_chapters"
    // What run preparation copies without being asked; a metadata map of that kind switches
    // the default off for the whole job.
    bool MetadataGlobalAutocopy = true, MetadataStreamsAutocopy = true, MetadataChaptersAutocopy = true;
    std::map<int, int> StreamIds;               // "streamid": output stream index -> id
    std::vector<std::string> BitstreamFilters[3]; // "vbsf", "absf", "sbsf" (pending per kind)
};
