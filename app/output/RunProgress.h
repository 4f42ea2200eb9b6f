#pragma once
// How far a run is, in words a person reads at a glance: "0:23 of 1:00 · 21 fps · about 0:35
// left" (seconds of the slideshow written, of its whole length; frames encoded per second; the
// time the rest will take at the pace so far).

#include <string>

// "0:07", "12:34", "1:02:03"; "--:--" for a negative, unknown or absurd time.
std::string ClockText(double seconds);

struct TRunPace {
    double WrittenSeconds = 0;  // slideshow seconds written so far
    double TotalSeconds = -1;   // the slideshow's length, or not above 0 when unknown
    int FramesPerSecond = 0;    // the encoder's pace
    double WorkSeconds = 0;     // time spent running (pauses left out)
};

// The line for a pace; the time left only once there is a pace to go by (a second of work and
// something written), the total only when known.
std::string RunProgressText(const TRunPace& pace);
