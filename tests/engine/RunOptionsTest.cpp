// Run options that change what is written or logged: looping input and output, packet dumps,
// rate emulation, program choice, quantiser matrices and the rtp session description.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
// A small MPEG-4 file with a key frame every `gop` frames, made once per folder.
std::string MakeSource(const TTempDir& dir, const std::string& name, const std::string& args) {
    return MakeWithFfmpeg(dir, name, "-f lavfi -i testsrc2=size=160x120:rate=25 " + args);
}

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// Runs one job from `source` to `out` with the options in order; the run must succeed.
void Transcode(const std::string& source, const std::string& out, const TOptionList& options,
               const TOptionList& inputOptions = {}) {
    TCustomFFmpeg job(1);
    for (const auto& [name, value] : inputOptions)
        job.ApplyOption(name, value);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
}
} // namespace

TEST(EngineRunOptions, LoopingInputAndOutput) {
    TTempDir dir;
    std::string picture = MakeSource(dir, "one.png", "-frames:v 1");
    std::string looped = dir.File("looped.avi");
    Transcode(picture, looped, {{"vcodec", "mpeg4"}, {"vframes", "10"}},
              {{"f", "image2"}, {"loop_input", "1"}});
    EXPECT_EQ(ProbeVideo(looped).Packets, 10);

    // The gif's looping extension holds the count (little-endian) after its name; -1 plays once.
    std::string gifSource = MakeSource(dir, "in.avi", "-frames:v 3 -c:v mpeg4");
    std::string thrice = dir.File("thrice.gif"), once = dir.File("once.gif");
    Transcode(gifSource, thrice, {{"loop_output", "3"}});
    Transcode(gifSource, once, {{"loop_output", "-1"}});
    std::string bytes = ReadAll(thrice);
    std::size_t at = bytes.find("NETSCAPE2.0");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.substr(at + 11, 4), std::string("\x03\x01\x03\x00", 4));
    EXPECT_EQ(ReadAll(once).find("NETSCAPE2.0"), std::string::npos);
    EXPECT_EQ(ProbeVideo(once).Packets, 3);

    TCustomFFmpeg job(1);
    EXPECT_THROW(job.ApplyOption("loop_output", "-2"), FFmpegException);
}

TEST(EngineRunOptions, DumpAndRateEmulation) {
    TTempDir dir;
    std::string source = MakeSource(dir, "in.avi", "-frames:v 10 -c:v mpeg4");
    {
        TLogCapture log;
        Transcode(source, dir.File("dumped.avi"), {{"dump", "1"}, {"hex", "1"}, {"vcodec", "mpeg4"}});
        EXPECT_TRUE(log.Contains("keyframe=1"));
        EXPECT_TRUE(log.Contains("00000000 ")) << "no hex dump of the packet data";
    }
    // Ten frames at 25 a second take at least most of 0.4 s when read at their own pace.
    auto start = std::chrono::steady_clock::now();
    Transcode(source, dir.File("paced.avi"), {{"re", "1"}, {"vcodec", "copy"}});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST(EngineRunOptions, ProgramAndMatrices) {
    TTempDir dir;
    std::string ts = dir.File("two.ts");
    int status = 0;
    std::string made = RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi -i testsrc=size=320x240:rate=25 "
        "-frames:v 5 -map 0:v -map 1:v -c:v mpeg2video -program program_num=5:st=0 -program program_num=7:st=1 '" +
            ts + "'",
        &status);
    ASSERT_EQ(status, 0) << made;
    TCustomFFmpeg pick(1);
    pick.ApplyOption("programid", "7");
    ASSERT_TRUE(pick.OpenInputFile(ts)) << pick.LastError;
    pick.ApplyOption("vcodec", "mpeg4");
    std::string picked = dir.File("picked.avi");
    ASSERT_EQ(pick.OpenOutputFile(picked), 1) << pick.LastError;
    ASSERT_TRUE(pick.Execute()) << pick.ErrorMessage();
    EXPECT_EQ(ProbeVideo(picked).Width, 320);
    TCustomFFmpeg missing(1);
    missing.ApplyOption("programid", "9");
    EXPECT_FALSE(missing.OpenInputFile(ts));

    std::string source = MakeSource(dir, "in.avi", "-frames:v 20 -c:v mpeg4 -q:v 2");
    // A flat intra matrix of large steps against the default one at the same quantiser.
    std::string flat = dir.File("flat.mpg"), standard = dir.File("standard.mpg");
    std::string steps;
    for (int i = 0; i < 64; ++i)
        steps += (i ? "," : "") + std::string("200");
    Transcode(source, flat, {{"vcodec", "mpeg2video"}, {"intra", "1"}, {"qscale", "4"}, {"intra_matrix", steps}});
    Transcode(source, standard, {{"vcodec", "mpeg2video"}, {"intra", "1"}, {"qscale", "4"}});
    EXPECT_LT(2 * std::filesystem::file_size(flat), std::filesystem::file_size(standard));
}

TEST(EngineRunOptions, RtpOutputsLogTheirSessionDescription) {
    TTempDir dir;
    std::string source = MakeSource(dir, "in.avi", "-frames:v 3 -c:v mpeg4");
    TLogCapture log;
    Transcode(source, "rtp://127.0.0.1:23456", {{"f", "rtp"}, {"vcodec", "mpeg4"}});
    EXPECT_TRUE(log.Contains("SDP:\r\n"));
    EXPECT_TRUE(log.Contains("m=video 23456 RTP/AVP 96"));
}
