#include "app/motion/MotionSlides.h"

#include "app/framing/BlurBackground.h"
#include "app/framing/FitRect.h"
#include "app/motion/LookAhead.h"
#include "app/motion/MotionPicture.h"
#include "app/motion/SlideMotion.h"
#include "app/motion/StillFill.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// The view that shows the picture exactly in the fit rectangle of the frame.
TMotionRect ViewOfRect(const TRect& r, int frameWidth, int frameHeight) {
    const double w = std::max(r.Right - r.Left, 1), h = std::max(r.Bottom - r.Top, 1);
    return {-r.Left / w, -r.Top / h, frameWidth / w, frameHeight / h};
}
} // namespace

TMotionRequest SlideMotionRequest(const TSlideshowData& data, int k, int pictureWidth, int pictureHeight, int frameWidth,
                                  int frameHeight, std::uint32_t seedBase) {
    const TSlide& slide = data.Slides.at(std::size_t(k));
    TMotionRequest request;
    request.PictureWidth = pictureWidth;
    request.PictureHeight = pictureHeight;
    request.FrameWidth = frameWidth;
    request.FrameHeight = frameHeight;
    request.Framing = data.Output.Framing;
    request.Style = SlideMotionStyle(data, k);
    request.Zoom = data.Output.Zoom;
    request.Seed = SlideMotionSeed(seedBase, k);
    request.Start = slide.Motion.Start;
    request.End = slide.Motion.End;
    return request;
}

TFrameBitmap MotionBackground(const TFrameBitmap& picture, int pictureWidth, int pictureHeight, int frameWidth,
                              int frameHeight) {
    TFrameBitmap background(frameWidth, frameHeight);
    const TRect fit = PictureRect(TFraming::Letterbox, pictureWidth, pictureHeight, frameWidth, frameHeight);
    DrawMotionView(picture, ViewOfRect(fit, frameWidth, frameHeight), nullptr, background);
    DrawBlurredBackground(background, fit);
    return background;
}

std::shared_ptr<const TMovingSlide> PrepareMovingSlide(const TSlideshowData& data, int k, int frameWidth, int frameHeight,
                                                       std::uint32_t seedBase, TInterestFinder findInterest) {
    const TSlide& slide = data.Slides.at(std::size_t(k));
    const TPictureSize full = UprightPictureSize(slide.Picture);
    TMotionRequest request = SlideMotionRequest(data, k, full.Width, full.Height, frameWidth, frameHeight, seedBase);

    // One picture pixel per frame pixel in the closest view: the still view's share of the
    // picture times the zoom.
    const TMotionRect still = PlanMotion([&] {
        TMotionRequest r = request;
        r.Style = TMotionStyle::Off;
        return r;
    }()).Start;
    const double zoom = ClosestViewZoom(request);
    const int neededWidth = int(std::ceil(frameWidth * zoom / still.W));
    const int neededHeight = int(std::ceil(frameHeight * zoom / still.H));

    auto moving = std::make_shared<TMovingSlide>();
    moving->Picture = DecodePictureFor(slide.Picture, full, neededWidth, neededHeight);
    moving->Interest = findInterest ? findInterest(moving->Picture) : TInterest{};
    request.Interest = moving->Interest;
    moving->Path = PlanMotion(request);
    if (IsStillFillSlide(data, k))
        PrepareStillFill(*moving, still, frameWidth, frameHeight);
    // Blur framing: the background of the still framing; the picture moves over it.
    if (request.Framing == TFraming::Blur)
        moving->Background = MotionBackground(moving->Picture, full.Width, full.Height, frameWidth, frameHeight);
    return moving;
}

namespace {
struct TSlideMotionRun {
    std::shared_ptr<const TSlideshowData> Data;
    int FrameWidth = 0, FrameHeight = 0;
    int TransitionFrames = 0;
    std::vector<long long> Frames; // per slide: the frames it is on screen (a day-long hold at a high rate passes INT_MAX)
    std::vector<bool> Moving;
    std::vector<bool> StillFill; // fill without motion: drawn here only when its crop is off centre
    std::uint32_t SeedBase = 0;
    TInterestFinder FindInterest = nullptr;
    TLookAhead<TMovingSlide> Ahead;

    TSlideMotionRun(std::shared_ptr<const TSlideshowData> data, int w, int h, std::uint32_t seedBase, TInterestFinder find)
        : Data(std::move(data)), FrameWidth(w), FrameHeight(h), SeedBase(seedBase), FindInterest(find),
          Ahead([this](int k) { return PrepareMovingSlide(*Data, k, FrameWidth, FrameHeight, SeedBase, FindInterest); }) {}

    bool Moves(int k) const { return k >= 0 && k < int(Moving.size()) && Moving[std::size_t(k)]; }
    bool Looked(int k) const { return Moves(k) || (k >= 0 && k < int(StillFill.size()) && StillFill[std::size_t(k)]); }

    // Asked when slide k comes on screen (and again while it is): a still fill slide is drawn
    // here when its interest moved the crop. A picture that cannot be read is left to the
    // loader, which shows it as it shows every broken picture.
    bool Drawn(int k) {
        if (Moves(k))
            return true;
        if (!Looked(k))
            return false;
        Ahead.Forget(k - 1);
        if (Looked(k + 1))
            Ahead.Request(k + 1);
        try {
            return !Ahead.Get(k)->Still.Empty();
        } catch (const std::exception&) {
            return false;
        }
    }

    void Draw(int k, int frame, TFrameBitmap& bitmap) {
        const std::shared_ptr<const TMovingSlide> slide = Ahead.Get(k);
        // On screen: slide k and, in the transition into it, slide k - 1. The next one is
        // prepared once slide k - 1 has gone: two pictures are held while a third is decoded,
        // and the hold and the transition out leave the worker time enough.
        if (frame < TransitionFrames) {
            Ahead.Forget(k - 1);
        } else {
            Ahead.Forget(k);
            if (Looked(k + 1))
                Ahead.Request(k + 1);
        }
        if (!slide->Still.Empty()) {
            bitmap = slide->Still;
            return;
        }
        const int count = int(Moving.size());
        const double progress = MotionProgress(frame, Frames[std::size_t(k)], k == 0, k == count - 1);
        DrawMotionView(slide->Picture, MotionView(slide->Path, progress),
                       slide->Background.Empty() ? nullptr : &slide->Background, bitmap, MotionFrameFilter);
    }
};
} // namespace

void InstallSlideMotion(TSlideshowSequencer& sequencer, std::shared_ptr<const TSlideshowData> data,
                        TInterestFinder findInterest) {
    const int count = int(data->Slides.size());
    bool any = false;
    for (int k = 0; k < count; ++k)
        any = any || SlideMotionStyle(*data, k) != TMotionStyle::Off || IsStillFillSlide(*data, k);
    if (!any) {
        sequencer.SlideMoves = nullptr;
        sequencer.DrawSlide = nullptr;
        return;
    }
    sequencer.SlideMoves = nullptr; // the run before lets go of its pictures and worker first
    sequencer.DrawSlide = nullptr;
    auto run = std::make_shared<TSlideMotionRun>(data, sequencer.FrameWidth, sequencer.FrameHeight, sequencer.SeedBase,
                                                 findInterest);
    run->TransitionFrames = sequencer.TransitionFrames;
    for (int k = 0; k < count; ++k) {
        const int own = sequencer.PictureHoldFrames ? sequencer.PictureHoldFrames(k) : 0;
        const int hold = own > 0 ? own : sequencer.HoldFrames;
        // In through its transition, its hold, out through the next transition.
        run->Frames.push_back(2LL * sequencer.TransitionFrames + hold);
        run->Moving.push_back(SlideMotionStyle(*data, k) != TMotionStyle::Off);
        run->StillFill.push_back(IsStillFillSlide(*data, k));
    }
    if (run->Looked(0))
        run->Ahead.Request(0);
    sequencer.SlideMoves = [run](int k) { return run->Drawn(k); };
    sequencer.DrawSlide = [run](int k, int frame, TFrameBitmap& bitmap) { run->Draw(k, frame, bitmap); };
}
