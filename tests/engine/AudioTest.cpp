// The audio path on real files: resampling and whole encoder frames, the padded last frame,
// volume, "async" silence and discarding, stream copy, and audio that stays in step with the
// pictures. Inputs are made with ffmpeg's lavfi sources; outputs are read back with ffprobe.

#include "engine/AudioVolume.h"
#include "engine/FFPtr.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/StreamProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {
std::string MakeAudio(const TTempDir& dir, const std::string& name, const std::string& lavfi,
                      const std::string& extra = "") {
    std::string file = dir.File(name);
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error -f lavfi -i \"" + lavfi + "\" " + extra + " -y '" + file + "'",
                                 &status);
    EXPECT_EQ(status, 0) << out;
    return file;
}

// The first audio stream decoded by ffmpeg to mono signed 16-bit samples at `rate`.
std::vector<int16_t> DecodedSamples(const TTempDir& dir, const std::string& file, int rate) {
    const std::string raw = dir.File("decoded.raw");
    RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:a:0 -ac 1 -ar " + std::to_string(rate) +
               " -f s16le -y '" + raw + "'");
    std::ifstream in(raw, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Opens the inputs (a name starting with '@' is the virtual test format), applies the output
// options and runs.
bool RunJob(TCustomFFmpeg& job, const std::vector<std::pair<std::string, std::string>>& inputs,
         const std::vector<std::pair<std::string, std::string>>& options, const std::string& output) {
    for (const auto& [name, inputOption] : inputs) {
        if (!inputOption.empty())
            job.ApplyOption("itsoffset", inputOption);
        if (name[0] == '@')
            job.ApplyOption("f", TestFramesFormat);
        if (!job.OpenInputFile(name[0] == '@' ? name.substr(1) : name)) {
            ADD_FAILURE() << "input " << name << ": " << job.LastError;
            return false;
        }
        job.ApplyOption("itsoffset", "0");
    }
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    if (job.OpenOutputFile(output) < 0) {
        ADD_FAILURE() << "output: " << job.LastError;
        return false;
    }
    return job.Execute();
}

// Index of the first sample at or after `from` whose magnitude exceeds `level`, or -1.
long FirstLoud(const std::vector<int16_t>& s, std::size_t from, int level) {
    for (std::size_t i = from; i < s.size(); ++i)
        if (std::abs(int(s[i])) > level)
            return long(i);
    return -1;
}
} // namespace

TEST(EngineAudio, FifoHandsTheEncoderWholeFramesAndPadsTheLast) {
    TTempDir dir;
    // MP2 takes frames of 1152 samples and no short last frame.
    const struct {
        const char* Name;
        int Samples;      // at 44100 Hz, stereo
        const char* Rate; // "ar" of the output
        const char* Channels;
        int Packets;      // whole frames the encoder got
    } cases[] = {
        {"same format", 3 * 1152 + 300, "44100", "2", 4},  // no resampler; 852 samples of padding
        {"resampled", 110250, "22050", "1", 48},           // 55125 samples at 22050 Hz
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string in = MakeAudio(dir, "in.wav", "sine=frequency=440:sample_rate=44100",
                                         "-ac 2 -c:a pcm_s16le -af atrim=end_sample=" + std::to_string(c.Samples));
        const std::string out = dir.File(std::string(c.Name) + ".mka");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunJob(job, {{in, ""}}, {{"acodec", "mp2"}, {"ar", c.Rate}, {"ac", c.Channels}}, out))
            << job.ErrorMessage();
        TStreamProbe p = ProbeStream(out, "a");
        EXPECT_EQ(p.Codec, "mp2");
        EXPECT_EQ(p.SampleRate, std::atoi(c.Rate));
        EXPECT_EQ(p.Channels, std::atoi(c.Channels));
        EXPECT_EQ(p.Packets, c.Packets);
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

TEST(EngineAudio, VolumeScalesAndClipsEverySampleFormat) {
    TFramePtr frame = NewFrame();
    frame->format = AV_SAMPLE_FMT_S16;
    frame->nb_samples = 2;
    ff::av_channel_layout_default(&frame->ch_layout, 2);
    ASSERT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
    auto* s16 = reinterpret_cast<int16_t*>(frame->data[0]);
    const int16_t before[] = {20000, -20000, 100, -3};
    std::memcpy(s16, before, sizeof before);
    ApplyVolume(frame.get(), 512);
    EXPECT_EQ(s16[0], 32767);
    EXPECT_EQ(s16[1], -32768);
    EXPECT_EQ(s16[2], 200);
    EXPECT_EQ(s16[3], -6);
    ApplyVolume(frame.get(), 128); // (v x 128 + 128) >> 8: halves, rounding half up
    EXPECT_EQ(s16[2], 100);
    EXPECT_EQ(s16[3], -3);

    TFramePtr planar = NewFrame();
    planar->format = AV_SAMPLE_FMT_FLTP;
    planar->nb_samples = 1;
    ff::av_channel_layout_default(&planar->ch_layout, 2);
    ASSERT_EQ(ff::av_frame_get_buffer(planar.get(), 0), 0);
    reinterpret_cast<float*>(planar->data[0])[0] = 0.25f;
    reinterpret_cast<float*>(planar->data[1])[0] = -0.75f;
    ApplyVolume(planar.get(), 512);
    EXPECT_FLOAT_EQ(reinterpret_cast<float*>(planar->data[0])[0], 0.5f);
    EXPECT_FLOAT_EQ(reinterpret_cast<float*>(planar->data[1])[0], -1.0f) << "both channels, clipped";
}

TEST(EngineAudio, VolumeOfAWholeRunAndStreamCopy) {
    TTempDir dir;
    // A tone of amplitude 1/8 (about 4096).
    const std::string in = MakeAudio(dir, "tone.m4a", "sine=frequency=440:duration=1", "-ac 2 -c:a aac");
    int peaks[2] = {0, 0};
    const char* volumes[2] = {"256", "512"};
    for (int k = 0; k < 2; ++k) {
        const std::string out = dir.File(std::string("vol") + volumes[k] + ".wav");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunJob(job, {{in, ""}}, {{"acodec", "pcm_s16le"}, {"vol", volumes[k]}}, out)) << job.ErrorMessage();
        for (int16_t v : DecodedSamples(dir, out, 44100))
            peaks[k] = std::max(peaks[k], std::abs(int(v)));
    }
    EXPECT_GT(peaks[0], 2000);
    EXPECT_NEAR(double(peaks[1]) / peaks[0], 2.0, 0.01);

    // Copied packets are the source's own; they cannot have a volume.
    const std::string copy = dir.File("copy.mkv");
    TCustomFFmpeg copier(1);
    ASSERT_TRUE(RunJob(copier, {{in, ""}}, {{"acodec", "copy"}}, copy)) << copier.ErrorMessage();
    TStreamProbe source = ProbeStream(in, "a"), copied = ProbeStream(copy, "a");
    EXPECT_EQ(copied.Codec, "aac");
    EXPECT_EQ(copied.Packets, source.Packets);
    EXPECT_EQ(DecodeErrors(copy), "");

    TCustomFFmpeg refused(1);
    EXPECT_FALSE(RunJob(refused, {{in, ""}}, {{"acodec", "copy"}, {"vol", "300"}}, dir.File("refused.mkv")));
    EXPECT_EQ(refused.ErrorMessage(), "-acodec copy and -vol are incompatible (frames are not decoded)");
}

TEST(EngineAudio, AsyncFillsLateStartsAndLargeGapsWithSilence) {
    TTempDir dir;
    // One second of tone; the input starts 0.5 s late.
    const std::string tone = MakeAudio(dir, "tone.wav", "sine=frequency=440:duration=1", "-c:a pcm_s16le");
    const struct {
        const char* Async;
        int Samples;       // in the output, at 44100 Hz
        long FirstSound;   // first audible sample
    } cases[] = {{"1", 66150, 22050}, {"0", 44100, 0}}; // without "async" the timestamps are left as they are
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("async ") + c.Async);
        const std::string out = dir.File(std::string("late") + c.Async + ".wav");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunJob(job, {{tone, "0.5"}}, {{"acodec", "pcm_s16le"}, {"async", c.Async}}, out)) << job.ErrorMessage();
        std::vector<int16_t> s = DecodedSamples(dir, out, 44100);
        EXPECT_NEAR(double(s.size()), c.Samples, 2);
        EXPECT_NEAR(double(FirstLoud(s, 0, 100)), double(c.FirstSound), 30);
    }

    // Timestamps that jump forward at 1 s: by 0.5 s (above the 0.1 s drift threshold: filled
    // with silence) and by 0.05 s (2205 samples: above 50, below the threshold: left alone).
    const struct {
        const char* Jump;
        int Samples;
    } gaps[] = {{"0.5", 2 * 44100 + 22050}, {"0.05", 2 * 44100}};
    for (const auto& g : gaps) {
        SCOPED_TRACE(std::string("jump ") + g.Jump);
        const std::string gapped = MakeAudio(dir, "gap.mka", "sine=frequency=440:duration=2",
                                             std::string("-af 'asetpts=PTS+gte(T\\,1)*") + g.Jump + "/TB' -c:a pcm_s16le");
        const std::string out = dir.File("gap.wav");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunJob(job, {{gapped, ""}}, {{"acodec", "pcm_s16le"}, {"async", "1"}}, out)) << job.ErrorMessage();
        EXPECT_NEAR(double(DecodedSamples(dir, out, 44100).size()), g.Samples, 50);
    }

    // "async" above 1 keeps a resampler for its drift compensation even where the formats agree.
    const std::string out = dir.File("stretch.wav");
    TCustomFFmpeg job(1);
    ASSERT_TRUE(RunJob(job, {{tone, ""}}, {{"acodec", "pcm_s16le"}, {"async", "100"}}, out)) << job.ErrorMessage();
    EXPECT_NEAR(double(DecodedSamples(dir, out, 44100).size()), 44100, 50);
}

TEST(EngineAudio, ClicksStayWithinOneFrameOfThePictures) {
    TTempDir dir;
    // Pictures that turn from red to blue and back every second at 25 frames per second, and a
    // short click at every whole second from 1 s on.
    const std::string clicks = MakeAudio(
        dir, "clicks.wav", "aevalsrc='if(lt(mod(t\\,1)\\,0.01)*gte(t\\,0.5)\\,0.8*sin(2*PI*2000*t)\\,0)':s=48000:d=5",
        "-ac 2 -c:a pcm_s16le");
    const std::string frames = "@" + TestFramesName(64, 48, 25, 125, AVERROR_EOF, 25);
    const struct {
        const char* Extension;
        const char* VideoCodec;
    } containers[] = {{"mp4", "mpeg4"}, {"flv", "flv"}, {"mov", "mpeg4"}};
    for (const auto& c : containers) {
        SCOPED_TRACE(c.Extension);
        const std::string out = dir.File(std::string("sync.") + c.Extension);
        TCustomFFmpeg job(2);
        ASSERT_TRUE(RunJob(job, {{frames, ""}, {clicks, ""}},
                        {{"vcodec", c.VideoCodec}, {"r", "25/1"}, {"ar", "44100"}, {"ac", "2"}}, out))
            << job.ErrorMessage();
        EXPECT_EQ(DecodeErrors(out), "");
        // Where the picture turns, from each frame's mean colour.
        const std::string raw = dir.File("colours.raw");
        RunCommand("ffmpeg -nostdin -v error -i '" + out + "' -map 0:v:0 -vsync passthrough -vf scale=1:1 "
                   "-pix_fmt rgb24 -f rawvideo -y '" + raw + "'");
        std::ifstream in(raw, std::ios::binary);
        std::string rgb((std::istreambuf_iterator<char>(in)), {});
        std::vector<double> turns;
        for (std::size_t f = 1; f * 3 + 2 < rgb.size(); ++f) {
            bool redBefore = uint8_t(rgb[(f - 1) * 3]) > uint8_t(rgb[(f - 1) * 3 + 2]);
            bool red = uint8_t(rgb[f * 3]) > uint8_t(rgb[f * 3 + 2]);
            if (red != redBefore)
                turns.push_back(double(f) / 25);
        }
        ASSERT_EQ(turns.size(), 4u) << rgb.size() / 3 << " frames";
        // Where each click starts, on the timeline of the file.
        const double audioStart = ProbeStream(out, "a").Start - ProbeVideo(out).Start;
        std::vector<int16_t> s = DecodedSamples(dir, out, 44100);
        std::vector<double> onsets;
        for (long at = FirstLoud(s, 0, 3000); at >= 0; at = FirstLoud(s, std::size_t(at) + 44100 / 2, 3000))
            onsets.push_back(audioStart + double(at) / 44100);
        ASSERT_EQ(onsets.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(onsets[i], turns[i], 1.0 / 25) << "click " << i + 1;
    }
}
