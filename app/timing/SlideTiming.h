#pragma once
// Per-slide holds worked out from the music: fitted to its length, and moved onto its beats.
//
// A run of n slides with transitions of T frames starts transition k (k = 1..n; n is the last
// one, to black) at frame k x T + the holds of slides 0..k-1; the fade-in starts at frame 0.
// Everything here works on those whole frames.

#include <string>
#include <vector>

// The holds a run uses instead of its own, one per slide, each at least 1 frame.
struct TSlideTiming {
    std::vector<int> HoldFrames;
    bool operator==(const TSlideTiming&) const = default;
};

// The frames of the whole run with these holds: fade-in, per slide a hold and a transition,
// and the two black frames at the end.
long long TimedFrameCount(const std::vector<int>& holds, int transitionFrames);
// The first frame of transition k for k = 1..n (index k - 1).
std::vector<long long> TransitionStarts(const std::vector<int>& holds, int transitionFrames);

// Holds that make the run last totalFrames in all. ownHolds has one entry per slide: above 0
// the slide's own hold, kept; 0 for a slide that shares what remains. The shared holds differ
// by at most one frame (the longer ones first). False when the remainder cannot give every
// sharing slide a frame (the music is too short for the transitions and the own holds).
// Without a sharing slide the own holds come back unchanged.
bool FitHolds(const std::vector<int>& ownHolds, int transitionFrames, long long totalFrames, std::vector<int>& holds);

// What moving the transitions onto the beats did.
struct TBeatSnap {
    std::vector<int> HoldFrames;
    int OnBeat = 0;      // transitions that start on a beat (or a bar's first beat)
    int Moved = 0;       // of them, those whose start changed
    bool OnBars = false; // the bars' first beats were used
};

// Moves each transition's start to the nearest beat; on the first beat of a bar (every 4th
// beat, the phase that moves them least) when a hold and a transition together last two bars.
// beatFrames: the beats as frame numbers, rising. A transition whose nearest beat is farther
// than a beat (a bar) away stays where it is, and every hold keeps at least 1 frame. The
// average hold stays within 10 % of that of holds, else the bars are given up for the beats,
// and the beats for the holds as they are. keepEnd: the last transition stays where it is (the
// run keeps its length), the others are moved only so far that every later hold keeps a frame.
// reported: the beats the tracker heard itself (beatFrames may fill its gaps at the tempo); on
// plain beats a reported one up to a beat and a half away wins over a filled one.
TBeatSnap SnapToBeats(const std::vector<int>& holds, int transitionFrames, const std::vector<long long>& beatFrames,
                      bool keepEnd, const std::vector<long long>& reported = {});
