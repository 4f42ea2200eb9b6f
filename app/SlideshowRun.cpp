#include "app/SlideshowRun.h"

#include "app/document/DocumentSequencer.h"
#include "app/output/FrameCount.h"
#include "app/clips/ClipSlides.h"
#include "app/timing/MusicTiming.h"

TSlideshowRun PrepareSlideshowRun(TSlideshowSequencer& sequencer, const TSlideshowData& data) {
    const TSlideshowSettings& settings = data.Output;
    TSlideshowRun run;
    if (UsesMusicTiming(settings)) {
        TMusicTiming planned = PlanMusicTiming(data);
        run.TimingLines = planned.Log;
        run.Timing = std::make_shared<const TSlideTiming>(std::move(planned.Plan));
    }
    sequencer.PictureLoader.Framing = settings.Framing;
    run.Frames = SlideshowFrameCount(data, run.Timing.get());
    const double fps = settings.FrameRate.PerSecond();
    run.VideoSeconds = double(run.Frames) / fps;
    run.LastTransitionSeconds = FrameCount(settings.FrameRate, settings.TransitionSeconds) / fps;
    run.Overlays = ClipAudioOverlays(data, run.Timing.get());
    PrepareDocumentSequencer(sequencer, std::make_shared<const TSlideshowData>(data), run.Timing);
    return run;
}

TSoundtrackPlan SoundtrackPlanOf(const TSlideshowSettings& settings, const TSlideshowRun& run, int sampleRate) {
    TSoundtrackPlan plan;
    if (!settings.Audio.empty())
        plan.Songs.push_back(settings.Audio);
    plan.Songs.insert(plan.Songs.end(), settings.MoreAudio.begin(), settings.MoreAudio.end());
    plan.Rate = sampleRate;
    plan.Channels = settings.AudioChannels;
    plan.VideoSeconds = run.VideoSeconds;
    plan.LastTransitionSeconds = run.LastTransitionSeconds;
    plan.Loop = settings.LoopMusic;
    plan.EndWithVideo = settings.BreakWhenNoPictures;
    plan.FadeInSeconds = settings.FadeInSeconds;
    plan.FadeOutSeconds = settings.FadeOutSeconds;
    plan.Loudness = settings.Loudness;
    plan.Overlays = run.Overlays;
    return plan;
}
