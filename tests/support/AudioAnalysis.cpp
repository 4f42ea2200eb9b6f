#include "tests/support/AudioAnalysis.h"

#include "tests/support/RunCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <unistd.h>

std::vector<float> DecodeInterleaved(const std::string& file, int rate, int channels) {
    const std::string raw = file + ".decoded.raw";
    TRunResult r = RunShell("ffmpeg -nostdin -v error -i '" + file + "' -map 0:a:0 -f f32le -acodec pcm_f32le -ar " +
                            std::to_string(rate) + " -ac " + std::to_string(channels) + " -y '" + raw + "'");
    if (r.Status != 0)
        throw std::runtime_error("ffmpeg cannot decode " + file + ": " + r.Output);
    std::ifstream in(raw, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ::unlink(raw.c_str());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::copy(bytes.data(), bytes.data() + samples.size() * sizeof(float), reinterpret_cast<char*>(samples.data()));
    return samples;
}

std::vector<float> DecodeMono(const std::string& file, int rate) { return DecodeInterleaved(file, rate, 1); }

double Rms(const std::vector<float>& samples, long long from, long long count) {
    from = std::max(0LL, from);
    const long long to = std::min<long long>((long long)samples.size(), from + count);
    if (to <= from)
        return 0;
    double sum = 0;
    for (long long i = from; i < to; ++i)
        sum += double(samples[std::size_t(i)]) * samples[std::size_t(i)];
    return std::sqrt(sum / double(to - from));
}

double Decibels(double rms) { return 20 * std::log10(std::max(rms, 1e-12)); }

double ToneLevel(const std::vector<float>& samples, int rate, double frequency, long long from, long long count) {
    from = std::max(0LL, from);
    const long long to = std::min<long long>((long long)samples.size(), from + count);
    const double w = 2 * M_PI * frequency / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (long long i = from; i < to; ++i) {
        const double s = samples[std::size_t(i)] + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return to > from ? 2 * std::sqrt(std::max(0.0, power)) / double(to - from) : 0;
}

double LargestStep(const std::vector<float>& samples, long long from, long long to) {
    from = std::max(0LL, from);
    to = std::min<long long>((long long)samples.size(), to);
    double largest = 0;
    for (long long i = from; i + 1 < to; ++i)
        largest = std::max(largest, double(std::abs(samples[std::size_t(i + 1)] - samples[std::size_t(i)])));
    return largest;
}

double IntegratedLoudness(const std::string& file) {
    TRunResult r = RunShell("ffmpeg -nostdin -hide_banner -nostats -i '" + file + "' -af ebur128 -f null - 2>&1");
    std::smatch m;
    // The summary at the end: "Integrated loudness:\n    I:         -16.0 LUFS"
    const std::regex summary(R"(Integrated loudness:\s*I:\s*(-?[0-9.]+) LUFS)");
    if (!std::regex_search(r.Output, m, summary))
        throw std::runtime_error("no loudness summary from ffmpeg: " + r.Output.substr(r.Output.size() > 400 ? r.Output.size() - 400 : 0));
    return std::strtod(m[1].str().c_str(), nullptr);
}
