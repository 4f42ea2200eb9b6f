#include "app/output/CodecOptions.h"

#include <cstdint>

namespace {
struct TLevelLimit {
    int Level;
    std::int64_t MaxFrameMbs;   // macroblocks in one frame
    std::int64_t MaxMbsPerSecond;
};
// The frame-size and processing-rate limits of the H.264 levels.
constexpr TLevelLimit Levels[] = {
    {10, 99, 1485},        {11, 396, 3000},       {12, 396, 6000},       {13, 396, 11880},
    {20, 396, 11880},      {21, 792, 19800},      {22, 1620, 20250},     {30, 1620, 40500},
    {31, 3600, 108000},    {32, 5120, 216000},    {40, 8192, 245760},    {42, 8704, 522240},
    {50, 22080, 589824},   {51, 36864, 983040},   {52, 36864, 2073600},  {60, 139264, 4177920},
    {61, 139264, 8355840}, {62, 139264, 16711680},
};
} // namespace

int H264LevelFor(int width, int height, double framesPerSecond) {
    const std::int64_t wide = (std::int64_t(width) + 15) / 16, high = (std::int64_t(height) + 15) / 16;
    const std::int64_t frameMbs = wide * high;
    for (const TLevelLimit& l : Levels) {
        // Neither side may be longer than the square root of eight frames' worth.
        const bool sides = wide * wide <= 8 * l.MaxFrameMbs && high * high <= 8 * l.MaxFrameMbs;
        if (sides && frameMbs <= l.MaxFrameMbs && double(frameMbs) * framesPerSecond <= double(l.MaxMbsPerSecond))
            return l.Level;
    }
    return Levels[std::size(Levels) - 1].Level;
}

std::string QualityOptionLines(const TQualityCodec& codec, TSpeedPreset preset, int crf, int width, int height,
                               double framesPerSecond) {
    std::string lines = codec.Options;
    if (const char* p = preset >= 0 && preset < SpeedPresetCount ? codec.Presets[preset] : nullptr)
        lines += std::string("\n") + p;
    if (crf >= 0)
        lines += "\ncrf=" + std::to_string(crf);
    if (crf == 0 && codec.LosslessOptions)
        lines += std::string("\n") + codec.LosslessOptions; // after the profile it replaces
    if (codec.H264Level)
        lines += "\nvlevel=" + std::to_string(H264LevelFor(width, height, framesPerSecond));
    return lines;
}

std::string FrameSizeProblem(const TContainerRow& row, int width, int height) {
    if (!row.Quality || !row.Quality->EvenSize || (width % 2 == 0 && height % 2 == 0))
        return "";
    const char* side = width % 2 && height % 2 ? "width and height" : width % 2 ? "width" : "height";
    return "the frame size " + std::to_string(width) + "x" + std::to_string(height) + " has an odd " + side + ": " +
           row.Quality->Label + " needs an even width and height";
}

std::string QualityProblem(const TContainerRow& row, int crf) {
    if (!row.Quality || crf <= row.Quality->MaxCrf) // below 0: the row's default
        return "";
    return "the quality " + std::to_string(crf) + " is out of range for " + row.Quality->Label + " (0 to " +
           std::to_string(row.Quality->MaxCrf) + ", lower is better)";
}
