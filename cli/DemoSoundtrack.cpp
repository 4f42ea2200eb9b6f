#include "cli/DemoSoundtrack.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {
void Put(std::vector<char>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

// Semitones above A4 of a rising and falling arpeggio in C major, one note per quarter second.
const int Tune[] = {-9, -5, -2, 3, 7, 3, -2, -5, -7, -4, 0, 5, 8, 5, 0, -4};
} // namespace

void WriteDemoSoundtrack(const std::string& fileName, double seconds) {
    const int rate = 44100, channels = 2;
    const auto frames = std::uint32_t(std::max(0.0, seconds) * rate);
    const std::uint32_t dataBytes = frames * channels * 2;
    std::vector<char> out;
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put(out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(out, 16, 4);
    Put(out, 1, 2); // PCM
    Put(out, channels, 2);
    Put(out, rate, 4);
    Put(out, rate * channels * 2, 4);
    Put(out, channels * 2, 2);
    Put(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put(out, dataBytes, 4);
    const std::uint32_t noteLength = rate / 4;
    for (std::uint32_t i = 0; i < frames; ++i) {
        std::uint32_t note = i / noteLength, at = i % noteLength;
        double frequency = 440.0 * std::pow(2.0, Tune[note % (sizeof Tune / sizeof Tune[0])] / 12.0);
        double t = double(at) / rate;
        // A soft attack and a decay per note, so the notes do not click.
        double envelope = std::min(1.0, t / 0.01) * std::exp(-t * 6);
        double sample = envelope * (0.6 * std::sin(2 * M_PI * frequency * t) + 0.2 * std::sin(4 * M_PI * frequency * t));
        // The second voice a fifth lower on the right channel.
        double low = envelope * 0.3 * std::sin(2 * M_PI * frequency * 2 / 3 * t);
        Put(out, std::uint16_t(std::int16_t(std::lround(12000 * (sample + 0.3 * low)))), 2);
        Put(out, std::uint16_t(std::int16_t(std::lround(12000 * (0.7 * sample + low)))), 2);
    }
    std::ofstream file(fileName, std::ios::binary);
    if (!file.write(out.data(), std::streamsize(out.size())))
        throw std::runtime_error("Cannot write the demo soundtrack: " + fileName);
}
