#pragma once
// How many frames a delay in seconds lasts at the chosen frame rate.

#include <string>

// A plain decimal number ("2", "-1.5", "2.5e1", blanks around it allowed), the one reading of
// seconds the window, the settings and the command line share: no hexadecimal ("0x10"), no
// "inf" or "nan". False when text is none.
bool ParseDecimalNumber(const std::string& text, double& value);

// frameRateText is "N:D" as the frame-rate list shows it; delayText is seconds as typed.
// The numerator reads as 30 and the denominator as 1 when they are not integers (a zero
// denominator also counts as 1); the delay reads as 2 seconds when it is not a number.
// Result: N x seconds / D rounded to nearest with halves to even, at least 1.
int FrameCountRule(const std::string& frameRateText, const std::string& delayText);
// Seconds as the shortest text that reads back as the same number (for the frame-count rule).
std::string SecondsText(double seconds);
