#pragma once
// The holds of a slideshow that follows its music: --fit-to-music makes it end when the music
// ends, --beats starts every transition on a beat. Both at once: fitted first, then moved onto
// the beats with the end kept.

#include "app/timing/SlideTiming.h"

#include <string>
#include <vector>

struct TSlideshowData;
struct TSlideshowSettings;

// Whether the output choices ask for holds from the music.
bool UsesMusicTiming(const TSlideshowSettings& output);
// The music the slideshow plays: its soundtracks, one after the other.
std::vector<std::string> MusicFiles(const TSlideshowData& data);

struct TMusicTiming {
    TSlideTiming Plan;
    std::vector<std::string> Log; // what was found and done, for the job's log
};

// Reads the music (loading the media libraries when needed) and works out the holds. Throws
// TMusicError naming the file that cannot be read, or saying why the holds cannot fit.
TMusicTiming PlanMusicTiming(const TSlideshowData& data);

// The beats as frame numbers at frame rate num/den (each beat on the frame nearest to it),
// rising and without repeats.
std::vector<long long> BeatFrames(const std::vector<double>& beatSeconds, int num, int den);
