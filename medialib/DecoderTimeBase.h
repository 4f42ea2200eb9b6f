#pragma once
// The codec time base of each video stream of an input, as its decoder reads it from the
// stream's own timing: one tick per field for H.264 and MPEG-1/2 video (1/50 for 25 frames a
// second), the time resolution of MPEG-4 video. Today's demuxers no longer hand a codec time base
// out, and a decoder learns it only from the first picture it decodes, so this reads the file
// again on a demuxer of its own: the input's own context keeps its read position for the job.

#include "medialib/FFApi.h"

#include <vector>

// One entry per stream of ic, {0, 1} where no time base is known: not a video stream, a codec
// without timing of its own (VP9, MJPEG, ...), an input that is not a regular file (the frame
// input, a pipe, a unicode: name), or a file that gives no picture in the first packets.
std::vector<AVRational> DecoderTimeBases(const AVFormatContext* ic);
