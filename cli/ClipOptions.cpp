#include "cli/ClipOptions.h"

#include "app/output/FrameCount.h"
#include "app/clips/ClipSlides.h"
#include "cli/Args.h"

#include <stdexcept>

namespace {
std::string Given(const TClipOption& o) { return o.Option + " " + std::to_string(o.Slide) + "=" + o.Value; }
} // namespace

bool IsClipOption(const std::string& option) {
    return option == "--clip-in" || option == "--clip-out" || option == "--clip-sound";
}

TClipOption ReadClipOption(const std::string& option, const std::string& text) {
    const std::string form = option == "--clip-sound" ? "N=mix, N=mute or N=alone" : "N=SECONDS";
    const std::size_t eq = text.find('=');
    double slide = 0;
    if (eq == std::string::npos || !ParseDecimalNumber(text.substr(0, eq), slide) || slide != int(slide) || slide < 1)
        throw TUsageError(option + " takes " + form + " (N the slide's number from 1), not \"" + text + "\"");
    TClipOption o{option, int(slide), text.substr(eq + 1)};
    if (option == "--clip-sound") {
        TClipSound sound;
        if (!FindClipSound(o.Value, sound))
            throw TUsageError(option + " takes mix, mute or alone, not \"" + o.Value + "\"");
    } else {
        double seconds = 0;
        if (!ParseDecimalNumber(o.Value, seconds) || seconds < 0)
            throw TUsageError(option + " takes seconds of 0 or more, not \"" + o.Value + "\"");
    }
    return o;
}

void ApplyClipOptions(std::vector<TSlide>& slides, const std::vector<TClipOption>& options) {
    for (const TClipOption& o : options) {
        if (o.Slide > int(slides.size()))
            throw std::runtime_error(Given(o) + ": there is no slide " + std::to_string(o.Slide) + " (the slideshow has " +
                                     std::to_string(slides.size()) + ")");
        TSlide& slide = slides[std::size_t(o.Slide - 1)];
        if (!IsClipSlide(slide))
            throw std::runtime_error(Given(o) + ": slide " + std::to_string(o.Slide) + " (" + slide.Picture +
                                     ") is no video clip");
        double seconds = 0;
        ParseDecimalNumber(o.Value, seconds);
        if (o.Option == "--clip-in")
            slide.Clip.In = seconds;
        else if (o.Option == "--clip-out")
            slide.Clip.Out = seconds;
        else
            FindClipSound(o.Value, slide.Clip.Sound);
    }
    for (std::size_t k = 0; k < slides.size(); ++k) {
        const TSlideClip& clip = slides[k].Clip;
        if (clip.In && clip.Out && !(*clip.Out > *clip.In))
            throw std::runtime_error("slide " + std::to_string(k + 1) + ": the clip's out point (" + SecondsText(*clip.Out) +
                                     " s) must come after its in point (" + SecondsText(*clip.In) + " s)");
    }
}
