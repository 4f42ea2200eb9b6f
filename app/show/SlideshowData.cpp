#include "app/show/SlideshowData.h"

#include "app/pictures/FileKind.h"

TSlide PlainSlide(const std::string& picture) {
    TSlide slide;
    slide.Picture = picture;
    return slide;
}

bool TSlide::IsPlain() const {
    return *this == PlainSlide(Picture);
}

bool TSlideshowData::operator==(const TSlideshowData& other) const {
    return Slides == other.Slides && Soundtracks == other.Soundtracks && Output == other.Output &&
           CaptionSubtitles == other.CaptionSubtitles && CaptionStyle == other.CaptionStyle &&
           CaptionFadeSeconds == other.CaptionFadeSeconds;
}

std::string NotAFileProblems(const TSlideshowData& data) {
    std::string text;
    auto add = [&](const std::string& what, std::size_t index, const std::string& path) {
        if (std::string why = NotAFileText(path); !why.empty())
            text += (text.empty() ? "" : "\n") + what + " " + std::to_string(index + 1) + ": " + why;
    };
    for (std::size_t k = 0; k < data.Slides.size(); ++k)
        add("slide", k, data.Slides[k].Picture);
    for (std::size_t k = 0; k < data.Soundtracks.size(); ++k)
        add("soundtrack", k, data.Soundtracks[k].File);
    return text;
}
