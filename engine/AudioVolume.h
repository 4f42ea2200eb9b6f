#pragma once
// The "vol" stage of the audio path: 256 leaves the samples alone, 512 doubles them.

#include "medialib/FFApi.h"

// Scales every sample of a decoded block in place, clipped to the range of its format. Signed
// 16-bit samples follow (sample x volume + 128) >> 8; float samples are scaled by volume / 256
// and clipped to -1..1. The frame must be writable.
void ApplyVolume(AVFrame* frame, int volume);
