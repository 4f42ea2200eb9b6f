#include "app/show/SlideshowData.h"

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
           CaptionSubtitles == other.CaptionSubtitles;
}
