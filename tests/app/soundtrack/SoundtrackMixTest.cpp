// The soundtrack's arithmetic on plain buffers: loop seams, fades, ducking and the lengths a plan
// gives the built soundtrack.

#include "app/soundtrack/SoundtrackBuilder.h"
#include "app/soundtrack/SoundtrackMix.h"
#include "tests/support/AudioAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr int Rate = 8000;

// A tone whose length is no whole number of periods: played again from the start, it jumps.
std::vector<float> Tone(double seconds, double frequency, int channels = 1, double amplitude = 0.5) {
    std::vector<float> out;
    const long long frames = std::llround(seconds * Rate);
    for (long long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(float(amplitude * std::sin(2 * M_PI * frequency * double(i) / Rate + 0.3)));
    return out;
}
} // namespace

TEST(SoundtrackMix, ALoopFillsTheLengthWithoutAStepLargerThanTheSongsOwn) {
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::vector<float> song = Tone(0.5, 441.3, channels);
        std::vector<float> mono;
        for (std::size_t i = 0; i < song.size(); i += std::size_t(channels))
            mono.push_back(song[i]);
        const double own = LargestStep(mono, 0, (long long)mono.size());
        // Without a crossfade the seam itself is the largest step by far.
        std::vector<float> plain = song;
        plain.insert(plain.end(), song.begin(), song.end());
        std::vector<float> plainMono;
        for (std::size_t i = 0; i < plain.size(); i += std::size_t(channels))
            plainMono.push_back(plain[i]);
        ASSERT_GT(LargestStep(plainMono, 0, (long long)plainMono.size()), 3 * own);

        std::vector<float> looped = song;
        LoopToLength(looped, channels, 9 * Rate / 4, Rate / 20);
        ASSERT_EQ(looped.size(), std::size_t(9 * Rate / 4 * channels));
        for (int c = 0; c < channels; ++c) {
            std::vector<float> one;
            for (std::size_t i = std::size_t(c); i < looped.size(); i += std::size_t(channels))
                one.push_back(looped[i]);
            EXPECT_LE(LargestStep(one, 0, (long long)one.size()), own * 1.001);
        }
        // The start plays as the song does.
        EXPECT_EQ(std::vector<float>(looped.begin(), looped.begin() + 100), std::vector<float>(song.begin(), song.begin() + 100));
    }
    // Long enough already: only cut.
    std::vector<float> song = Tone(1, 300);
    LoopToLength(song, 1, Rate / 2, Rate / 20);
    EXPECT_EQ(song, Tone(0.5, 300));
}

TEST(SoundtrackMix, FadesRiseAndFallMonotonicallyAndTheEndIsSilent) {
    const int window = Rate / 10;
    std::vector<float> music = Tone(6, 440, 1, 0.9);
    ApplyFades(music, 1, 2 * Rate, 2 * Rate);
    for (int w = 1; w < 20; ++w)
        EXPECT_GT(Rms(music, w * window, window), Rms(music, (w - 1) * window, window)) << "fade-in window " << w;
    // Between the fades the music is untouched.
    EXPECT_NEAR(Rms(music, 2 * Rate, 2 * Rate), 0.9 / std::sqrt(2.0), 0.01);
    const long long fadeStart = 4 * Rate;
    double last = Rms(music, fadeStart - window, window);
    for (int w = 0; w < 20; ++w) {
        const double now = Rms(music, fadeStart + w * window, window);
        EXPECT_TRUE(now < last || (now == 0 && last == 0)) << "fade-out window " << w;
        last = now;
    }
    EXPECT_LT(Decibels(Rms(music, (long long)music.size() - window, window)), -60);
    // A fade longer than the music is cut to it; the end stays silent.
    std::vector<float> shortMusic = Tone(0.5, 440);
    ApplyFades(shortMusic, 1, 0, 10 * Rate);
    EXPECT_LT(Decibels(Rms(shortMusic, (long long)shortMusic.size() - Rate / 20, Rate / 20)), -60);
}

TEST(SoundtrackMix, TheMusicDucksUnderAnOverlayWithRampsAndComesBack) {
    const long long ramp = Rate / 5;
    std::vector<float> gain = DuckEnvelope(10 * Rate, {{3 * Rate, 2 * Rate, DuckGain}, {4 * Rate, 3 * Rate, 0}}, ramp);
    EXPECT_FLOAT_EQ(gain[std::size_t(3 * Rate - ramp - 1)], 1);
    EXPECT_NEAR(gain[std::size_t(3 * Rate)], DuckGain, 1e-3);
    EXPECT_NEAR(gain[std::size_t(3 * Rate + Rate / 2)], DuckGain, 1e-6);
    // Where the silent one overlaps, the lower gain holds.
    EXPECT_FLOAT_EQ(gain[std::size_t(4 * Rate + Rate / 2)], 0);
    EXPECT_FLOAT_EQ(gain[std::size_t(7 * Rate + ramp)], 1);
    EXPECT_NEAR(20 * std::log10(DuckGain), -12, 0.05);
    // The ramps are smooth: no step of the gain larger than a ramp's share.
    for (std::size_t i = 1; i < gain.size(); ++i)
        ASSERT_LE(std::abs(gain[i] - gain[i - 1]), 2.0 / double(ramp)) << i;

    std::vector<float> mix(std::size_t(Rate), 0.0f);
    const std::vector<float> overlay(std::size_t(Rate), 0.5f);
    MixOver(mix, 1, overlay, Rate / 2, 80);
    ASSERT_EQ(mix.size(), std::size_t(3 * Rate / 2)); // grown for the overlay's end
    EXPECT_FLOAT_EQ(mix[std::size_t(Rate / 2)], 0);    // edges ramp in and out
    EXPECT_FLOAT_EQ(mix[std::size_t(Rate)], 0.5f);
    EXPECT_LT(mix.back(), 0.01f);
}

TEST(SoundtrackMix, TheShapeOfTheBuiltSoundtrack) {
    TSoundtrackPlan plan;
    plan.VideoSeconds = 20;
    plan.LastTransitionSeconds = 2;
    // Several songs alone play to their end, as one soundtrack did.
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 30).Length, 30);
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 12).Length, 12);
    plan.Overlays.push_back({"clip.mp4", 0, 4, 14, true, false});
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 12).Length, 18);
    plan.Overlays.clear();
    // A loop ends with the pictures, longer music or shorter.
    plan.Loop = true;
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 5).Length, 20);
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 50).Length, 20);
    plan.Loop = false;
    // "Break when no pictures" cuts longer music; shorter music keeps its own end.
    plan.EndWithVideo = true;
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 50).Length, 20);
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 5).Length, 5);
    plan.EndWithVideo = false;
    // A fade-out ends with the pictures or the music, whichever ends first; its automatic length is
    // the last transition, at least 1 s.
    plan.FadeOutSeconds = FadeOutAuto;
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 50).Length, 20);
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 50).FadeOut, 2);
    plan.LastTransitionSeconds = 0.2;
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 50).FadeOut, 1);
    plan.FadeOutSeconds = 3;
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 8).Length, 8);
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 8).FadeOut, 3);
    EXPECT_DOUBLE_EQ(SoundtrackShape(plan, 2).FadeOut, 2);
}
