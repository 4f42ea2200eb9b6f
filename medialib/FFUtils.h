#pragma once
// Small routines the engine shares with FFmpeg's own tools: error texts, duration texts, media
// type names, timestamp correction and whole-file reading.

#include <cstdint>
#include <string>

// fileName + ": " + the text of an FFmpeg error code ("Error number %d occurred" when unknown).
std::string ErrorText(const std::string& fileName, int code);
// The text of an FFmpeg error code alone.
std::string ErrorCodeText(int code);

// "hh:mm:ss.mmm" of a time in microseconds (hours not limited); "N/A" for AV_NOPTS_VALUE.
std::string DurationText(std::int64_t microseconds);

// "Video", "Audio", "Data", "Subtitle", "Attachment" or "Unknown".
std::string MediaTypeName(int type);

// Chooses between decoding and reordered presentation timestamps by counting which of the two
// stops increasing more often.
struct TPtsCorrection {
    std::int64_t NumFaultyPts = 0;
    std::int64_t NumFaultyDts = 0;
    std::int64_t LastPts = INT64_MIN;
    std::int64_t LastDts = INT64_MIN;
    void Reset() { *this = TPtsCorrection(); }
};
std::int64_t GuessCorrectPts(TPtsCorrection& state, std::int64_t dts, std::int64_t reorderedPts);

// Reads a whole file into a buffer from av_malloc (free it with av_free) with a zero byte after
// the data; size counts that zero byte. 0 on success, -1 when the file cannot be opened or
// measured, -12 when memory is exhausted. avutil must be bound.
int ReadWholeFile(const std::string& fileName, std::uint8_t** buffer, std::int64_t* size);
