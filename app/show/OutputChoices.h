#pragma once
// The output choices of a slideshow: what the window's controls, the command line or a project
// file ask of the video (container row, frame size and rate, holds, bit rate, quality, music,
// framing, motion). A plain value, copied into each job. Its values are read and checked where
// they enter (the window's binder, the command line, the project file); the frame size alone
// stays the text the size list shows, as the frame input's parameter string takes it.

#include "app/framing/Framing.h"
#include "app/output/ContainerTable.h"
#include "app/output/FrameCount.h"
#include "app/output/FrameSizeLimits.h"
#include "app/show/MotionTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TSlideshowSettings {
    std::vector<std::string> Pictures;
    std::string OutDir;
    std::string Format = "mp4";            // a container row's list or command-line name (mp4, mp4-h264, ...)
    std::string FrameSize = "320x240";     // as the frame-size list shows it or the user typed it
                                           // (SlideshowFrameSize reads it; the task's parameter string
                                           // and the settings file keep it as it stands)
    TFrameRate FrameRate{30, 1};
    int VideoBitRate = 768000;             // bits per second (the "bitrate" setting x 1000)
    double HoldSeconds = 5;                // 0 to LongestHoldSeconds each
    double TransitionSeconds = 2;
    bool RandomEffects = true;
    std::optional<std::uint32_t> Seed;     // random effects from this seed instead of the clock
    std::string Audio;                     // soundtrack file; empty or missing: none
    int AudioChannels = 2;                 // 1 for mono
    int AudioSampleRate = 44100;           // 0 ("as source") leaves the rate to the engine
    bool BreakWhenNoPictures = false;
    // The rows of today's codecs: constant quality at Crf (below 0: the row's default) or, with
    // ConstantQuality off, the video bit rate above; and the encoder's speed preset.
    bool ConstantQuality = true;
    int Crf = -1;
    TSpeedPreset Preset = spBalanced;
    // How each picture fills the frame.
    TFraming Framing = TFraming::Letterbox;
    // H.264 and H.265: encode on the graphics chip when a VAAPI render node takes the job.
    bool HardwareEncoder = false;
    // Today's codecs: every frame written, at the constant rate (for video editors). Off, a held
    // picture is written once and lasts until the next picture (or the next 2 s key frame).
    bool ConstantFrameRate = false;
    // The music: the soundtracks after Audio, played one after the other in this order; the
    // music repeated to the end of the pictures; fades (seconds; FadeOutSeconds FadeOutAuto:
    // over the last transition, at least 1 s); the integrated loudness in LUFS. With none of
    // them the soundtrack file itself is the task's input 1.
    std::vector<std::string> MoreAudio;
    bool LoopMusic = false;
    double FadeInSeconds = 0;
    double FadeOutSeconds = 0;
    std::optional<double> Loudness;
    // Holds from the music: the slideshow ends when the soundtracks end (FitToMusic), the
    // transitions start on their beats (Beats).
    bool FitToMusic = false;
    bool Beats = false;
    // Pan and zoom over the pictures while they are on screen (a slide's own style overrides).
    TMotionStyle Motion = TMotionStyle::Off;
    double Zoom = DefaultMotionZoom;       // how far zoom and pan go

    // Every field takes part: a choice added here is compared without further code.
    bool operator==(const TSlideshowSettings&) const = default;
};
