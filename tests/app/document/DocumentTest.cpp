// The slideshow document: editing and its notifications, and the runs the sequencer makes from it.

#include "app/document/DocumentSequencer.h"
#include "app/output/FrameCount.h"
#include "app/document/SlideshowDocument.h"
#include "effects/Effects.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {
std::vector<std::string> Pictures(const TSlideshowDocument& doc) {
    std::vector<std::string> names;
    for (const TSlide& s : doc.Slides())
        names.push_back(s.Picture);
    return names;
}

struct TRecorder {
    std::vector<std::string> Events;
    int Id = 0;
    explicit TRecorder(TSlideshowDocument& doc) {
        auto text = [](const char* when, const TDocumentChange& c) {
            return std::string(when) + " " + std::to_string(int(c.Kind)) + " " + std::to_string(c.First) + " " +
                   std::to_string(c.Count) + " " + std::to_string(c.Destination);
        };
        Id = doc.Subscribe([this, text](const TDocumentChange& c) { Events.push_back(text("before", c)); },
                           [this, text](const TDocumentChange& c) { Events.push_back(text("after", c)); });
    }
};

std::string Ev(const char* when, TDocumentChange::EKind kind, int first, int count, int destination = 0) {
    return std::string(when) + " " + std::to_string(int(kind)) + " " + std::to_string(first) + " " +
           std::to_string(count) + " " + std::to_string(destination);
}
} // namespace

TEST(SlideshowDocumentTest, EditsTellListenersBeforeAndAfterWithTheRows) {
    TSlideshowDocument doc;
    TRecorder rec(doc);
    doc.AppendPictures({"a", "b", "c", "d", "e"});
    EXPECT_EQ(rec.Events, (std::vector<std::string>{Ev("before", TDocumentChange::SlidesInserted, 0, 5),
                                                     Ev("after", TDocumentChange::SlidesInserted, 0, 5)}));
    EXPECT_TRUE(doc.Modified());
    const auto version = doc.Version();

    // Any selection, in any order and with duplicates: contiguous blocks from the end.
    rec.Events.clear();
    doc.RemoveSlides(std::vector<int>{4, 1, 2, 1, 9});
    EXPECT_EQ(Pictures(doc), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(rec.Events, (std::vector<std::string>{Ev("before", TDocumentChange::SlidesRemoved, 4, 1),
                                                     Ev("after", TDocumentChange::SlidesRemoved, 4, 1),
                                                     Ev("before", TDocumentChange::SlidesRemoved, 1, 2),
                                                     Ev("after", TDocumentChange::SlidesRemoved, 1, 2)}));
    EXPECT_EQ(doc.Version(), version + 2);

    // Moves take the destination before the move, as Qt's row moves do.
    doc.InsertSlides(1, {PlainSlide("b"), PlainSlide("c")});
    doc.AppendPictures({"e"}); // a b c d e
    rec.Events.clear();
    doc.MoveSlides(0, 2, 4);
    EXPECT_EQ(Pictures(doc), (std::vector<std::string>{"c", "d", "a", "b", "e"}));
    doc.MoveSlides(4, 1, 0);
    EXPECT_EQ(Pictures(doc), (std::vector<std::string>{"e", "c", "d", "a", "b"}));
    doc.MoveSlides(3, 2, 5); // to the end
    EXPECT_EQ(Pictures(doc), (std::vector<std::string>{"e", "c", "d", "a", "b"}));
    ASSERT_EQ(rec.Events.size(), 4u);
    EXPECT_EQ(rec.Events[0], Ev("before", TDocumentChange::SlidesMoved, 0, 2, 4));
    // Destinations inside or right after the block, or out of range, change nothing at all.
    const auto before = doc.Version();
    doc.MoveSlides(1, 2, 2);
    doc.MoveSlides(1, 2, 3);
    doc.MoveSlides(1, 2, 6);
    doc.MoveSlides(4, 2, 0);
    EXPECT_EQ(doc.Version(), before);
    EXPECT_EQ(rec.Events.size(), 4u);
}

TEST(SlideshowDocumentTest, SlideValuesAreCheckedAndOnlyRealChangesCount) {
    TSlideshowDocument doc;
    doc.AppendPictures({"a", "b"});
    TRecorder rec(doc);
    doc.SetHold(1, 3.5);
    doc.SetEffect(1, 176);
    doc.SetCaption(0, "Home");
    doc.SetCaptionDateTaken(0, true);
    EXPECT_EQ(rec.Events.size(), 8u);
    EXPECT_EQ(rec.Events[0], Ev("before", TDocumentChange::SlidesEdited, 1, 1));
    doc.SetHold(1, 3.5); // the same value again
    doc.SetCaption(7, "nowhere");
    EXPECT_EQ(rec.Events.size(), 8u);

    EXPECT_THROW(doc.SetEffect(1, 177), std::out_of_range);
    EXPECT_THROW(doc.SetEffect(1, -1), std::out_of_range);
    EXPECT_THROW(doc.SetHold(0, -1.0), std::out_of_range);
    EXPECT_EQ(doc.Slide(1).Effect, 176);
    EXPECT_FALSE(doc.Slide(0).HoldSeconds);
    doc.SetEffect(0, SlideEffectRandom);
    EXPECT_FALSE(doc.Slide(0).IsPlain());
    EXPECT_TRUE(PlainSlide("x").IsPlain());

    // A copy is a document of its own: listeners stay with the original.
    TSlideshowDocument copy = doc;
    const std::size_t heard = rec.Events.size();
    copy.SetCaption(0, "Away");
    EXPECT_EQ(rec.Events.size(), heard);
    EXPECT_EQ(doc.Slide(0).Caption, "Home");
    doc.Unsubscribe(rec.Id);
    doc.ClearSlides();
    EXPECT_EQ(rec.Events.size(), heard);
    EXPECT_EQ(doc.SlideCount(), 0);
}

TEST(SlideshowDocumentTest, SettingsOfTodayBecomeSlidesSoundtrackAndOutput) {
    TSlideshowSettings settings;
    settings.Pictures = {"x.jpg", "y.jpg"};
    settings.Audio = "song.mp3";
    settings.FrameSize = "640x480";
    TSlideshowDocument doc = TSlideshowDocument::FromSettings(settings);
    ASSERT_EQ(doc.SlideCount(), 2);
    EXPECT_TRUE(doc.Slide(1).IsPlain());
    ASSERT_EQ(doc.Soundtracks().size(), 1u);
    EXPECT_TRUE(doc.Output().Pictures.empty()); // the slides hold them
    EXPECT_TRUE(doc.Output().Audio.empty());
    TSlideshowSettings back = doc.SettingsForJob();
    EXPECT_EQ(back.Pictures, settings.Pictures);
    EXPECT_EQ(back.Audio, "song.mp3");
    EXPECT_EQ(back.FrameSize, "640x480");
    doc.SetSoundtracks({});
    EXPECT_EQ(doc.SettingsForJob().Audio, "");
}

namespace {
constexpr int W = 32, H = 24;

class DocumentRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) {
            files.push_back(dir.File("p" + std::to_string(i) + ".jpg"));
            const std::uint32_t level = 0x30 + 0x28 * std::uint32_t(i);
            WriteTestJpeg(files.back(), 64, 48, [i, level](int x, int y) {
                return (level << 16) | (std::uint32_t(x * 3 + i * 20) << 8) | std::uint32_t(y * 4);
            });
        }
        settings.FrameSize = std::to_string(W) + "x" + std::to_string(H);
        settings.FrameRate = {10, 1};
        settings.HoldSeconds = 0.5;
        settings.TransitionSeconds = 0.6;
        settings.RandomEffects = true;
        settings.Seed = 4242;
    }
    TSlideshowData Data(const std::vector<TSlide>& slides) const {
        TSlideshowData data;
        data.Slides = slides;
        data.Output = settings;
        return data;
    }
    std::vector<TSlide> Plain() const {
        std::vector<TSlide> slides;
        for (const std::string& f : files)
            slides.push_back(PlainSlide(f));
        return slides;
    }
    TTempDir dir;
    std::vector<std::string> files;
    TSlideshowSettings settings;
};

std::vector<std::vector<std::uint32_t>> AllFrames(TSlideshowSequencer& seq) {
    std::vector<std::vector<std::uint32_t>> frames;
    while (const TFrameBitmap* f = seq.NextFrame())
        frames.emplace_back(f->Pixels(), f->Pixels() + std::size_t(f->Width()) * f->Height());
    return frames;
}
} // namespace

TEST_F(DocumentRunTest, PlainSlidesMakeTheFramesOfThePictureList) {
    TSlideshowSequencer listed;
    listed.PictureCount = [&] { return int(files.size()); };
    listed.PicturePath = [&](int k) { return files.at(std::size_t(k)); };
    listed.Prepare(W, H, FrameCountRule("10:1", "0.5"), FrameCountRule("10:1", "0.6"), true, 4242);
    const auto expected = AllFrames(listed);

    TSlideshowSequencer documented;
    PrepareDocumentSequencer(documented, std::make_shared<const TSlideshowData>(Data(Plain())));
    const auto frames = AllFrames(documented);
    ASSERT_EQ(frames.size(), expected.size());
    EXPECT_EQ(std::int64_t(frames.size()), SlideshowFrameCount(Data(Plain())));
    for (std::size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(frames[i], expected[i]) << "frame " << i;
}

TEST_F(DocumentRunTest, EachSlideIsHeldForItsOwnTime) {
    std::vector<TSlide> slides = Plain();
    slides[0].HoldSeconds = 1;
    slides[1].HoldSeconds = 3;
    slides[2].HoldSeconds = 2;
    slides[3].HoldSeconds = 0; // a single frame, though the run holds for 5
    const TSlideshowData data = Data(slides);
    TSlideshowSequencer seq;
    PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
    std::vector<int> held(4, 0);
    long long frames = 0;
    for (;;) {
        const bool holding = !seq.InTransition && seq.PictureIndex >= 0 && seq.PictureIndex < 4;
        const int picture = seq.PictureIndex;
        if (!seq.NextFrame())
            break;
        ++frames;
        if (holding)
            ++held[std::size_t(picture)];
    }
    EXPECT_EQ(held, (std::vector<int>{10, 30, 20, 1}));
    EXPECT_EQ(frames, 10 + 30 + 20 + 1 + 5 * 6 + 2);
    EXPECT_EQ(frames, SlideshowFrameCount(data));
}

TEST_F(DocumentRunTest, ASlidesEffectIsTheTransitionIntoItAndTheSequenceGoesOn) {
    settings.RandomEffects = false;
    std::vector<TSlide> slides = Plain();
    slides[1].Effect = 12;
    slides[2].Effect = SlideEffectRandom;
    slides[3].Effect = 176;
    auto effectsOf = [](const TSlideshowData& data, std::uint32_t* seedBase) {
        TSlideshowSequencer seq;
        std::vector<int> effects;
        PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(data));
        seq.DrawTransition = [&](TFrameBitmap&, const TFrameBitmap&, const TFrameBitmap&, int effect, int percent) {
            if (percent == 0)
                effects.push_back(effect);
        };
        while (seq.NextFrame()) {
        }
        if (seedBase)
            *seedBase = seq.SeedBase;
        return effects;
    };
    EXPECT_EQ(effectsOf(Data(Plain()), nullptr), (std::vector<int>{1, 2, 3, 4, 5}));
    std::uint32_t seedBase = 0;
    const std::vector<int> effects = effectsOf(Data(slides), &seedBase);
    const int random = RandomSlideEffect(seedBase, 2);
    EXPECT_GE(random, 1);
    EXPECT_LE(random, EffectCount);
    // Into slide 0 (the fade-in) the sequence's 1; slides 1 to 3 their own; to black the 5th.
    EXPECT_EQ(effects, (std::vector<int>{1, 12, random, 176, 5}));

    // With random effects, a slide's own effect leaves the others' random choices as they were.
    settings.RandomEffects = true;
    std::vector<int> plainRandom = effectsOf(Data(Plain()), nullptr);
    std::vector<int> withOwn = effectsOf(Data(slides), nullptr);
    ASSERT_EQ(withOwn.size(), 5u);
    EXPECT_EQ(withOwn[0], plainRandom[0]);
    EXPECT_EQ(withOwn[1], 12);
    EXPECT_EQ(withOwn[4], plainRandom[4]);
}

// Slides that ask for a random effect get one drawn from all of them, first to last, and
// never the effect the run would have used in its place.
TEST_F(DocumentRunTest, RandomSlideEffectsReachEveryEffectAndNeverFallBackToTheRuns) {
    std::vector<TSlide> slides = Plain();
    for (TSlide& slide : slides)
        slide.Effect = SlideEffectRandom;
    int lowest = EffectCount + 1, highest = 0;
    for (std::uint32_t seed = 1; seed <= 400; ++seed) {
        settings.Seed = seed;
        TSlideshowSequencer seq;
        PrepareDocumentSequencer(seq, std::make_shared<const TSlideshowData>(Data(slides)));
        std::vector<int> effects;
        seq.DrawTransition = [&](TFrameBitmap&, const TFrameBitmap&, const TFrameBitmap&, int effect, int percent) {
            if (percent == 0)
                effects.push_back(effect);
        };
        while (seq.NextFrame()) {
        }
        ASSERT_EQ(effects.size(), slides.size() + 1);
        for (int k = 0; k < int(slides.size()); ++k) {
            EXPECT_EQ(effects[std::size_t(k)], RandomSlideEffect(seq.SeedBase, k)) << "seed " << seed << ", slide " << k;
            lowest = std::min(lowest, effects[std::size_t(k)]);
            highest = std::max(highest, effects[std::size_t(k)]);
        }
    }
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, EffectCount);
}
