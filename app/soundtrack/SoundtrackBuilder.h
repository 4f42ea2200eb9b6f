#pragma once
// The slideshow's whole soundtrack, built before the run when the plain "soundtrack file as the
// second input" is not enough: several songs one after the other, the music looped under
// pictures that last longer, fades at the start and the end, a loudness target, and sounds laid
// over the music (a clip's own sound) with the music ducked beneath them.
//
// The songs are decoded with the loaded FFmpeg and converted with libswresample to the output's
// rate and channels; the loudness is measured by libavfilter's ebur128. The result is written as
// a 32-bit float WAV file into the temporary folder, which the job adds as its input 1 and
// removes when it ends. A file keeps the engine's input path as it is (its information text, its
// end of stream, its interleaving with the pictures) and the build fails before the video starts.

#include "app/soundtrack/AudioOverlay.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A fade-out of this length means: over the last transition into black, and at least 1 s.
constexpr double FadeOutAuto = -1;
// What the choices accept: fades up to ten minutes, loudness targets from -60 to -5 LUFS.
constexpr double MaxFadeSeconds = 600;
constexpr double MinLoudness = -60;
constexpr double MaxLoudness = -5;

struct TSoundtrackPlan {
    std::vector<std::string> Songs;        // played in this order
    int Rate = 44100;                      // 0: the first song's own rate
    int Channels = 2;
    double VideoSeconds = 0;               // how long the pictures last
    double LastTransitionSeconds = 0;      // the transition into black at the end
    bool Loop = false;                     // repeat the music to the end of the pictures
    bool EndWithVideo = false;             // "Break when no pictures": the run ends with the pictures
    double FadeInSeconds = 0;
    double FadeOutSeconds = 0;             // 0: none; FadeOutAuto
    std::optional<double> Loudness;        // integrated loudness target, LUFS
    std::vector<TAudioOverlay> Overlays;
    std::function<bool()> Cancelled;       // asked while decoding; true stops the build
};

// What the plan makes of its lengths, in seconds (for the log and for tests).
struct TSoundtrackShape {
    double Music = 0;      // the songs one after the other
    double Length = 0;     // of the built soundtrack
    double FadeOut = 0;    // the fade-out that ends it (0: none)
};

// The length of the built soundtrack from the songs' length: with the loop or "Break when no
// pictures" it is the pictures' length; with a fade-out it ends with the pictures or the music,
// whichever ends first; else it is the music's (or the last overlay's end, when later).
TSoundtrackShape SoundtrackShape(const TSoundtrackPlan& plan, double musicSeconds);

// A built soundtrack file, removed with the object.
class TBuiltSoundtrack {
public:
    TBuiltSoundtrack() = default;
    ~TBuiltSoundtrack();
    TBuiltSoundtrack(const TBuiltSoundtrack&) = delete;
    TBuiltSoundtrack& operator=(const TBuiltSoundtrack&) = delete;

    // Builds the plan's soundtrack into a fresh file of the temporary folder. False with error
    // (naming the file at fault) and no file left when a song or overlay cannot be used, the
    // build was stopped, or the file cannot be written.
    bool Build(const TSoundtrackPlan& plan, std::string& error);
    const std::string& Path() const { return path_; }
    const TSoundtrackShape& Shape() const { return shape_; }
    // The integrated loudness measured before normalising (when a target was set).
    std::optional<double> MeasuredLoudness() const { return measured_; }
    void Remove();

private:
    std::string path_;
    TSoundtrackShape shape_;
    std::optional<double> measured_;
};

// Writes interleaved float samples as a WAV file (IEEE float, 32 bits). False with error.
bool WriteFloatWav(const std::string& file, const std::vector<float>& samples, int rate, int channels,
                   std::string& error);
