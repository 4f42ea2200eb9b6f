#include "app/SlideshowDocument.h"

#include "effects/Effects.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {
bool SameSettings(const TSlideshowSettings& a, const TSlideshowSettings& b) { return a == b; }

void CheckSlide(const TSlide& slide) {
    if (slide.Effect && (*slide.Effect < SlideEffectRandom || *slide.Effect > EffectCount))
        throw std::out_of_range("effect " + std::to_string(*slide.Effect) + " is not 1 to " +
                                std::to_string(EffectCount) + " or random");
    if (slide.HoldSeconds && !(std::isfinite(*slide.HoldSeconds) && *slide.HoldSeconds >= 0))
        throw std::out_of_range("a hold takes seconds of 0 or more");
    const TSlideClip& clip = slide.Clip;
    for (const std::optional<double>& point : {clip.In, clip.Out})
        if (point && !(std::isfinite(*point) && *point >= 0))
            throw std::out_of_range("a clip's in and out points are seconds of 0 or more");
    if (clip.In && clip.Out && !(*clip.Out > *clip.In))
        throw std::out_of_range("a clip's out point must come after its in point");
}
} // namespace

TSlide PlainSlide(const std::string& picture) {
    TSlide slide;
    slide.Picture = picture;
    return slide;
}

bool TSlide::IsPlain() const {
    return *this == PlainSlide(Picture);
}

bool TSlideshowData::operator==(const TSlideshowData& other) const {
    return Slides == other.Slides && Soundtracks == other.Soundtracks && SameSettings(Output, other.Output) &&
           CaptionSubtitles == other.CaptionSubtitles && CaptionStyle == other.CaptionStyle &&
           CaptionFadeSeconds == other.CaptionFadeSeconds;
}

TSlideshowDocument::TSlideshowDocument(TSlideshowData data) : data_(std::move(data)) {
    data_.Output.Pictures.clear();
    data_.Output.Audio.clear();
    data_.Output.MoreAudio.clear();
}

TSlideshowDocument::TSlideshowDocument(const TSlideshowDocument& other)
    : ProjectFile(other.ProjectFile), data_(other.data_), version_(other.version_), modified_(other.modified_) {}

TSlideshowDocument& TSlideshowDocument::operator=(const TSlideshowDocument& other) {
    if (this != &other) {
        Assign(other.data_);
        ProjectFile = other.ProjectFile;
        modified_ = other.modified_;
    }
    return *this;
}

TSlideshowDocument TSlideshowDocument::FromSettings(const TSlideshowSettings& settings) {
    TSlideshowData data;
    for (const std::string& picture : settings.Pictures)
        data.Slides.push_back(PlainSlide(picture));
    if (!settings.Audio.empty())
        data.Soundtracks.push_back(TSoundtrack{settings.Audio});
    for (const std::string& more : settings.MoreAudio)
        data.Soundtracks.push_back(TSoundtrack{more});
    data.Output = settings;
    return TSlideshowDocument(std::move(data));
}

TSlideshowSettings TSlideshowDocument::SettingsForJob() const {
    TSlideshowSettings settings = data_.Output;
    settings.Pictures.clear();
    for (const TSlide& slide : data_.Slides)
        settings.Pictures.push_back(slide.Picture);
    settings.Audio = data_.Soundtracks.empty() ? std::string() : data_.Soundtracks.front().File;
    settings.MoreAudio.clear();
    for (std::size_t i = 1; i < data_.Soundtracks.size(); ++i)
        settings.MoreAudio.push_back(data_.Soundtracks[i].File);
    return settings;
}

template <class Edit> void TSlideshowDocument::Change(const TDocumentChange& change, Edit&& edit) {
    // A copy: a listener may unsubscribe while it is told.
    const std::vector<TListener> listeners = listeners_;
    for (const TListener& l : listeners)
        if (l.Before)
            l.Before(change);
    edit();
    ++version_;
    modified_ = true;
    for (const TListener& l : listeners)
        if (l.After)
            l.After(change);
}

void TSlideshowDocument::InsertSlides(int at, std::vector<TSlide> slides) {
    if (slides.empty())
        return;
    for (const TSlide& slide : slides)
        CheckSlide(slide);
    at = std::clamp(at, 0, SlideCount());
    TDocumentChange change{TDocumentChange::SlidesInserted, at, int(slides.size())};
    Change(change, [&] {
        data_.Slides.insert(data_.Slides.begin() + at, std::make_move_iterator(slides.begin()),
                            std::make_move_iterator(slides.end()));
    });
}

void TSlideshowDocument::AppendPictures(const std::vector<std::string>& pictures) {
    std::vector<TSlide> slides;
    for (const std::string& picture : pictures)
        slides.push_back(PlainSlide(picture));
    InsertSlides(SlideCount(), std::move(slides));
}

void TSlideshowDocument::RemoveSlides(int first, int count) {
    first = std::max(first, 0);
    count = std::min(count, SlideCount() - first);
    if (count <= 0)
        return;
    Change({TDocumentChange::SlidesRemoved, first, count}, [&] {
        data_.Slides.erase(data_.Slides.begin() + first, data_.Slides.begin() + first + count);
    });
}

void TSlideshowDocument::RemoveSlides(std::vector<int> positions) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    positions.erase(std::remove_if(positions.begin(), positions.end(),
                                   [&](int p) { return p < 0 || p >= SlideCount(); }),
                    positions.end());
    while (!positions.empty()) {
        // The last contiguous block first, so the positions before it stay valid.
        std::size_t start = positions.size() - 1;
        while (start > 0 && positions[start - 1] == positions[start] - 1)
            --start;
        RemoveSlides(positions[start], int(positions.size() - start));
        positions.resize(start);
    }
}

void TSlideshowDocument::MoveSlides(int first, int count, int destination) {
    if (first < 0 || count <= 0 || first + count > SlideCount() || destination < 0 || destination > SlideCount())
        return;
    if (destination >= first && destination <= first + count)
        return;
    Change({TDocumentChange::SlidesMoved, first, count, destination}, [&] {
        auto begin = data_.Slides.begin();
        if (destination < first)
            std::rotate(begin + destination, begin + first, begin + first + count);
        else
            std::rotate(begin + first, begin + first + count, begin + destination);
    });
}

void TSlideshowDocument::ClearSlides() {
    RemoveSlides(0, SlideCount());
}

void TSlideshowDocument::EditSlide(int index, const std::function<void(TSlide&)>& edit) {
    if (index < 0 || index >= SlideCount())
        return;
    TSlide slide = data_.Slides[std::size_t(index)];
    edit(slide);
    CheckSlide(slide);
    if (slide == data_.Slides[std::size_t(index)])
        return;
    Change({TDocumentChange::SlidesEdited, index, 1}, [&] { data_.Slides[std::size_t(index)] = std::move(slide); });
}

void TSlideshowDocument::SetSlide(int index, TSlide slide) {
    EditSlide(index, [&](TSlide& s) { s = std::move(slide); });
}

void TSlideshowDocument::SetHold(int index, std::optional<double> seconds) {
    EditSlide(index, [&](TSlide& s) { s.HoldSeconds = seconds; });
}

void TSlideshowDocument::SetEffect(int index, std::optional<int> effect) {
    EditSlide(index, [&](TSlide& s) { s.Effect = effect; });
}

void TSlideshowDocument::SetCaption(int index, const std::string& caption) {
    EditSlide(index, [&](TSlide& s) { s.Caption = caption; });
}

void TSlideshowDocument::SetCaptionDateTaken(int index, bool on) {
    EditSlide(index, [&](TSlide& s) { s.CaptionDateTaken = on; });
}

void TSlideshowDocument::SetPicture(int index, const std::string& picture) {
    EditSlide(index, [&](TSlide& s) { s.Picture = picture; });
}

void TSlideshowDocument::SetClip(int index, TSlideClip clip) {
    EditSlide(index, [&](TSlide& s) { s.Clip = clip; });
}

void TSlideshowDocument::SetMotion(int index, const TSlideMotion& motion) {
    EditSlide(index, [&](TSlide& s) { s.Motion = motion; });
}

void TSlideshowDocument::SetSoundtracks(std::vector<TSoundtrack> soundtracks) {
    if (soundtracks == data_.Soundtracks)
        return;
    Change({TDocumentChange::SoundtracksChanged}, [&] { data_.Soundtracks = std::move(soundtracks); });
}

void TSlideshowDocument::SetOutput(TSlideshowSettings output) {
    output.Pictures.clear();
    output.Audio.clear();
    output.MoreAudio.clear();
    if (SameSettings(output, data_.Output))
        return;
    Change({TDocumentChange::OutputChanged}, [&] { data_.Output = std::move(output); });
}

void TSlideshowDocument::Assign(TSlideshowData data) {
    for (const TSlide& slide : data.Slides)
        CheckSlide(slide);
    data.Output.Pictures.clear();
    data.Output.Audio.clear();
    data.Output.MoreAudio.clear();
    Change({TDocumentChange::Reset}, [&] { data_ = std::move(data); });
}

int TSlideshowDocument::Subscribe(TDocumentListener before, TDocumentListener after) {
    listeners_.push_back({nextListener_, std::move(before), std::move(after)});
    return nextListener_++;
}

void TSlideshowDocument::Unsubscribe(int id) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(), [&](const TListener& l) { return l.Id == id; }),
                     listeners_.end());
}
