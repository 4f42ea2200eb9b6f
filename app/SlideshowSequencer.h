#pragma once
// The slideshow frame sequencer: decides frame by frame which picture is on screen, runs the
// transitions between pictures and signals the end of the video input.
//
// The slideshow: a transition from black to picture 0, then per picture a hold and a
// transition to the next picture (the last one passes to black), then two black frames; the
// call after them reports the end. n pictures give n x (HoldFrames + TransitionFrames) +
// TransitionFrames + 2 frames.

#include "app/pictures/PictureLoader.h"
#include "effects/FrameBitmap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Which slides a frame shows and how far it is: during the transition from slide Outgoing to
// slide Incoming (-1: black) Step runs 0..Steps-1; on a held slide Incoming is -1 and Steps 0.
struct TFrameMoment {
    int Outgoing = -1, Incoming = -1;
    int Step = 0, Steps = 0;
};

// Drawn over every finished frame, after the transition: text that no effect cuts or moves.
class TFrameLayer {
public:
    virtual ~TFrameLayer() = default;
    // A value equal for two moments exactly when the layer looks the same over both (a held
    // caption), 0 when it draws nothing over the moment.
    virtual std::uint64_t Look(const TFrameMoment& moment) = 0;
    virtual void Draw(TFrameBitmap& frame, const TFrameMoment& moment) = 0;
};

class TSlideshowSequencer {
public:
    TSlideshowSequencer();

    // The window's picture list, read live on every frame.
    std::function<int()> PictureCount;
    std::function<std::string(int)> PicturePath;
    // "Break when no pictures": asked on every end call; when it answers true, StopEncoder is
    // called (the encoder's stop without waiting: the engine thread waits for this frame).
    std::function<bool()> BreakWhenNoPictures;
    std::function<void()> StopEncoder;
    // Builds the transition frame (display, old, new, effect number, percent). The effect
    // table's drawing unless replaced (tests watch the steps through it).
    std::function<void(TFrameBitmap&, const TFrameBitmap&, const TFrameBitmap&, int, int)> DrawTransition;

    // Values of single pictures (a document's slides). Unset, or answering 0: the run's own.
    // PictureHoldFrames(k): the frames picture k is held. PictureEffect(k): the effect of the
    // transition into picture k (k = 0 is the fade-in), 1..EffectCount; it replaces the run's
    // effect for that transition only, the run's sequence goes on as without it.
    std::function<int(int)> PictureHoldFrames;
    std::function<int(int)> PictureEffect;
    // Called after picture k was drawn into PictureFrame, before any frame shows it: what is
    // drawn here (a caption) is carried by the hold and both transitions of the picture.
    std::function<void(int, TFrameBitmap&)> PictureLoaded;
    // Slides whose picture changes while they are on screen (pan and zoom, video clips). When
    // SlideMoves(k) answers true, slide k is not read by the picture loader: DrawSlide(k, frame,
    // bitmap) draws it, anew on every frame the slide is on screen. frame counts the slide's own
    // frames from 0, the first frame of the transition into it, through its hold and on through
    // the transition out of it (where it is the outgoing picture). PictureLoaded follows every
    // DrawSlide, so a caption stays on the moving picture. Unset: every slide stands still.
    std::function<bool(int)> SlideMoves;
    std::function<void(int, int, TFrameBitmap&)> DrawSlide;
    // Unset: frames are shown as the effects made them. Set: NextFrame copies a frame the layer
    // draws over into LayerFrame first; ReadFrameCanvas draws the layer onto the canvas after its
    // copy of the frame (a held frame under an unchanged layer is still a repeated one).
    std::shared_ptr<TFrameLayer> Layer;

    // Resets the state for a new run and sizes the three frame bitmaps. Hold and transition
    // counts below 1 count as 1. With randomEffects the program-wide generator is seeded (from
    // the clock, or from seed when given) and the first effect is drawn from it; otherwise the
    // effect number goes on from the previous run (1 the first time). The generator's state at
    // this point becomes SeedBase, from which every transition's effect seed is made.
    void Prepare(int frameWidth, int frameHeight, int holdFrames, int transitionFrames, bool randomEffects,
                 std::optional<std::uint32_t> seed = std::nullopt);

    // Advances by one frame. Returns the frame to show (PictureFrame or CompositeFrame, valid
    // until the next call), or nullptr when the slideshow is over. A picture that cannot be
    // loaded throws TPictureError out of here.
    const TFrameBitmap* NextFrame();

    // Moves on by up to frames frames as that many calls to NextFrame would, without drawing,
    // loading or asking the layer anything: the counters, the effect sequence (with random
    // effects the generator is drawn from as those calls would have drawn it) and the slides'
    // own frames. The end's two black frames count; the end itself is not passed. Returns the
    // frames skipped. The pictures are loaded again at the next frame (PicturesReplaced).
    long long Skip(long long frames);
    // The pictures on screen are loaded (or drawn) again at the next frame, and nothing copied
    // from them before is shown again (the layer's frame, a canvas's repeated frame): after the
    // picture list changed under a running show, or after Skip.
    void PicturesReplaced();

    // NextFrame copied onto canvas at (0, 0), clipped to the canvas. Returns 0 when a frame was
    // drawn, -1 when the slideshow is over. A frame that is the one copied onto the same canvas
    // last time, unchanged (a held picture, a transition step that stays at the same percent),
    // is not copied again: FrameRepeated then says so.
    int ReadFrameCanvas(TFrameBitmap& canvas);
    // True when the last ReadFrameCanvas left the canvas as it was: the frame repeats the previous one.
    bool FrameRepeated() const { return repeated_; }

    // The state, public because the window's Start and its progress read it.
    int FrameWidth = 0, FrameHeight = 0;
    TPictureLoader PictureLoader;     // decodes each picture straight into PictureFrame
    TFrameBitmap FromFrame;           // outgoing picture of the running transition
    TFrameBitmap PictureFrame;        // current picture; during a transition the incoming one
    TFrameBitmap CompositeFrame;      // frame being built during a transition
    TFrameBitmap LayerFrame;          // the finished frame with the layer over it
    int PictureIndex = -1;            // picture reached by the last finished transition
    bool InTransition = true;         // a transition runs or starts with the next frame
    int HoldFrames = 1, HoldCounter = 0;
    int TransitionFrames = 1, TransitionCounter = 0;
    int LastPercent = -1;             // percent drawn last in this transition
    bool RandomEffects = false;
    int EffectNumber = 0;             // 1..EffectCount, effect of the next or running transition
    int TransitionEffect = 0;         // the effect the running transition draws: EffectNumber
                                      // unless the incoming picture has its own
    int EndFrames = 0;                // frames produced after the pictures ran out
    int PictureSlideFrame = 0;        // the own frame (see DrawSlide) PictureFrame shows next
    int FromSlideFrame = 0;           // the same for FromFrame, the outgoing picture
    std::uint32_t SeedBase = 0;       // the run's origin of the transition seeds

    // The seed the effects of transition k of a run receive (k = 0 is the fade-in): the new
    // picture's handle is set to it when the transition begins, so it holds for every frame of
    // the transition. Bitmap handles alone would give every transition of a run the same seed,
    // always a multiple of 4 (the rotating shapes would always turn one way); mixed with the
    // transition's number, seeds differ from transition to transition and both parities occur,
    // and a run with the same SeedBase gets the same seeds. Draws nothing from the generator.
    static std::uint32_t TransitionSeed(std::uint32_t seedBase, int transition);

private:
    // Every change of the pixels of PictureFrame or CompositeFrame counts up the version; the
    // canvas copy remembers which frame, version and canvas it copied last.
    void Changed() { ++version_; }
    std::uint64_t version_ = 0;
    const TFrameBitmap* copiedFrame_ = nullptr;
    std::uint64_t copiedVersion_ = 0;
    const TFrameBitmap* copiedCanvas_ = nullptr;
    int copiedWidth_ = 0, copiedHeight_ = 0;
    bool repeated_ = false;
    // The canvas of the ReadFrameCanvas under way, when it has the frame's size: the hold
    // frames of a moving slide are drawn onto it straight (PictureFrame then keeps the picture
    // as it came on screen, which nothing reads again: the next frame draws the slide anew).
    TFrameBitmap* directCanvas_ = nullptr;

    std::uint64_t layerLook_ = 0;     // what LayerFrame shows: the layer's look over which
    const TFrameBitmap* layerBase_ = nullptr; // frame, at which version
    std::uint64_t layerVersion_ = 0;

    int Count() const;
    bool reload_ = false;             // PicturesReplaced: the next frame loads the pictures on screen
    void ReloadOnScreen(int count);
    void LoadStill(int k, TFrameBitmap& bitmap, int count);
    const TFrameBitmap* NextBareFrame(TFrameMoment& moment);
    const TFrameBitmap* Layered(const TFrameBitmap* frame, const TFrameMoment& moment);
    std::uint64_t LayerLook(const TFrameMoment& moment);
    void CopyOnto(TFrameBitmap& canvas, const TFrameBitmap* frame);
    std::uint64_t copiedLook_ = 0;    // the layer's look over the copy
    void LoadPicture(int k);
    bool Moves(int k) const;
    // Draws moving slide k for its own frame into bitmap (with the caption hook after it).
    void DrawMoving(int k, int frame, TFrameBitmap& bitmap);
    int HoldFramesOf(int k) const;
    void ChooseTransitionEffect(int incoming, int count);
    void BeginTransition(int count);
    void SeedTransition();
    void EffectStep(int percent);
    void ChooseNextEffect();
    const TFrameBitmap* TransitionFrame();
    const TFrameBitmap* HoldFrame();
    const TFrameBitmap* EndFrame();
};
