#pragma once
// A sound laid over the soundtrack at a place in the slideshow: a video clip's own sound.
//
// The soundtrack builder decodes the overlay's first audio stream from SourceStart for Duration
// seconds, converts it to the output's rate and channels and mixes it in at At seconds of the
// slideshow. Under it the music is ducked (DuckMusic: about -12 dB, with short ramps on both
// sides) or silenced (MusicSilent: the clip's sound alone); with neither the two are simply mixed.

#include <string>

struct TAudioOverlay {
    std::string File;          // the media file whose first audio stream is laid over
    double SourceStart = 0;    // seconds into the file where the overlay begins
    double Duration = 0;       // seconds laid over
    double At = 0;             // seconds into the slideshow where it begins
    bool DuckMusic = true;     // the music ducks under the overlay
    bool MusicSilent = false;  // the music is silent under the overlay (wins over DuckMusic)

    bool operator==(const TAudioOverlay&) const = default;
};
