#include "app/clips/ClipSlides.h"

#include "app/output/FrameCount.h"
#include "app/output/FrameSizeLimits.h"
#include "app/clips/ClipDecoder.h"
#include "app/clips/ClipFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {
std::string SecondsShown(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", s);
    return text;
}
} // namespace

bool IsClipSlide(const TSlide& slide) { return !slide.Picture.empty() && IsClipFile(slide.Picture); }

double ClipPlaySeconds(const TSlide& slide) {
    if (!IsClipSlide(slide))
        return 0;
    TClipInfo info;
    std::string why;
    if (!ProbeClip(slide.Picture, info, why))
        return 0;
    const double in = slide.Clip.In.value_or(0);
    const double out = std::min(slide.Clip.Out.value_or(info.Duration), info.Duration);
    return std::max(out - in, 0.0);
}

int ClipHoldFrames(const TFrameRate& frameRate, const TSlide& slide) {
    const double seconds = ClipPlaySeconds(slide);
    return seconds > 0 ? FrameCount(frameRate, seconds) : 0;
}

std::string ClipProblems(const TSlideshowData& data) {
    for (std::size_t k = 0; k < data.Slides.size(); ++k) {
        const TSlide& slide = data.Slides[k];
        if (!IsClipSlide(slide))
            continue;
        const std::string where = "Slide " + std::to_string(k + 1) + ": ";
        TClipInfo info;
        std::string why;
        if (!ProbeClip(slide.Picture, info, why))
            return where + why;
        const double in = slide.Clip.In.value_or(0);
        if (in >= info.Duration)
            return where + ClipErrorText(slide.Picture, "its in point " + SecondsShown(in) + " is not before its end at " +
                                                            SecondsShown(info.Duration));
        // A part with nothing to play would leave the slide no clip at all: it would go to the
        // picture reader in the middle of the run.
        if (slide.Clip.Out && !(*slide.Clip.Out > 0))
            return where + ClipErrorText(slide.Picture, "its out point " + SecondsShown(*slide.Clip.Out) +
                                                            " leaves nothing to play");
        if (slide.Clip.Out && !(*slide.Clip.Out > in))
            return where + ClipErrorText(slide.Picture, "its out point " + SecondsShown(*slide.Clip.Out) +
                                                            " is not after its in point " + SecondsShown(in));
    }
    return {};
}

std::vector<TAudioOverlay> ClipAudioOverlaysAt(const TSlideshowData& data, const std::vector<int>& holds) {
    std::vector<TAudioOverlay> overlays;
    const double frame = data.Output.FrameRate.FrameSeconds();
    const long long transition = FrameCount(data.Output.FrameRate, data.Output.TransitionSeconds);
    long long firstHold = transition; // the fade-in comes first
    for (int k = 0; k < int(data.Slides.size()); ++k) {
        const TSlide& slide = data.Slides[std::size_t(k)];
        const int hold = holds.at(std::size_t(k));
        if (slide.Clip.Sound != TClipSound::Mute && IsClipSlide(slide)) {
            TClipInfo info;
            std::string why;
            if (ProbeClip(slide.Picture, info, why) && info.HasAudio) {
                TAudioOverlay overlay;
                overlay.File = slide.Picture;
                overlay.SourceStart = slide.Clip.In.value_or(0);
                overlay.Duration = hold * frame;
                overlay.At = double(firstHold) * frame;
                overlay.DuckMusic = slide.Clip.Sound == TClipSound::Mix;
                overlay.MusicSilent = slide.Clip.Sound == TClipSound::Alone;
                overlays.push_back(overlay);
            }
        }
        firstHold += hold + transition;
    }
    return overlays;
}

TClipSlides::TClipSlides(std::shared_ptr<const TSlideshowData> data, int frameWidth, int frameHeight)
    : data_(std::move(data)), frameWidth_(frameWidth), frameHeight_(frameHeight) {
    const TSlideshowSettings& out = data_->Output;
    transitionFrames_ = FrameCount(out.FrameRate, out.TransitionSeconds);
    frameSeconds_ = out.FrameRate.FrameSeconds();
    for (const TSlide& slide : data_->Slides)
        holds_.push_back(ClipHoldFrames(out.FrameRate, slide));
}

TClipSlides::~TClipSlides() = default;

bool TClipSlides::IsClip(int k) const { return k >= 0 && k < int(holds_.size()) && holds_[std::size_t(k)] > 0; }

int TClipSlides::Decoders() const {
    std::lock_guard<std::mutex> lock(lock_);
    return int(decoders_.size());
}

TClipDecoder& TClipSlides::DecoderOf(int k) {
    auto it = decoders_.find(k);
    if (it != decoders_.end())
        return *it->second;
    const TSlide& slide = data_->Slides[std::size_t(k)];
    TClipPlayback playback;
    playback.File = slide.Picture;
    playback.In = slide.Clip.In.value_or(0);
    playback.Duration = ClipPlaySeconds(slide);
    playback.FrameWidth = frameWidth_;
    playback.FrameHeight = frameHeight_;
    playback.Framing = data_->Output.Framing;
    auto decoder = std::make_unique<TClipDecoder>(playback);
    decoder->Start();
    return *decoders_.emplace(k, std::move(decoder)).first->second;
}

void TClipSlides::LetGoBefore(int k) {
    // Destroying a decoder waits for its thread: done outside the lock would not matter (one
    // drawing thread), but the map is changed here, so under it.
    for (auto it = decoders_.begin(); it != decoders_.end() && it->first < k;)
        it = decoders_.erase(it);
}

void TClipSlides::Draw(int k, int frame, TFrameBitmap& bitmap) {
    if (!IsClip(k))
        return;
    std::unique_lock<std::mutex> lock(lock_);
    LetGoBefore(k - 1);
    TClipDecoder& decoder = DecoderOf(k);
    lock.unlock();
    // Own frames: the transition in, then the hold, then the transition out.
    const int hold = holds_[std::size_t(k)];
    const int h = std::clamp(frame - transitionFrames_, 0, hold - 1);
    decoder.ShowAt(h * frameSeconds_, bitmap);
}

void TClipSlides::SlideShown(int k) {
    std::lock_guard<std::mutex> lock(lock_);
    LetGoBefore(k - 1);
    if (IsClip(k + 1))
        DecoderOf(k + 1);
}

void InstallClipSlides(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data) {
    bool any = false;
    for (const TSlide& slide : data->Slides)
        any = any || IsClipSlide(slide);
    if (!any)
        return;
    const TFrameSize size = SlideshowFrameSize(data->Output.FrameSize);
    auto clips = std::make_shared<TClipSlides>(data, size.Width, size.Height);
    auto moves = sequencer.SlideMoves;
    auto draw = sequencer.DrawSlide;
    auto loaded = sequencer.PictureLoaded;
    sequencer.SlideMoves = [clips, moves](int k) { return clips->IsClip(k) || (moves && moves(k)); };
    sequencer.DrawSlide = [clips, draw](int k, int frame, TFrameBitmap& bitmap) {
        if (clips->IsClip(k))
            clips->Draw(k, frame, bitmap);
        else if (draw)
            draw(k, frame, bitmap);
    };
    // Every slide coming on screen passes here (the moving ones on each of their frames).
    int lastShown = -1;
    sequencer.PictureLoaded = [clips, loaded, lastShown](int k, TFrameBitmap& frame) mutable {
        if (k != lastShown) {
            lastShown = k;
            clips->SlideShown(k);
        }
        if (loaded)
            loaded(k, frame);
    };
}
