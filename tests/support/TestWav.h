#pragma once
// Soundtracks made in code: 16-bit PCM WAV files.

#include <string>

// seconds of a sine tone of frequency Hz at rate samples per second on channels channels.
void WriteTestWav(const std::string& fileName, double seconds, int rate = 44100, int channels = 2,
                  double frequency = 440);
