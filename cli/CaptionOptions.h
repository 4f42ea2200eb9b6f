#pragma once
// The command line's caption and title options: --caption-style KEY=VALUE,... (the show's style,
// over the project's), --caption-fade S, --title TEXT (a title slide before the first picture),
// --end-title TEXT (one after the last) and --title-background COLOUR|COLOUR-COLOUR|blur for
// both (blur takes the first or the last picture).

#include "app/document/SlideshowDocument.h"
#include "cli/Args.h"

#include <optional>
#include <string>

struct TCaptionOptions {
    std::optional<TCaptionStyle> Style;
    std::optional<double> FadeSeconds;
    std::optional<std::string> Title, EndTitle;
    TSlideTitle Background{true};
};

// Takes option (and its value) when it is one of these; base is the style --caption-style
// changes (the project's). Throws TUsageError naming the option for a value that does not fit.
bool ReadCaptionOption(TArgs& args, const std::string& option, const TCaptionStyle& base, TCaptionOptions& options);
// Sets the style and fade of data and adds the title slides (after any sorting). Throws
// TUsageError when a blurred title has no picture to blur.
void ApplyCaptionOptions(TSlideshowData& data, const TCaptionOptions& options);
