#include "app/playback/PlaybackFrames.h"

#include "app/document/DocumentSequencer.h"
#include "app/clips/ClipSlides.h"
#include "effects/Random.h"

#include <chrono>
#include <stdexcept>

#include <algorithm>

namespace {
// Puts the frames' own generator state in place for a call and back afterwards.
class TOwnRandom {
public:
    explicit TOwnRandom(std::uint32_t& state) : state_(state), saved_(GetRandSeed()) { SetRandSeed(state_); }
    ~TOwnRandom() {
        state_ = GetRandSeed();
        SetRandSeed(saved_);
    }
    TOwnRandom(const TOwnRandom&) = delete;
    TOwnRandom& operator=(const TOwnRandom&) = delete;

private:
    std::uint32_t& state_;
    std::uint32_t saved_;
};
} // namespace

void TPlaybackFrames::Prepare(const TSlideshowData& data, int width, int height) {
    prepared_ = false;
    if (std::string why = ClipProblems(data); !why.empty())
        throw std::runtime_error(why);
    auto copy = std::make_shared<TSlideshowData>(data);
    copy->Output.FrameSize = std::to_string(std::max(width, 2)) + "x" + std::to_string(std::max(height, 2));
    // Random effects without a seed of their own take the player's, so that going back shows
    // the same effects again.
    if (copy->Output.RandomEffects && !copy->Output.Seed)
        copy->Output.Seed = seed_;
    data_ = copy;
    fps_ = data_->Output.FrameRate.PerSecond();
    {
        TOwnRandom own(random_);
        NewSequencer();
        run_ = PrepareSlideshowRun(*sequencer_, *data_);
    }
    slideStarts_.clear();
    holdStarts_.clear();
    long long frame = 0;
    for (int k = 0; k < int(data_->Slides.size()); ++k) {
        slideStarts_.push_back(frame);
        holdStarts_.push_back(frame + sequencer_->TransitionFrames);
        const int own = sequencer_->PictureHoldFrames ? sequencer_->PictureHoldFrames(k) : 0;
        frame += sequencer_->TransitionFrames + (own > 0 ? own : sequencer_->HoldFrames);
    }
    position_ = 0;
    prepared_ = true;
}

int TPlaybackFrames::SlideAt(long long frame) const {
    if (slideStarts_.empty())
        return -1;
    const auto it = std::upper_bound(slideStarts_.begin(), slideStarts_.end(), frame);
    return std::max(0, int(it - slideStarts_.begin()) - 1);
}

void TPlaybackFrames::NewSequencer() {
    sequencer_ = std::make_unique<TSlideshowSequencer>();
    // Sequential effects begin where a job of this process would begin, the first effect.
    sequencer_->EffectNumber = 1;
}

void TPlaybackFrames::Seek(long long frame) {
    if (!prepared_)
        return;
    frame = std::clamp<long long>(frame, 0, std::max<long long>(run_.Frames - 1, 0));
    if (frame == position_)
        return;
    TOwnRandom own(random_);
    if (frame < position_) {
        // The sequencer (and a clip's decoder) only goes forward: from the start again, with
        // the holds planned already.
        NewSequencer();
        PrepareDocumentSequencer(*sequencer_, data_, run_.Timing);
        position_ = 0;
    }
    // Straight to the target: the counters are set, nothing is drawn on the way, and the
    // pictures the target shows are loaded with its frame.
    position_ += sequencer_->Skip(frame - position_);
}

const TFrameBitmap* TPlaybackFrames::Next() {
    if (!prepared_)
        return nullptr;
    TOwnRandom own(random_);
    const TFrameBitmap* frame = sequencer_->NextFrame();
    if (frame)
        ++position_;
    return frame;
}
