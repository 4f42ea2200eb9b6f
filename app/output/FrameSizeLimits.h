#pragma once
// Which frame sizes the video encoder of each container row can take, checked before any frame
// bitmap is made: a mistyped size must not take the machine's memory (or throw out of Start)
// before the encoder would have refused it anyway.
//
// One row per container row; a row added to the container table adds its limits here. A row
// without an entry gets only the limits every encoder has.

#include <string>


struct TFrameSizeLimits {
    const char* Row;       // the container row's name
    const char* Encoder;   // the encoder named in the reason
    int MaxSide;           // the largest width and height, 0 for no limit of its own
    int WidthMultiple;     // the width must be a multiple of this (1: any)
    int HeightMultiple;
    int MinSide = 0;              // the smallest width and height the encoder opens with, 0: 1
    int MaxHeight = 0;            // when the height has a bound of its own below MaxSide
    int NarrowBelow = 0;          // a side shorter than this allows the other at most
    int NarrowLongest = 0;        // this many pixels (0: no such rule)
};

// The frame size the slideshow draws for a size text: the number before the first "x" and the
// one after it, 320 for a part that is no number.
struct TFrameSize {
    int Width = 320;
    int Height = 320;
    bool operator==(const TFrameSize&) const = default;
    std::string Text() const; // "WxH"
};
TFrameSize SlideshowFrameSize(const std::string& text);
// "WxH" with two whole numbers (blanks around the text allowed); false when text is none. Whether
// an encoder takes the size is FrameSizeRefusal's to say.
bool ParseFrameSize(const std::string& text, TFrameSize& size);

// The limits of the row of that name, or nullptr.
const TFrameSizeLimits* FindFrameSizeLimits(const std::string& row);

// Why the encoder cannot take a width x height frame ("" when it can). limits may be nullptr:
// then only the limits of every encoder apply (above zero, and a picture of at most a quarter
// of a gigapixel, which is where FFmpeg's own size check ends).
std::string FrameSizeRefusal(const TFrameSizeLimits* limits, int width, int height);
// The same for a container row's name and a frame size, or a size text as the slideshow reads it.
std::string FrameSizeRefusal(const std::string& row, const TFrameSize& size);
std::string FrameSizeRefusal(const std::string& row, const std::string& sizeText);
