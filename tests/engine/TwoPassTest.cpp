// Two-pass encoding: the first pass writes its statistics file, the second reads it and lands
// on the asked bit rate.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
// Bits per second of the video packets of a file.
double VideoBitRate(const std::string& file) {
    std::string sizes = RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 '" +
                                   file + "'");
    double bytes = 0;
    int packets = 0;
    for (std::size_t at = 0; at < sizes.size();) {
        std::size_t end = sizes.find('\n', at);
        bytes += std::atof(sizes.substr(at, end - at).c_str());
        ++packets;
        at = end == std::string::npos ? sizes.size() : end + 1;
    }
    return packets ? bytes * 8 / (packets / 25.0) : 0;
}
} // namespace

TEST(EngineTwoPass, SecondPassLandsOnTheAskedBitRate) {
    TTempDir dir;
    std::string source = dir.File("moving.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=160x120:rate=25 -frames:v 100 -c:v mpeg4 -q:v 2 '" +
                   source + "'",
               &status);
    ASSERT_EQ(status, 0);
    std::string prefix = dir.File("stats");
    for (int pass : {1, 2}) {
        SCOPED_TRACE(pass);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
        job.ApplyOption("vcodec", "mpeg4");
        job.ApplyOption("vb", "150000");
        job.ApplyOption("pass", std::to_string(pass));
        job.ApplyOption("passlogfile", prefix);
        std::string out = dir.File("pass" + std::to_string(pass) + ".avi");
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
        ASSERT_TRUE(std::filesystem::file_size(prefix + "-0.log") > 0);
        if (pass == 2) {
            EXPECT_NEAR(VideoBitRate(out), 150000, 15000);
            EXPECT_EQ(ProbeVideo(out).Packets, 100);
        }
    }
    // Without the first pass's file the second cannot start.
    TCustomFFmpeg lost(1);
    ASSERT_TRUE(lost.OpenInputFile(source)) << lost.LastError;
    lost.ApplyOption("vcodec", "mpeg4");
    lost.ApplyOption("pass", "2");
    lost.ApplyOption("passlogfile", dir.File("none"));
    ASSERT_EQ(lost.OpenOutputFile(dir.File("lost.avi")), 1);
    EXPECT_FALSE(lost.Execute());
    EXPECT_NE(lost.ErrorMessage().find("for pass-2 encoding"), std::string::npos) << lost.ErrorMessage();
}
