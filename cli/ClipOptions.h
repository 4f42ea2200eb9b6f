#pragma once
// The per-slide clip options of the command line: --clip-in N=S, --clip-out N=S and
// --clip-sound N=mix|mute|alone, where N is the slide's number (from 1) in the order shown,
// after --sort, and the slide must be a video clip.

#include "app/document/SlideshowDocument.h"

#include <string>
#include <vector>

struct TClipOption {
    std::string Option;  // "--clip-in", "--clip-out" or "--clip-sound"
    int Slide = 0;       // from 1
    std::string Value;   // seconds or the sound's name
};

bool IsClipOption(const std::string& option);
// Reads the option's "N=VALUE" text; throws TUsageError for any other form.
TClipOption ReadClipOption(const std::string& option, const std::string& text);
// Sets the clip values of slides, in the order the options were given; throws
// std::runtime_error naming the option when its slide is none or no clip, or when an out point
// would come before its in point.
void ApplyClipOptions(std::vector<TSlide>& slides, const std::vector<TClipOption>& options);
