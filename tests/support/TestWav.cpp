#include "tests/support/TestWav.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {
void Put(std::ofstream& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(char((v >> (8 * i)) & 0xFF));
}
} // namespace

void WriteTestWav(const std::string& fileName, double seconds, int rate, int channels, double frequency) {
    std::uint32_t frames = std::uint32_t(seconds * rate);
    std::uint32_t dataBytes = frames * std::uint32_t(channels) * 2;
    std::ofstream out(fileName, std::ios::binary);
    if (!out)
        throw std::runtime_error("cannot write " + fileName);
    out.write("RIFF", 4);
    Put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2); // PCM
    Put(out, std::uint32_t(channels), 2);
    Put(out, std::uint32_t(rate), 4);
    Put(out, std::uint32_t(rate * channels * 2), 4);
    Put(out, std::uint32_t(channels * 2), 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        auto s = std::int16_t(std::lround(12000 * std::sin(2 * M_PI * frequency * i / rate)));
        for (int c = 0; c < channels; ++c)
            Put(out, std::uint16_t(s), 2);
    }
}
