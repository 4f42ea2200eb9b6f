#include "app/SlideshowSequencer.h"

#include "effects/BmpFile.h"
#include "effects/Effects.h"
#include "effects/Random.h"
#include "effects/Transition.h"

#include <algorithm>
#include <chrono>
#include <cstring>

TSlideshowSequencer::TSlideshowSequencer() : DrawTransition(DrawTransitionFrame) {}

void TSlideshowSequencer::Prepare(int frameWidth, int frameHeight, int holdFrames, int transitionFrames,
                                  bool randomEffects, std::optional<std::uint32_t> seed) {
    EndFrames = 0;
    PictureSlideFrame = 0;
    FromSlideFrame = 0;
    InTransition = true;
    Changed();
    copiedFrame_ = nullptr;
    FrameWidth = frameWidth;
    FrameHeight = frameHeight;
    FromFrame.SetSize(frameWidth, frameHeight);
    PictureFrame.SetSize(frameWidth, frameHeight);
    CompositeFrame.SetSize(frameWidth, frameHeight);
    layerBase_ = nullptr;
    PictureIndex = -1;
    HoldFrames = std::max(holdFrames, 1);
    HoldCounter = 0;
    RandomEffects = randomEffects;
    if (RandomEffects) {
        if (!seed) {
            auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
            seed = static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
        }
        SetRandSeed(*seed);
        SeedBase = *seed;
        EffectNumber = Random(EffectCount) + 1;
    } else {
        SeedBase = GetRandSeed();
    }
    if (EffectNumber < 1 || EffectNumber > EffectCount)
        EffectNumber = 1;
    TransitionFrames = std::max(transitionFrames, 1);
    TransitionCounter = 0;
    LastPercent = -1;
    TransitionEffect = EffectNumber;
}

int TSlideshowSequencer::Count() const { return PictureCount ? PictureCount() : 0; }

void TSlideshowSequencer::LoadPicture(int k) {
    if (!PicturePath)
        throw TPictureError("No picture list to read picture " + std::to_string(k + 1) + " from");
    Changed();
    PictureSlideFrame = 0;
    if (Moves(k)) {
        DrawMoving(k, 0, PictureFrame);
        return;
    }
    PictureLoader.Load(PicturePath(k), PictureFrame);
    if (PictureLoaded)
        PictureLoaded(k, PictureFrame);
}

bool TSlideshowSequencer::Moves(int k) const { return k >= 0 && SlideMoves && DrawSlide && SlideMoves(k); }

void TSlideshowSequencer::DrawMoving(int k, int frame, TFrameBitmap& bitmap) {
    Changed();
    {
        TCanvasLock lock(bitmap);
        DrawSlide(k, frame, bitmap);
    }
    if (PictureLoaded)
        PictureLoaded(k, bitmap);
}

int TSlideshowSequencer::HoldFramesOf(int k) const {
    const int own = PictureHoldFrames ? PictureHoldFrames(k) : 0;
    return own > 0 ? own : HoldFrames;
}

void TSlideshowSequencer::ChooseTransitionEffect(int incoming, int count) {
    const int own = PictureEffect && incoming >= 0 && incoming < count ? PictureEffect(incoming) : 0;
    TransitionEffect = own >= 1 && own <= EffectCount ? own : EffectNumber;
}

const TFrameBitmap* TSlideshowSequencer::NextFrame() {
    TFrameMoment moment;
    const TFrameBitmap* frame = NextBareFrame(moment);
    return frame && Layer ? Layered(frame, moment) : frame;
}

const TFrameBitmap* TSlideshowSequencer::Layered(const TFrameBitmap* frame, const TFrameMoment& moment) {
    const std::uint64_t look = LayerLook(moment);
    if (look == 0)
        return frame;
    if (look == layerLook_ && frame == layerBase_ && version_ == layerVersion_)
        return &LayerFrame; // the same picture under the same text: a repeated frame
    {
        TCanvasLock frameLock(*frame), layerLock(LayerFrame);
        LayerFrame = *frame;
        Layer->Draw(LayerFrame, moment);
    }
    Changed();
    layerLook_ = look;
    layerBase_ = frame;
    layerVersion_ = version_;
    return &LayerFrame;
}

std::uint64_t TSlideshowSequencer::LayerLook(const TFrameMoment& moment) {
    return moment.Outgoing < 0 && moment.Incoming < 0 ? 0 : Layer->Look(moment);
}

long long TSlideshowSequencer::Skip(long long frames) {
    long long skipped = 0;
    while (skipped < frames) {
        const int count = Count();
        const long long left = frames - skipped;
        if (PictureIndex < 0 && TransitionCounter == 0) {
            // The fade-in begins: picture 0 comes on screen.
            if (count > 0)
                PictureSlideFrame = 0;
            InTransition = true;
            ChooseTransitionEffect(0, count);
        }
        if (PictureIndex >= count) {
            // The two black frames at the end.
            InTransition = false;
            const long long n = std::min<long long>(left, 2 - EndFrames);
            if (n <= 0)
                break;
            EndFrames += int(n);
            skipped += n;
            continue;
        }
        if (InTransition) {
            if (TransitionCounter == 0 && PictureIndex >= 0) {
                FromSlideFrame = PictureSlideFrame;
                if (PictureIndex < count - 1)
                    PictureSlideFrame = 0;
                ChooseTransitionEffect(PictureIndex + 1, count);
            }
            const int n = int(std::min<long long>(left, TransitionFrames - TransitionCounter));
            TransitionCounter += n;
            FromSlideFrame += n;
            PictureSlideFrame += n;
            skipped += n;
            if (TransitionCounter >= TransitionFrames) {
                ++PictureIndex;
                ChooseNextEffect();
                TransitionCounter = 0;
                InTransition = false;
            }
        } else {
            const int hold = HoldFramesOf(PictureIndex);
            const int n = int(std::min<long long>(left, std::max(hold - HoldCounter, 1)));
            HoldCounter += n;
            PictureSlideFrame += n;
            skipped += n;
            if (HoldCounter >= hold) {
                HoldCounter = 0;
                InTransition = true;
            }
        }
    }
    LastPercent = -1;
    if (skipped > 0)
        PicturesReplaced();
    return skipped;
}

void TSlideshowSequencer::PicturesReplaced() {
    reload_ = true;
    Changed();
    layerBase_ = nullptr;
    copiedFrame_ = nullptr;
}

void TSlideshowSequencer::LoadStill(int k, TFrameBitmap& bitmap, int count) {
    if (k < 0 || k >= count) {
        bitmap.Fill(0);
        return;
    }
    // A moving slide is drawn anew by the frame itself.
    if (Moves(k))
        return;
    PictureLoader.Load(PicturePath(k), bitmap);
    if (PictureLoaded)
        PictureLoaded(k, bitmap);
}

void TSlideshowSequencer::ReloadOnScreen(int count) {
    reload_ = false;
    Changed();
    if (PictureIndex < 0 && TransitionCounter == 0)
        return; // the fade-in begins with this frame: it loads picture 0 itself
    if (PictureIndex >= count) {
        PictureFrame.Fill(0);
    } else if (InTransition && TransitionCounter == 0) {
        // The transition out of PictureIndex begins with this frame: it takes the picture as it is.
        LoadStill(PictureIndex, PictureFrame, count);
    } else if (InTransition) {
        LoadStill(PictureIndex, FromFrame, count);
        LoadStill(PictureIndex + 1, PictureFrame, count);
        SeedTransition();
        LastPercent = -1; // the step is built again
    } else {
        LoadStill(PictureIndex, PictureFrame, count);
    }
}

const TFrameBitmap* TSlideshowSequencer::NextBareFrame(TFrameMoment& moment) {
    int count = Count();
    if (reload_)
        ReloadOnScreen(count);
    if (PictureIndex < 0 && TransitionCounter == 0) {
        // The fade-in: from black to the first picture.
        Changed();
        FromFrame.Fill(0);
        if (count > 0)
            LoadPicture(0);
        SeedTransition();
        InTransition = true;
        count = Count();
        ChooseTransitionEffect(0, count);
    }
    if (PictureIndex >= count)
        return EndFrame();
    if (InTransition && TransitionCounter == 0 && PictureIndex >= 0)
        BeginTransition(count);
    moment.Outgoing = PictureIndex;
    if (InTransition) {
        moment.Incoming = PictureIndex + 1 < count ? PictureIndex + 1 : -1;
        moment.Step = TransitionCounter;
        moment.Steps = TransitionFrames;
    }
    return InTransition ? TransitionFrame() : HoldFrame();
}

const TFrameBitmap* TSlideshowSequencer::EndFrame() {
    if (BreakWhenNoPictures && BreakWhenNoPictures() && StopEncoder)
        StopEncoder();
    InTransition = false;
    if (EndFrames > 1)
        return nullptr;
    if (EndFrames == 1) {
        Changed();
        PictureFrame.Fill(0);
    }
    ++EndFrames;
    return &PictureFrame;
}

void TSlideshowSequencer::BeginTransition(int count) {
    Changed();
    {
        TCanvasLock pictureLock(PictureFrame), fromLock(FromFrame);
        FromFrame = PictureFrame; // same size: the storage is reused, the handles stay
    }
    FromSlideFrame = PictureSlideFrame;
    if (PictureIndex < count - 1)
        LoadPicture(PictureIndex + 1);
    else
        PictureFrame.Fill(0); // the last picture passes to black
    SeedTransition();
    ChooseTransitionEffect(PictureIndex + 1, count);
}

std::uint32_t TSlideshowSequencer::TransitionSeed(std::uint32_t seedBase, int transition) {
    // A golden-ratio step per transition, then a 32-bit finaliser that spreads every input bit
    // over every output bit (the low bit included).
    std::uint32_t x = seedBase + 0x9E3779B9u * static_cast<std::uint32_t>(transition + 1);
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return x;
}

void TSlideshowSequencer::SeedTransition() {
    TCanvasLock pictureLock(PictureFrame);
    PictureFrame.SetHandle(TransitionSeed(SeedBase, PictureIndex + 1));
}

const TFrameBitmap* TSlideshowSequencer::TransitionFrame() {
    const int percent = static_cast<int>(static_cast<long long>(TransitionCounter) * 100 / TransitionFrames);
    // Moving pictures are drawn for this frame; the first frame of the incoming one was drawn
    // when it was loaded. Then the step is built again even at the same percent.
    bool moved = false;
    const int count = Count();
    if (PictureIndex >= 0 && PictureIndex < count && Moves(PictureIndex)) {
        DrawMoving(PictureIndex, FromSlideFrame, FromFrame);
        moved = true;
    }
    const int incoming = PictureIndex + 1;
    if (incoming < count && Moves(incoming)) {
        if (PictureSlideFrame > 0)
            DrawMoving(incoming, PictureSlideFrame, PictureFrame);
        moved = true;
    }
    ++FromSlideFrame;
    ++PictureSlideFrame;
    if (percent != LastPercent || moved) {
        LastPercent = percent;
        EffectStep(percent);
    }
    if (++TransitionCounter >= TransitionFrames) {
        ++PictureIndex;
        ChooseNextEffect();
        TransitionCounter = 0;
        LastPercent = -1;
        InTransition = false;
    }
    return &CompositeFrame;
}

const TFrameBitmap* TSlideshowSequencer::HoldFrame() {
    const TFrameBitmap* shown = &PictureFrame;
    if (Moves(PictureIndex) && PictureSlideFrame > 0) {
        TFrameBitmap& target = directCanvas_ ? *directCanvas_ : PictureFrame;
        DrawMoving(PictureIndex, PictureSlideFrame, target);
        shown = &target;
    }
    ++PictureSlideFrame;
    if (++HoldCounter >= HoldFramesOf(PictureIndex)) {
        HoldCounter = 0;
        InTransition = true;
    }
    return shown;
}

void TSlideshowSequencer::EffectStep(int percent) {
    // Lock order: the new picture, the frame being built, then (inside) the old picture.
    TCanvasLock pictureLock(PictureFrame), compositeLock(CompositeFrame);
    Changed();
    DrawTransition(CompositeFrame, FromFrame, PictureFrame, TransitionEffect, percent);
}

void TSlideshowSequencer::ChooseNextEffect() {
    if (RandomEffects) {
        EffectNumber = Random(EffectCount) + 1;
    } else if (++EffectNumber < 1 || EffectNumber > EffectCount) {
        EffectNumber = 1;
    }
}

int TSlideshowSequencer::ReadFrameCanvas(TFrameBitmap& canvas) {
    repeated_ = false;
    directCanvas_ = canvas.Width() == FrameWidth && canvas.Height() == FrameHeight && canvas.Width() == PictureFrame.Width() &&
                            canvas.Height() == PictureFrame.Height()
                        ? &canvas
                        : nullptr;
    const TFrameBitmap* frame = nullptr;
    TFrameMoment moment;
    try {
        frame = NextBareFrame(moment);
    } catch (...) {
        directCanvas_ = nullptr;
        throw;
    }
    directCanvas_ = nullptr;
    if (!frame) {
        copiedFrame_ = nullptr;
        return -1;
    }
    // The layer goes straight onto the canvas, over the copy of the frame: no copy of its own.
    const std::uint64_t look = Layer ? LayerLook(moment) : 0;
    if (frame == &canvas) { // drawn there already; the next frame is drawn anew as well
        if (look)
            Layer->Draw(canvas, moment);
        copiedFrame_ = nullptr;
        return 0;
    }
    TCanvasLock frameLock(*frame), canvasLock(canvas);
    if (frame == copiedFrame_ && version_ == copiedVersion_ && &canvas == copiedCanvas_ &&
        canvas.Width() == copiedWidth_ && canvas.Height() == copiedHeight_ && look == copiedLook_) {
        repeated_ = true;
        return 0;
    }
    copiedLook_ = look;
    CopyOnto(canvas, frame);
    if (look)
        Layer->Draw(canvas, moment);
    return 0;
}

void TSlideshowSequencer::CopyOnto(TFrameBitmap& canvas, const TFrameBitmap* frame) {
    copiedFrame_ = frame;
    copiedVersion_ = version_;
    copiedCanvas_ = &canvas;
    copiedWidth_ = canvas.Width();
    copiedHeight_ = canvas.Height();
    const int w = std::min({FrameWidth, frame->Width(), canvas.Width()});
    const int h = std::min({FrameHeight, frame->Height(), canvas.Height()});
    if (w <= 0)
        return;
    if (w == canvas.Width() && w == frame->Width()) {
        std::memcpy(canvas.Pixels(), frame->Pixels(), static_cast<std::size_t>(w) * std::max(h, 0) * 4);
        return;
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(canvas.Row(y), frame->Row(y), static_cast<std::size_t>(w) * 4);
}
