// Clips as slides: their holds, their frames among the photos' frames, the sounds they lay over
// the soundtrack, and the job refusing clips it cannot play.

#include "app/document/DocumentSequencer.h"
#include "app/SlideshowJob.h"
#include "app/clips/ClipSlides.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {
class ClipSlideshow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        dir_ = new TTempDir;
        std::string error;
        ASSERT_TRUE(MakeTestClip(dir_->File("clip.mp4"), TTestClip{}, error)) << error;
        TTestClip silent;
        silent.Tone = false;
        silent.Seconds = 1;
        ASSERT_TRUE(MakeTestClip(dir_->File("silent.mp4"), silent, error)) << error;
        // Mid grey: no counter reads from the photos.
        WriteTestJpeg(dir_->File("a.jpg"), 320, 240, [](int, int) { return 0x808080u; });
        WriteTestJpeg(dir_->File("b.jpg"), 320, 240, [](int, int) { return 0x787878u; });
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    // photo, the 3 s clip, photo at 25:1 with 1 s holds and 0.4 s transitions.
    static TSlideshowData PhotoClipPhoto() {
        TSlideshowData data;
        data.Slides = {PlainSlide(dir_->File("a.jpg")), PlainSlide(dir_->File("clip.mp4")), PlainSlide(dir_->File("b.jpg"))};
        data.Output.FrameSize = "320x240";
        data.Output.FrameRate = {25, 1};
        data.Output.HoldSeconds = 1;
        data.Output.TransitionSeconds = 0.4;
        data.Output.RandomEffects = false;
        return data;
    }
    static TTempDir* dir_;
};
TTempDir* ClipSlideshow::dir_ = nullptr;

constexpr int Transition = 10, PhotoHold = 25, ClipHold = 75;
constexpr int ClipFirstHoldFrame = Transition + PhotoHold + Transition;
} // namespace

TEST_F(ClipSlideshow, ClipIsHeldForItsLengthEverywhereTheFramesAreCounted) {
    TSlideshowData data = PhotoClipPhoto();
    data.Slides[1].HoldSeconds = 9; // a clip plays for as long as it is, whatever the hold says
    EXPECT_EQ(SlideHoldFrames(data, 1), ClipHold);
    EXPECT_EQ(SlideHoldFrames(data, 0), PhotoHold);
    EXPECT_EQ(SlideshowFrameCount(data), Transition + 2 + 2 * (PhotoHold + Transition) + ClipHold + Transition);
    data.Slides[1].Clip.In = 0.5;
    data.Slides[1].Clip.Out = 2.0;
    EXPECT_EQ(SlideHoldFrames(data, 1), 38); // 1.5 s: 37.5 frames, halves to even
    data.Slides[1].Clip.Out = 60; // beyond its end: up to the end
    EXPECT_EQ(SlideHoldFrames(data, 1), 62); // 2.5 s: 62.5 frames

    TFFEncoder encoder;
    TSlideshowJob job(encoder);
    data = PhotoClipPhoto();
    ASSERT_TRUE(job.PrepareSequencer(data)) << job.LastError;
    long long frames = 0;
    while (job.Sequencer.NextFrame())
        ++frames;
    EXPECT_EQ(frames, job.ExpectedFrames());
    EXPECT_EQ(frames, SlideshowFrameCount(data));
}

// Points that leave nothing to play are refused before the run: the slide would otherwise stop
// being a clip and go to the picture reader in the middle of it.
TEST_F(ClipSlideshow, PointsThatLeaveNothingToPlayAreNamedBeforeTheRun) {
    const struct {
        std::optional<double> In, Out;
        const char* Reason;
    } cases[] = {
        {{}, 0.0, "its out point 0 s leaves nothing to play"},
        {1.0, 1.0, "its out point 1 s is not after its in point 1 s"},
        {2.0, 0.5, "its out point 0.5 s is not after its in point 2 s"},
        {3.0, {}, "its in point 3 s is not before its end"},
        {7.0, 9.0, "its in point 7 s is not before its end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        TSlideshowData data = PhotoClipPhoto();
        data.Slides[1].Clip.In = c.In;
        data.Slides[1].Clip.Out = c.Out;
        EXPECT_NE(ClipProblems(data).find("Slide 2: Cannot play clip \"" + data.Slides[1].Picture + "\": " + c.Reason),
                  std::string::npos)
            << ClipProblems(data);
        TFFEncoder encoder;
        TSlideshowJob job(encoder);
        EXPECT_FALSE(job.PrepareSequencer(data));
        EXPECT_EQ(job.LastError, ClipProblems(data));
    }
    // Beyond the end is up to the end; a part of one frame plays that frame.
    TSlideshowData data = PhotoClipPhoto();
    data.Slides[1].Clip.Out = 60;
    EXPECT_EQ(ClipProblems(data), "");
    data.Slides[1].Clip.In = 1;
    data.Slides[1].Clip.Out = 1.001;
    EXPECT_EQ(ClipProblems(data), "");
    EXPECT_EQ(SlideHoldFrames(data, 1), 1);
}

TEST_F(ClipSlideshow, FramesShowTheClipInOrderBetweenThePhotos) {
    TSlideshowSequencer sequencer;
    PrepareDocumentSequencer(sequencer, std::make_shared<const TSlideshowData>(PhotoClipPhoto()));
    std::vector<int> counters;
    for (int n = 0;; ++n) {
        const TFrameBitmap* frame = sequencer.NextFrame();
        if (!frame)
            break;
        counters.push_back(ReadClipCounter(*frame, 0, 0, 320, 240));
    }
    ASSERT_GE(int(counters.size()), ClipFirstHoldFrame + ClipHold + Transition);
    // The hold: the picture covering each frame's time, 30 pictures a second at 25 frames.
    for (int h = 0; h < ClipHold; ++h)
        EXPECT_EQ(counters[std::size_t(ClipFirstHoldFrame + h)], int(std::floor(h * 1.2 + 1e-9))) << "hold frame " << h;
    // The photo before never shows a counter; the transition out starts from the last picture.
    EXPECT_EQ(counters[std::size_t(Transition + 5)], -1);
    EXPECT_EQ(counters[std::size_t(ClipFirstHoldFrame + ClipHold)], 88);
}

TEST_F(ClipSlideshow, TransitionIntoTheClipShowsItsFirstPicture) {
    TSlideshowSequencer sequencer;
    PrepareDocumentSequencer(sequencer, std::make_shared<const TSlideshowData>(PhotoClipPhoto()));
    for (int n = 0; n < Transition + PhotoHold + 3; ++n)
        ASSERT_NE(sequencer.NextFrame(), nullptr);
    // Three frames into the transition the incoming picture is still the clip's first.
    EXPECT_EQ(ReadClipCounter(sequencer.PictureFrame, 0, 0, 320, 240), 0);
}

TEST_F(ClipSlideshow, ClipSoundsLieUnderTheirHolds) {
    TSlideshowData data = PhotoClipPhoto();
    data.Slides.push_back(PlainSlide(dir_->File("silent.mp4")));
    data.Slides.push_back(PlainSlide(dir_->File("clip.mp4")));
    data.Slides.back().Clip.In = 1;
    data.Slides.back().Clip.Sound = TClipSound::Alone;
    std::vector<TAudioOverlay> overlays = ClipAudioOverlays(data);
    ASSERT_EQ(overlays.size(), 2u); // the silent clip has nothing to lay over
    const double frame = 1.0 / 25;
    EXPECT_EQ(overlays[0].File, dir_->File("clip.mp4"));
    EXPECT_NEAR(overlays[0].At, ClipFirstHoldFrame * frame, frame);
    EXPECT_DOUBLE_EQ(overlays[0].SourceStart, 0);
    EXPECT_NEAR(overlays[0].Duration, 3.0, frame);
    EXPECT_TRUE(overlays[0].DuckMusic);
    EXPECT_FALSE(overlays[0].MusicSilent);
    // After the clip: its transition, photo b, the silent clip (25 frames), then the second clip.
    const long long second = ClipFirstHoldFrame + ClipHold + Transition + PhotoHold + Transition + 25 + Transition;
    EXPECT_NEAR(overlays[1].At, second * frame, frame);
    EXPECT_DOUBLE_EQ(overlays[1].SourceStart, 1);
    EXPECT_NEAR(overlays[1].Duration, 2.0, frame);
    EXPECT_TRUE(overlays[1].MusicSilent);
    EXPECT_FALSE(overlays[1].DuckMusic);

    data.Slides[1].Clip.Sound = TClipSound::Mute;
    overlays = ClipAudioOverlays(data);
    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_DOUBLE_EQ(overlays[0].SourceStart, 1);
}

TEST_F(ClipSlideshow, JobRefusesClipsItCannotPlayBeforeAnythingIsWritten) {
    TFFEncoder encoder;
    TSlideshowJob job(encoder);
    TSlideshowData data = PhotoClipPhoto();
    data.Slides[1].Picture = dir_->File("gone.mp4");
    EXPECT_FALSE(job.PrepareSequencer(data));
    EXPECT_NE(job.LastError.find("Slide 2"), std::string::npos) << job.LastError;
    EXPECT_NE(job.LastError.find(dir_->File("gone.mp4")), std::string::npos) << job.LastError;

    data = PhotoClipPhoto();
    data.Slides[1].Clip.In = 3.5; // after its end
    EXPECT_FALSE(job.PrepareSequencer(data));
    EXPECT_NE(job.LastError.find("in point"), std::string::npos) << job.LastError;
}

TEST_F(ClipSlideshow, DecodersStartAheadAndAreLetGoAfterTheirSlide) {
    auto data = std::make_shared<const TSlideshowData>(PhotoClipPhoto());
    TClipSlides clips(data, 320, 240);
    EXPECT_FALSE(clips.IsClip(0));
    EXPECT_TRUE(clips.IsClip(1));
    EXPECT_FALSE(clips.IsClip(3));
    clips.SlideShown(0); // the photo before the clip: the clip starts decoding
    EXPECT_EQ(clips.Decoders(), 1);
    TFrameBitmap frame;
    clips.Draw(1, 0, frame);
    EXPECT_EQ(ReadClipCounter(frame, 0, 0, 320, 240), 0);
    clips.SlideShown(2); // the transition out of the clip still needs it
    EXPECT_EQ(clips.Decoders(), 1);
    clips.SlideShown(3);
    EXPECT_EQ(clips.Decoders(), 0);
}
