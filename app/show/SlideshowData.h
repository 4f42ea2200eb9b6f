#pragma once
// What a slideshow is, as a plain value: the slides in the order they are shown (a picture or
// clip each, with its own hold, effect, caption, motion and clip choices where it has them), the
// soundtracks, and the output choices. The document (app/document) edits such a value; the job,
// the sequencer's hooks, the project file and the command line read it.

#include "app/show/CaptionStyle.h"
#include "app/show/ClipTypes.h"
#include "app/show/MotionTypes.h"
#include "app/show/OutputChoices.h"
#include "app/show/TitleBackground.h"

#include <optional>
#include <string>
#include <vector>

// The effect of a slide that asks for a random effect instead of a numbered row.
inline constexpr int SlideEffectRandom = 0;

// Per-slide choices of the features that come later. They are kept here so that every per-slide
// value lives in TSlide and in the project file's slide object ("motion", "music", "clip"); a
// document that leaves them at their defaults renders as if they did not exist.
struct TSlideMotion { // pan and zoom over the picture while it is on screen
    std::optional<TMotionStyle> Style;     // none: the output choices' motion
    TMotionRect Start, End;                // the framings of TMotionStyle::Rects, first and last frame
    bool operator==(const TSlideMotion&) const = default;
};
struct TSlideMusic { // a cue of the music the slide starts with or waits for
    bool operator==(const TSlideMusic&) const = default;
};
struct TSlideClip { // the part of a video clip a clip slide plays (the slide's file is the clip)
    std::optional<double> In;              // seconds into the clip it starts at; none: its start
    std::optional<double> Out;             // seconds into the clip it ends at; none: its end
    TClipSound Sound = TClipSound::Mix;    // what becomes of the clip's own sound
    bool operator==(const TSlideClip&) const = default;
};

struct TSlide {
    std::string Picture;                   // the picture file (absolute, or as the user gave it)
    std::optional<double> HoldSeconds;     // none: the output choices' hold
    std::optional<int> Effect;             // none: the run's sequence; 1..176 a row; SlideEffectRandom
    std::string Caption;                   // drawn on the picture; empty: none
    bool CaptionDateTaken = false;         // an empty caption shows the photo's date taken (EXIF)
    TSlideMotion Motion;
    TSlideMusic Music;
    TSlideClip Clip;
    std::optional<TCaptionStyle> CaptionStyle; // none: the show's caption style
    TSlideTitle Title;                     // a title slide: its caption on a background, no picture

    bool operator==(const TSlide&) const = default;
    // True when the slide has no value of its own besides its picture.
    bool IsPlain() const;
};

// A slide of the picture with no values of its own.
TSlide PlainSlide(const std::string& picture);

struct TSoundtrack {
    std::string File;
    bool operator==(const TSoundtrack&) const = default;
};

// The plain content of a document: a value that can be copied, compared, saved and rendered.
struct TSlideshowData {
    std::vector<TSlide> Slides;
    std::vector<TSoundtrack> Soundtracks;
    TSlideshowSettings Output;             // Output.Pictures and Output.Audio stay empty
    bool CaptionSubtitles = false;         // captions also as a subtitle stream (mp4, mov)
    TCaptionStyle CaptionStyle;            // the show's caption style
    std::optional<double> CaptionFadeSeconds; // captions fade over this; none: the transition's length

    bool operator==(const TSlideshowData& other) const;
};

// Every slide and soundtrack of data that names no regular file, one line each
// ("slide 2: \"p.jpg\" is a named pipe, not a file"); empty when there is none.
std::string NotAFileProblems(const TSlideshowData& data);
