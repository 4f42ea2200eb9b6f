#pragma once
// How many frames a delay in seconds lasts at the chosen frame rate.

#include <string>

// A plain decimal number ("2", "-1.5", "2.5e1", blanks around it allowed), the one reading of
// seconds the window, the settings and the command line share: no hexadecimal ("0x10"), no
// "inf" or "nan". False when text is none.
bool ParseDecimalNumber(const std::string& text, double& value);

// A frame rate: Num frames every Den seconds.
struct TFrameRate {
    int Num = 30;
    int Den = 1;
    bool operator==(const TFrameRate&) const = default;
    // Frames per second, and seconds of one frame; 30 a second for a rate that is none.
    double PerSecond() const { return Num > 0 && Den > 0 ? double(Num) / Den : 30.0; }
    double FrameSeconds() const { return 1.0 / PerSecond(); }
    // "N:D", as the frame-rate list shows it, and "N/D", as the engine takes it.
    std::string Text() const;
    std::string EngineText() const;
};

// The longest hold or transition a show may ask for, in seconds (a day).
inline constexpr double LongestHoldSeconds = 24 * 3600;

// The frame-count rule's readings of the window's texts: a rate's numerator as 30 and its
// denominator as 1 when they are not integers (a zero denominator also as 1); a delay as 2
// seconds when it is not a number.
TFrameRate ReadFrameRate(const std::string& frameRateText);
double ReadDelaySeconds(const std::string& delayText);
// "N:D" with whole numbers above 0 (blanks around them allowed); false when text is none.
bool ParseFrameRate(const std::string& text, TFrameRate& rate);
// N x seconds / D rounded to nearest with halves to even, at least 1 (and at most INT_MAX).
int FrameCount(const TFrameRate& rate, double seconds);

// frameRateText is "N:D" as the frame-rate list shows it; delayText is seconds as typed.
// The numerator reads as 30 and the denominator as 1 when they are not integers (a zero
// denominator also counts as 1); the delay reads as 2 seconds when it is not a number.
// Result: N x seconds / D rounded to nearest with halves to even, at least 1.
int FrameCountRule(const std::string& frameRateText, const std::string& delayText);
// Seconds as the shortest text that reads back as the same number (for the frame-count rule).
std::string SecondsText(double seconds);
