#pragma once
// The parameter string of the "frameinput" format: items "key=value" separated by ";".
//
// Keys are compared without regard to case, unknown keys and empty items are ignored and a later
// item overrides an earlier one:
//   adapter (a)        decimal id of a live TFrameInputAdapter
//   framerate (r)      "N/D" (or "N:D"): the frame rate; stored turned over as the time base
//   framesize (s)      "W*H" (or "WxH")
//   bitsperpixel (bpp) 8, 16, 24 or 32 for the bitmap input types
//   inputtype (t)      "dc", "data", "canvas"; anything else selects YUV
//   pixelformat (pf)   a libavutil pixel format name (YUV type; the bitmap types derive theirs)
//   keyspan (ks)       whole seconds, 0 (the default) or more: with N > 0 a bitmap frame that
//                      repeats the one before is left out, so that the frame before lasts
//                      longer, unless it is the first frame of a new N-second span of show time
//                      (a seek needs a picture there); the last frame before the end is always
//                      delivered, so the stream keeps its length

#include "frameinput/FrameInputInfo.h"

#include <string>

struct TFrameInputParams {
    int AdapterId = 0;
    AVRational TimeBase{0, 0};
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
    TFrameInputType InputType = itYUV;
    int PixelFormat = AV_PIX_FMT_YUV420P;
    int KeySpanSeconds = 0; // 0: every frame is delivered
};

// Both return 0 or a negative AVERROR; on failure error holds the log line (ending in "\n").
// The pixel format lookup needs libavutil bound.
int ParseFrameInputParams(const std::string& text, TFrameInputParams& params, std::string& error);
// Checks the parsed values in a fixed order and, for the bitmap types, sets PixelFormat from
// BitsPerPixel.
int ValidateFrameInputParams(TFrameInputParams& params, std::string& error);

// Bytes per row, padded to a multiple of 32 bits.
int PaddedLineSize(int width, int bitsPerPixel);

// Builds the string the application hands to the engine from the window's texts: the frame
// rate as "30:1" or "30/1", the frame size as "320x240" or "320*240" (both passed on as they
// are otherwise, so a malformed text fails when the input is opened, with a clear error).
std::string FrameInputParamString(int adapterId, const std::string& frameRate,
                                  const std::string& frameSize, int bitsPerPixel = 32,
                                  const std::string& inputType = "Canvas");
// The same with repeated frames left out between spans of keySpanSeconds (see "keyspan").
std::string HeldFrameInputParamString(int adapterId, const std::string& frameRate,
                                      const std::string& frameSize, int keySpanSeconds);
