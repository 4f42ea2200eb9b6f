#pragma once
// The beats of a piece of music, found by aubio's tempo tracker.

#include <vector>

struct TBeats {
    std::vector<double> Times;   // seconds from the start of the music, rising
    double Bpm = 0;              // the tempo they keep (0 when fewer than two were found)
};

// Feeds mono samples hop by hop into the tracker and collects every beat it reports.
class TBeatTracker {
public:
    static constexpr int Hop = 512;
    static constexpr int Window = 1024;

    explicit TBeatTracker(int sampleRate);
    ~TBeatTracker();
    TBeatTracker(const TBeatTracker&) = delete;
    TBeatTracker& operator=(const TBeatTracker&) = delete;

    // Any number of samples; they are cut into hops here. offsetSeconds is added to the times
    // of the beats found from now on (where this song starts in a list of songs).
    void Feed(const float* samples, int count);
    void SetOffset(double offsetSeconds) { offset_ = offsetSeconds; }
    // The beats so far, with their tempo: the tracker's own (their median distance when it has
    // none), refined to the period that fits all of them best.
    TBeats Result() const;

private:
    void RunHop();
    void Release();
    int rate_;
    double offset_ = 0;
    struct TState;
    TState* s_;
    std::vector<double> times_;
};

// The beats completed into a steady grid: gaps the tracker left (its start-up, a quiet passage)
// are filled at the tempo, from the start of the music to its end (seconds).
std::vector<double> CompletedBeats(const TBeats& beats, double musicSeconds);
