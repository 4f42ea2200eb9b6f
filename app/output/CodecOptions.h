#pragma once
// Encoder options of the rows of today's codecs (H.264, H.265, VP9, AV1): constant quality or
// bit rate, speed preset, the H.264 level that fits the frame, and the sizes they refuse.

#include "app/output/ContainerTable.h"

#include <string>

// The lowest H.264 level (10 x level: 31 for 3.1) whose frame-size and macroblock-rate limits
// hold the frame at that rate; 62 beyond every level.
int H264LevelFor(int width, int height, double framesPerSecond);

// Option lines ("name=value", one a line) for the row's encoder: the fixed ones, the speed
// preset, "crf=N" when crf >= 0 (constant quality; the caller then sets no bit rate) and the
// level for H.264.
std::string QualityOptionLines(const TQualityCodec& codec, TSpeedPreset preset, int crf, int width, int height,
                               double framesPerSecond);

// Why the row cannot encode a frame of that size ("" when it can): 4:2:0 codecs need even sides.
std::string FrameSizeProblem(const TContainerRow& row, int width, int height);
// Why crf is no quality of the row's codec ("" when it is one, or the row takes none).
std::string QualityProblem(const TContainerRow& row, int crf);
