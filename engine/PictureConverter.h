#pragma once
// A fast conversion of the frame input's pictures (32-bit B, G, R, X) into the planar
// 4:2:0 YUV that the slideshow's encoders take, at the same size. General conversions and
// scaling stay with libswscale; this one runs for every changing picture of a slideshow and
// costs a fraction of the general path.

#include "medialib/FFApi.h"

// True when ConvertPicture can convert from `in` to a picture of that size and format.
bool FastConversionApplies(const AVFrame* in, int width, int height, AVPixelFormat format);
// BT.601 studio range (Y 16..235, U and V 16..240); chroma is the mean of each 2x2 block.
// With AVX2 (unless allowVector is false) sixteen pixels at a time, to the same values.
void ConvertBgraToYuv420p(const AVFrame* in, AVFrame* out, bool allowVector = true);
