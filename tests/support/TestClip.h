#pragma once
// Video clips made for tests with the ffmpeg program: pictures that carry their own frame
// number, so a test can read back which clip picture a frame shows.
//
// The number is drawn in binary across the top half of the picture: bit i is column i of
// eight equal columns, white for 1, black for 0; the bottom half is mid grey.

#include "effects/FrameBitmap.h"

#include <cstdint>
#include <string>
#include <vector>

struct TTestClip {
    int Width = 320, Height = 240;
    int Rate = 30;              // pictures a second
    double Seconds = 3;
    bool Tone = true;           // a 1 kHz tone as the sound
    std::string Codec = "libx264";
    std::string Extra;          // further ffmpeg output options (metadata, tags, ...)
    std::string Filter;         // appended to the picture's filter chain (",setpts=...")
    int Rotate = 0;             // "rotate" metadata set afterwards (a display matrix in the file)
};

// Makes the clip; false with ffmpeg's output in error.
bool MakeTestClip(const std::string& file, const TTestClip& clip, std::string& error);

// The frame number shown in a frame whose picture sits at (left, top) with the size width x
// height; -1 when a column is neither clearly black nor clearly white.
int ReadClipCounter(const TFrameBitmap& frame, int left, int top, int width, int height);
// The same from an 8-bit grey picture of width x height (rows of width bytes).
int ReadClipCounter(const std::uint8_t* grey, int stride, int left, int top, int width, int height);
