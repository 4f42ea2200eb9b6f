// pixaroll-cli transcode in the classic shape: input options before "-i IN", several inputs,
// several outputs with their own options before each name.

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

namespace {
std::string Streams(const std::string& file) {
    return RunCommand("ffprobe -v error -count_packets -show_entries stream=codec_name,width,nb_read_packets -of "
                      "csv=p=0 '" + file + "'");
}
} // namespace

TEST(EngineCommandLine, ClassicShapeOpensEveryInputAndOutputWithItsOwnOptions) {
    TTempDir dir;
    std::string pictures = dir.File("pictures.avi"), sound = dir.File("sound.wav");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=128x96:rate=25 -frames:v 10 -c:v mpeg4 '" + pictures +
                   "'",
               &status);
    ASSERT_EQ(status, 0);
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=44100 -t 0.4 -c:a pcm_s16le '" + sound + "'",
               &status);
    ASSERT_EQ(status, 0);
    std::string small = dir.File("small.avi"), copy = dir.File("copy.mkv");
    // "-itsoffset" before "-i" belongs to that input; "-an" to the first output only.
    TRunResult r = RunCli("transcode -i '" + pictures + "' -itsoffset 0 -i '" + sound +
                          "' -vcodec mpeg4 -s 64x48 -an '" + small + "' -vcodec copy -acodec copy '" + copy + "'");
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Streams(small), "mpeg4,64,10\n");
    std::string copied = Streams(copy);
    EXPECT_EQ(copied.substr(0, 13), "mpeg4,128,10\n") << copied;
    EXPECT_NE(copied.find("pcm_s16le"), std::string::npos) << copied;

    // An option after the last output belongs to no file: refused before anything is written.
    r = RunCli("transcode -i '" + pictures + "' '" + dir.File("x.avi") + "' -vcodec mpeg4");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Output.find("\"vcodec\" after the last output"), std::string::npos) << r.Output;
    // A switch takes no value: the name after it is the output.
    r = RunCli("transcode -i '" + pictures + "' -vcodec mpeg4 -an '" + dir.File("y.avi") + "'");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Streams(dir.File("y.avi")), "mpeg4,128,10\n");
    r = RunCli("transcode -i");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Output.find("Missing argument for option \"i\""), std::string::npos) << r.Output;
}
