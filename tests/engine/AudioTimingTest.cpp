// Where the audio lands in time: silence and discarding for sync when the stream is resampled,
// samples discarded at the front of a block of packed and of planar input, and the length of a
// run whose last encoder frame is short. Inputs are made with ffmpeg's lavfi sources; outputs are
// decoded back with ffmpeg and compared sample by sample.

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/StreamProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {
std::string MakeAudio(const TTempDir& dir, const std::string& name, const std::string& lavfi, const std::string& extra) {
    const std::string file = dir.File(name);
    int status = 0;
    const std::string out =
        RunCommand("ffmpeg -nostdin -v error -f lavfi -i \"" + lavfi + "\" " + extra + " -y '" + file + "'", &status);
    EXPECT_EQ(status, 0) << out;
    return file;
}

// The first audio stream of file decoded by ffmpeg to interleaved signed 16-bit samples with
// its own rate and channels.
std::vector<int16_t> Decoded(const TTempDir& dir, const std::string& file) {
    const std::string raw = dir.File("decoded.raw");
    RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:a:0 -f s16le -y '" + raw + "'");
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// One input (with an "itsoffset" in seconds), the output options, one output.
bool RunAudioJob(TCustomFFmpeg& job, const std::string& input, const std::string& offset,
         const std::vector<std::pair<std::string, std::string>>& options, const std::string& output) {
    if (!offset.empty())
        job.ApplyOption("itsoffset", offset);
    if (!job.OpenInputFile(input)) {
        ADD_FAILURE() << "input " << input << ": " << job.LastError;
        return false;
    }
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    if (job.OpenOutputFile(output) < 0) {
        ADD_FAILURE() << "output: " << job.LastError;
        return false;
    }
    return job.Execute();
}

// Starts of the bursts in mono samples: the first sample above level, then the next one at
// least `gap` samples later, and so on.
std::vector<long> Onsets(const std::vector<int16_t>& s, int level, long gap) {
    std::vector<long> found;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::abs(int(s[i])) > level && (found.empty() || long(i) >= found.back() + gap))
            found.push_back(long(i));
    return found;
}
} // namespace

// Bursts of tone at 1 s and 2 s of a 48 kHz source, written at 16 kHz with "async": a late start
// is filled with silence and an early one cut off, both counted in output samples, so the bursts
// stay where the timestamps put them and the length follows.
TEST(EngineAudioTiming, ResampledStreamKeepsItsTimingWhenSyncAddsOrDiscards) {
    TTempDir dir;
    const std::string bursts = MakeAudio(
        dir, "bursts.wav", "aevalsrc='if(between(t\\,1\\,1.02)+between(t\\,2\\,2.02)\\,0.7*sin(2*PI*1000*t)\\,0)':s=48000:d=3",
        "-c:a pcm_s16le");
    const struct {
        const char* Offset;
        double Length;      // seconds of output
        double Bursts[2];   // where they start in the output
    } cases[] = {
        {"0.5", 3.5, {1.5, 2.5}},   // silence first
        {"-0.03", 2.97, {0.97, 1.97}},  // the first 30 ms discarded, inside the first block
        {"0", 3.0, {1.0, 2.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("offset ") + c.Offset);
        const std::string out = dir.File("resampled.wav");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunAudioJob(job, bursts, c.Offset, {{"acodec", "pcm_s16le"}, {"ar", "16000"}, {"async", "1"}}, out))
            << job.ErrorMessage();
        const TStreamProbe p = ProbeStream(out, "a");
        EXPECT_EQ(p.SampleRate, 16000);
        const std::vector<int16_t> s = Decoded(dir, out);
        EXPECT_NEAR(double(s.size()) / 16000, c.Length, 0.01);
        const std::vector<long> onsets = Onsets(s, 3000, 8000);
        ASSERT_EQ(onsets.size(), 2u);
        for (int i = 0; i < 2; ++i)
            EXPECT_NEAR(double(onsets[i]) / 16000, c.Bursts[i], 0.002) << "burst " << i + 1;
    }
}

// A start 10 ms early discards 441 samples inside the first decoded block. The rest of the sound
// comes out sample for sample, each channel in its place, whether the decoder delivers the
// channels interleaved (PCM in WAV) or one plane per channel (WavPack).
TEST(EngineAudioTiming, DiscardingTheFrontOfABlockKeepsChannelsAndSamplesInPlace) {
    TTempDir dir;
    // Left and right differ: a channel swap or a shift by a sample shows.
    const std::string lavfi = "aevalsrc='0.5*sin(2*PI*440*t)|0.4*sin(2*PI*1250*t)':s=44100:d=1";
    const struct {
        const char* Name;
        const char* File;
        const char* Codec;
    } inputs[] = {{"interleaved", "in.wav", "pcm_s16le"}, {"planar", "in.wv", "wavpack"}};
    for (const auto& in : inputs) {
        SCOPED_TRACE(in.Name);
        const std::string source = MakeAudio(dir, in.File, lavfi, std::string("-c:a ") + in.Codec + " -sample_fmt s16" +
                                                                     (std::string(in.Codec) == "wavpack" ? "p" : ""));
        const std::vector<int16_t> original = Decoded(dir, source);
        ASSERT_EQ(original.size(), 2u * 44100);
        const std::string out = dir.File("early.wav");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunAudioJob(job, source, "-0.01", {{"acodec", "pcm_s16le"}, {"async", "1"}}, out)) << job.ErrorMessage();
        const std::vector<int16_t> s = Decoded(dir, out);
        ASSERT_EQ(s.size(), original.size() - 2 * 441);
        std::size_t wrong = 0, first = s.size();
        for (std::size_t i = 0; i < s.size(); ++i)
            if (s[i] != original[i + 2 * 441]) {
                ++wrong;
                first = std::min(first, i);
            }
        EXPECT_EQ(wrong, 0u) << "first differing sample " << first / 2 << (first % 2 ? " right" : " left");
    }
}

// FLAC takes a short last frame: a run ends with exactly the samples of its input, without a
// padding of silence up to a whole frame (4608 samples at 44.1 kHz).
TEST(EngineAudioTiming, ShortLastFrameAddsNoSilence) {
    TTempDir dir;
    const int samples = 3 * 4608 + 1000;
    const std::string source = MakeAudio(dir, "in.wav", "sine=frequency=440:sample_rate=44100",
                                         "-c:a pcm_s16le -af atrim=end_sample=" + std::to_string(samples));
    for (const char* channels : {"1", "2"}) {
        SCOPED_TRACE(std::string("channels ") + channels);
        const std::string out = dir.File(std::string("end") + channels + ".flac");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunAudioJob(job, source, "", {{"acodec", "flac"}, {"ac", channels}}, out)) << job.ErrorMessage();
        EXPECT_EQ(ProbeStream(out, "a").Codec, "flac");
        EXPECT_EQ(Decoded(dir, out).size(), std::size_t(samples) * std::atoi(channels));
        EXPECT_EQ(DecodeErrors(out), "");
    }
}
