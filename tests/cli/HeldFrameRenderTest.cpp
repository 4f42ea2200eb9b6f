// Held pictures written once for today's rows, read back with ffprobe and ffmpeg: fewer frames,
// yet the same length, sound, frame rate and pictures as the render that writes every frame
// (--constant-frame-rate), key frames that start every 2 s span, and nothing left out when
// every picture moves.

#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

namespace {
struct TPacket {
    double Time;
    bool Key;
};

std::vector<TPacket> VideoPackets(const std::string& file) {
    TRunResult r = RunShell("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,flags -of csv=p=0 '" +
                            file + "'");
    std::vector<TPacket> packets;
    std::istringstream in(r.Output);
    for (std::string line; std::getline(in, line);) {
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        packets.push_back({std::stod(line.substr(0, comma)), line.find('K', comma) != std::string::npos});
    }
    std::sort(packets.begin(), packets.end(), [](const TPacket& a, const TPacket& b) { return a.Time < b.Time; });
    return packets;
}

std::string VideoEntry(const std::string& file, const std::string& entry) {
    TRunResult r = RunShell("ffprobe -v error -select_streams v:0 -show_entries stream=" + entry +
                            " -of default=noprint_wrappers=1:nokey=1 '" + file + "'");
    std::string value = r.Output;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    return value;
}

// Frames of a constant 30 per second, as a player shows them.
int FramesAt30(const std::string& file) {
    TRunResult r = RunShell("ffmpeg -nostdin -v error -i '" + file +
                            "' -an -vf fps=30 -f framemd5 - | grep -vc '^#'");
    return std::atoi(r.Output.c_str());
}

// The lowest PSNR over the frames of a and b, both shown at 30 per second (inf counts as 99).
double LowestPsnr(const std::string& a, const std::string& b, const std::string& stats) {
    TRunResult r = RunShell("ffmpeg -nostdin -v error -i '" + a + "' -i '" + b +
                            "' -lavfi '[0:v]fps=30[a];[1:v]fps=30[b];[a][b]psnr=stats_file=" + stats + "' -f null -");
    EXPECT_EQ(r.Status, 0) << r.Output;
    std::ifstream in(stats);
    double lowest = 999;
    int frames = 0;
    for (std::string line; std::getline(in, line); ++frames) {
        const std::size_t at = line.find("psnr_avg:");
        if (at == std::string::npos)
            continue;
        const std::string value = line.substr(at + 9, line.find(' ', at) - at - 9);
        lowest = std::min(lowest, value == "inf" ? 99.0 : std::stod(value));
    }
    EXPECT_GT(frames, 0);
    return lowest;
}

class HeldFrameRender : public ::testing::Test {
protected:
    void SetUp() override {
        for (int k = 0; k < 3; ++k) {
            const std::string name = dir.File("p" + std::to_string(k) + ".jpg");
            WriteTestJpeg(name, 320, 240, [k](int x, int y) {
                return std::uint32_t(((x * (k + 1)) & 0xFF) << 16 | ((y * 3 + k * 70) & 0xFF) << 8 | ((x ^ y) & 0xFF));
            });
            pictures += " " + name;
        }
        tone = dir.File("tone.wav");
        TRunResult made = RunShell("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=20 -ac 2 -y '" + tone + "'");
        ASSERT_EQ(made.Status, 0) << made.Output;
    }
    // Renders into a folder of its own; the file's path.
    std::string Render(const std::string& name, const std::string& options) {
        const std::string out = dir.File(name);
        TRunResult r = RunCli("render --pictures" + pictures + " --audio " + tone + " --out-dir " + out +
                              " --quiet --seed 3 --size 320x240 --rate 30:1 --preset fast " + options);
        EXPECT_EQ(r.Status, 0) << r.Output;
        std::string path = r.Output.substr(r.Output.rfind('\n', r.Output.size() - 2) + 1);
        while (!path.empty() && path.back() == '\n')
            path.pop_back();
        return path;
    }
    TTempDir dir;
    std::string pictures, tone;
};

TEST_F(HeldFrameRender, HeldPicturesAreWrittenOncePlayLikeEveryFrameAndStartEachSpanWithAKeyFrame) {
    // Quality 10: the two encodes then differ by little more than rounding, and a picture shown
    // at the wrong time would stand out far below the bound.
    for (const char* format : {"mp4-h264", "mp4-hevc", "webm-vp9"}) {
        SCOPED_TRACE(format);
        const std::string options = std::string("--format ") + format + " --crf 10 --hold 3 --transition 0.5";
        const std::string held = Render(std::string(format) + "-held", options);
        const std::string every = Render(std::string(format) + "-every", options + " --constant-frame-rate");
        const std::vector<TPacket> heldPackets = VideoPackets(held), everyPackets = VideoPackets(every);
        ASSERT_FALSE(everyPackets.empty());
        // Three holds of 3 s: most frames repeat.
        EXPECT_LT(heldPackets.size() * 2, everyPackets.size());
        EXPECT_EQ(FramesAt30(held), int(everyPackets.size()));
        EXPECT_GE(LowestPsnr(held, every, dir.File(std::string(format) + ".psnr")), 45);

        const TStreamProbe heldVideo = ProbeStream(held, "v"), everyVideo = ProbeStream(every, "v");
        EXPECT_NEAR(heldVideo.End, everyVideo.End, 1.0 / 30 + 1e-3);
        const TStreamProbe heldAudio = ProbeStream(held, "a"), everyAudio = ProbeStream(every, "a");
        EXPECT_FALSE(heldAudio.Codec.empty());
        EXPECT_EQ(heldAudio.Codec, everyAudio.Codec);
        EXPECT_NEAR(heldAudio.End, everyAudio.End, 1.0 / 30);
        EXPECT_EQ(VideoEntry(held, "r_frame_rate"), "30/1");

        // The first picture at or after each 2 s mark is a key frame within a frame of the mark;
        // beyond those only the encoder's own (a new picture may start one).
        int marks = 0;
        for (double mark = 0; mark < heldVideo.End - 0.1; mark += 2, ++marks) {
            auto first = std::find_if(heldPackets.begin(), heldPackets.end(),
                                      [&](const TPacket& p) { return p.Time >= mark - 1e-3; });
            ASSERT_NE(first, heldPackets.end()) << mark;
            EXPECT_TRUE(first->Key) << "the picture at " << first->Time << " s";
            EXPECT_LT(first->Time, mark + 1.0 / 30 + 1e-3) << mark;
        }
        EXPECT_LE(std::count_if(heldPackets.begin(), heldPackets.end(), [](const TPacket& p) { return p.Key; }), marks + 4);
        TRunResult decoded = RunShell("ffmpeg -nostdin -v error -i '" + held + "' -f null - 2>&1");
        EXPECT_EQ(decoded.Output, "");
    }
}

TEST_F(HeldFrameRender, WhenEveryPictureMovesNothingRepeatsAndNothingIsLeftOut) {
    const std::string options = "--format mp4-h264 --crf 10 --hold 1 --transition 0.5 --motion zoom-in";
    const std::string held = Render("moving-held", options);
    const std::string every = Render("moving-every", options + " --constant-frame-rate");
    const std::size_t heldCount = VideoPackets(held).size();
    EXPECT_EQ(heldCount, VideoPackets(every).size());
    EXPECT_EQ(FramesAt30(held), int(heldCount));
    EXPECT_GE(LowestPsnr(held, every, dir.File("moving.psnr")), 45);
}

TEST_F(HeldFrameRender, TheClassicRowsWriteEveryFrame) {
    const std::string file = Render("classic", "--format mp4 --hold 3 --transition 0.5");
    const std::string every = Render("classic-every", "--format mp4 --hold 3 --transition 0.5 --constant-frame-rate");
    EXPECT_EQ(VideoPackets(file).size(), VideoPackets(every).size());
    EXPECT_EQ(VideoEntry(file, "codec_name"), "mpeg4");
}
} // namespace
