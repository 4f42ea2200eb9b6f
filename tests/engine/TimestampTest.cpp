// Timestamp rules on real files: variable-rate input through each video sync method, jumps in a
// transport stream, copied timestamps, input start with offset, the shortest input and the file
// size limit. Inputs are made with the ffmpeg program, outputs read back with ffprobe.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

namespace {
using TOptionList = std::vector<std::pair<std::string, std::string>>;

struct TInput {
    std::string File;
    TOptionList Options; // given before the input is opened
};

// One job from the inputs to `out` with the output options; the run must succeed.
void Transcode(const std::vector<TInput>& inputs, const TOptionList& options, const std::string& out) {
    TCustomFFmpeg job(int(inputs.size()));
    for (const TInput& in : inputs) {
        for (const auto& [name, value] : in.Options)
            job.ApplyOption(name, value);
        ASSERT_TRUE(job.OpenInputFile(in.File)) << job.LastError;
    }
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    ASSERT_GE(job.OpenOutputFile(out), 0) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
}

std::string Make(const TTempDir& dir, const std::string& name, const std::string& args) {
    return MakeWithFfmpeg(dir, name, args);
}

std::vector<double> Numbers(const std::string& text) {
    std::vector<double> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line != "N/A")
            values.push_back(std::atof(line.c_str()));
    return values;
}

// Presentation times of the first video stream's packets in tenths of a second, in display order.
std::vector<long> Tenths(const std::string& file) {
    std::vector<long> tenths;
    for (double t : Numbers(RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 '" +
                                       file + "'")))
        tenths.push_back(std::lround(t * 10));
    std::sort(tenths.begin(), tenths.end());
    return tenths;
}

// First decode or presentation time of the first video stream, seconds.
double FirstTime(const std::string& file, const char* entry) {
    std::vector<double> t = Numbers(RunCommand(std::string("ffprobe -v error -select_streams v:0 -show_entries packet=") +
                                               entry + " -of csv=p=0 '" + file + "'"));
    return t.empty() ? -1 : *std::min_element(t.begin(), t.end());
}

// Where a stream's last packet ends: its presentation time plus its duration, seconds.
double StreamEnd(const std::string& file, const char* stream) {
    std::string text = RunCommand(std::string("ffprobe -v error -select_streams ") + stream +
                                  " -show_entries packet=pts_time,duration_time -of csv=p=0 '" + file + "'");
    double end = -1;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        double pts = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration) >= 1)
            end = std::max(end, pts + duration);
    }
    return end;
}

int PacketCount(const std::string& file) { return ProbeVideo(file).Packets; }

// Eight pictures at 0, 100, 200, 355, 500, 700, 800 and 900 ms, stored in milliseconds.
const char* const VariableRate =
    "-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 8 "
    "-vf \"settb=1/1000,setpts=if(eq(N\\,3)\\,355\\,if(eq(N\\,4)\\,500\\,if(gte(N\\,5)\\,(N+2)*100\\,N*100)))\" "
    "-fps_mode passthrough -enc_time_base 1/1000";
} // namespace

TEST(EngineTimestamps, EachVideoSyncMethodOnVariableRateInput) {
    TTempDir dir;
    const std::string mkv = Make(dir, "vfr.mkv", std::string(VariableRate) + " -c:v mpeg4");
    const std::string flv = Make(dir, "vfr.flv", std::string(VariableRate) + " -c:v flv1");
    ASSERT_EQ(Tenths(mkv), (std::vector<long>{0, 1, 2, 4, 5, 7, 8, 9})) << "355 ms reads as 3.55 tenths";

    const std::vector<long> none{0, 1, 2, 4, 5, 7, 8, 9};    // each picture at its own time, rounded
    const std::vector<long> passed{0, 1, 2, 3, 5, 7, 8, 9};  // early by less than 0.6 keeps the count
    const std::vector<long> constant{0, 1, 2, 3, 4, 5, 6, 7, 8}; // the gap at 600 ms filled by a copy
    const struct {
        const std::string* Input;
        const char* Sync;
        const char* Extension; // mkv and flv allow a variable frame rate, mp4 and avi do not
        const std::vector<long>* Expected;
        const char* DupDrop; // the final report's counts
    } cases[] = {
        {&mkv, "0", "mkv", &none, nullptr},         {&mkv, "2", "mkv", &passed, nullptr},
        {&mkv, "1", "mkv", &constant, "dup=1 drop=0"}, {&mkv, "-1", "mkv", &passed, nullptr},
        {&mkv, "-1", "mp4", &constant, "dup=1 drop=0"}, {&flv, "-1", "flv", &passed, nullptr},
        {&flv, "-1", "avi", &constant, "dup=1 drop=0"}, {&flv, "0", "avi", &none, nullptr},
        {&flv, "2", "avi", &passed, nullptr},
    };
    int index = 0;
    for (const auto& c : cases) {
        std::string out = dir.File("out" + std::to_string(index++) + "." + c.Extension);
        SCOPED_TRACE(std::string(c.Input == &mkv ? "mkv" : "flv") + " -vsync " + c.Sync + " into " + c.Extension);
        TLogCapture log;
        const char* codec = std::string(c.Extension) == "flv" ? "flv" : "mpeg4";
        Transcode({{*c.Input, {}}}, {{"vcodec", codec}, {"r", "10"}, {"vsync", c.Sync}}, out);
        EXPECT_EQ(Tenths(out), *c.Expected);
        if (c.DupDrop) {
            EXPECT_TRUE(log.Contains(c.DupDrop));
        }
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

namespace {
// Ten pictures a second for one second, in an MPEG transport stream that starts at 1.4 s; the
// second part's times start `offset` seconds later.
std::string TransportPart(const TTempDir& dir, const std::string& name, const std::string& offset) {
    return Make(dir, name, "-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 10 -c:v mpeg2video -output_ts_offset " +
                               offset);
}

std::string Concatenate(const TTempDir& dir, const std::string& name, const std::string& a, const std::string& b) {
    std::string file = dir.File(name);
    int status = 0;
    RunCommand("cat '" + a + "' '" + b + "' > '" + file + "'", &status);
    EXPECT_EQ(status, 0);
    return file;
}
} // namespace

TEST(EngineTimestamps, JumpsInAConcatenatedTransportStream) {
    TTempDir dir;
    const std::string first = TransportPart(dir, "a.ts", "0"), second = TransportPart(dir, "b.ts", "20.1");
    // The second part's first decode time comes 19 s after the time the first part leads to.
    const std::string forward = Concatenate(dir, "forward.ts", first, second);
    const std::string backward = Concatenate(dir, "backward.ts", second, first);
    const struct {
        const std::string* Input;
        const char* Threshold;
        int Frames;
    } cases[] = {
        // A jump beyond the threshold is taken out: the parts follow each other.
        {&forward, "10", 20},
        // Within the threshold it is kept, and a constant rate fills 19 s with copies: the
        // second part's first picture lands on frame 200.
        {&forward, "30", 209},
        // A step back in time is taken out whatever the threshold.
        {&backward, "10", 20},
        {&backward, "30", 20},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Input == &forward ? "forward" : "backward") + " threshold " + c.Threshold);
        std::string out = dir.File("joined" + std::to_string(index++) + ".mp4");
        TLogCapture log;
        Transcode({{*c.Input, {}}}, {{"vcodec", "mpeg4"}, {"r", "10"}, {"dts_delta_threshold", c.Threshold}, {"v", "3"}},
                  out);
        EXPECT_EQ(PacketCount(out), c.Frames);
        EXPECT_EQ(log.Contains("timestamp discontinuity"), c.Frames == 20);
        EXPECT_EQ(DecodeErrors(out), "");
        if (c.Frames == 20) {
            std::vector<long> expected(20);
            for (int i = 0; i < 20; ++i)
                expected[i] = i;
            EXPECT_EQ(Tenths(out), expected);
        }
    }
    // With the input's timestamps copied the jump stays where it is.
    std::string kept = dir.File("kept.mkv");
    Transcode({{forward, {{"copyts", "1"}}}}, {{"vcodec", "copy"}}, kept);
    std::vector<long> tenths = Tenths(kept);
    ASSERT_EQ(tenths.size(), 20u);
    EXPECT_EQ(tenths[10] - tenths[9], 191);
}

TEST(EngineTimestamps, CopiedTimestampsKeepTheInputStart) {
    TTempDir dir;
    // The transport stream starts at 1.4 s (decode) and 1.5 s (presentation).
    const std::string ts = TransportPart(dir, "a.ts", "0");
    const struct {
        const char* Codec;
        bool CopyTs;
        double FirstPts;
    } cases[] = {
        {"copy", true, 1.5}, {"mpeg4", true, 1.5}, {"copy", false, 0.0}, {"mpeg4", false, 0.0},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Codec) + (c.CopyTs ? " with" : " without") + " copyts");
        std::string out = dir.File("copied" + std::to_string(index++) + ".mkv");
        TOptionList inputOptions;
        if (c.CopyTs)
            inputOptions.push_back({"copyts", "1"});
        Transcode({{ts, inputOptions}}, {{"vcodec", c.Codec}}, out);
        EXPECT_NEAR(FirstTime(out, "pts_time"), c.FirstPts, 0.0011);
        EXPECT_EQ(PacketCount(out), 10);
    }
}

TEST(EngineTimestamps, InputStartAndOffsetCombine) {
    TTempDir dir;
    // Three seconds, every picture a key frame so that the seek lands on the start exactly.
    const std::string clip = Make(dir, "intra.avi", "-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 30 -g 1 -c:v mpeg4");
    // The input is read from 0.5 s and that point is placed at 2 s, in either order of the two.
    const TOptionList orders[] = {{{"ss", "0.5"}, {"itsoffset", "2"}}, {{"itsoffset", "2"}, {"ss", "0.5"}}};
    int index = 0;
    for (const TOptionList& inputOptions : orders)
        for (const char* codec : {"copy", "mpeg4"}) {
            SCOPED_TRACE(inputOptions[0].first + " first, " + codec);
            std::string out = dir.File("offset" + std::to_string(index++) + ".mkv");
            Transcode({{clip, inputOptions}}, {{"vcodec", codec}}, out);
            std::vector<long> tenths = Tenths(out);
            ASSERT_EQ(tenths.size(), 25u);
            EXPECT_EQ(tenths.front(), 20);
            EXPECT_EQ(tenths.back(), 44);
        }
}

TEST(EngineTimestamps, ShortestEndsWithTheShorterInput) {
    TTempDir dir;
    const std::string longVideo = Make(dir, "long.avi", "-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 30 -c:v mpeg4");
    const std::string shortVideo = Make(dir, "short.avi", "-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 10 -c:v mpeg4");
    const std::string longSound = Make(dir, "long.wav", "-f lavfi -i sine=sample_rate=44100 -t 3");
    const std::string shortSound = Make(dir, "short.wav", "-f lavfi -i sine=sample_rate=44100 -t 1");
    const double frame = 0.1, audioFrame = 1024.0 / 44100;
    const struct {
        const std::string* Video;
        const std::string* Sound;
        bool Shortest;
        double VideoEnd, AudioEnd;
    } cases[] = {
        {&longVideo, &shortSound, true, 1.0, 1.0},
        {&shortVideo, &longSound, true, 1.0, 1.0},
        {&shortVideo, &longSound, false, 1.0, 3.0},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(index);
        std::string out = dir.File("shortest" + std::to_string(index++) + ".mp4");
        TOptionList options{{"vcodec", "mpeg4"}, {"r", "10"}, {"acodec", "aac"}};
        if (c.Shortest)
            options.push_back({"shortest", "1"});
        Transcode({{*c.Video, {}}, {*c.Sound, {}}}, options, out);
        // The reading stops at the end of the shorter input: what the other stream holds then
        // reaches at most one video frame further (the sound is read in tenths of a second).
        EXPECT_NEAR(StreamEnd(out, "v:0"), c.VideoEnd, frame + 0.001);
        EXPECT_NEAR(StreamEnd(out, "a:0"), c.AudioEnd, frame + audioFrame);
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

TEST(EngineTimestamps, FileSizeLimitKeepsTheFileUnderItAndPlayable) {
    TTempDir dir;
    // Six seconds of detailed pictures with a 300 ms gap, stored in milliseconds, and a transport
    // stream of two such parts joined with a jump of 19 s.
    const std::string detail = "-f lavfi -i testsrc2=size=160x120:rate=25 -t 3 -q:v 3 ";
    const std::string gap =
        "-vf \"settb=1/1000,setpts=PTS+if(gte(N\\,40)\\,300\\,0)\" -fps_mode passthrough -enc_time_base 1/1000 ";
    const std::string mkv = Make(dir, "vfr.mkv", detail + gap + "-c:v mpeg4");
    const std::string flv = Make(dir, "vfr.flv", detail + gap + "-c:v flv1");
    const std::string ts = Concatenate(dir, "joined.ts", Make(dir, "a.ts", detail + "-c:v mpeg2video"),
                                       Make(dir, "b.ts", detail + "-c:v mpeg2video -output_ts_offset 23.1"));
    const int64_t limit = 50000;
    int index = 0;
    for (const std::string* input : {&mkv, &flv, &ts})
        for (const char* extension : {"mkv", "mp4", "flv", "avi"}) {
            SCOPED_TRACE(*input + " into " + extension);
            std::string out = dir.File("limited" + std::to_string(index++) + "." + extension);
            Transcode({{*input, {}}}, {{"vb", "800000"}, {"fs", std::to_string(limit)}}, out);
            // The whole film takes about ten times the limit: the file ends near the limit.
            const auto size = int64_t(std::filesystem::file_size(out));
            EXPECT_LE(size, limit);
            EXPECT_GT(size, limit / 2);
            EXPECT_GT(PacketCount(out), 5);
            EXPECT_EQ(DecodeErrors(out), "");
        }
}
