#pragma once
// The demo's soundtrack, made in code: a few bars of a simple tune as a 16-bit stereo WAV file.

#include <string>

// Writes seconds of the tune at 44100 samples per second. Throws std::runtime_error when the
// file cannot be written.
void WriteDemoSoundtrack(const std::string& fileName, double seconds);
