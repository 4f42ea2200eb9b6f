// The video filter graph between decoder and encoder: "vf", "deinterlace", and the encoder's
// size taken from what the graph makes.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {
bool RunFrames(TCustomFFmpeg& job, const std::string& input, const std::vector<std::pair<std::string, std::string>>& options,
         const std::string& output) {
    job.ApplyOption("f", TestFramesFormat);
    if (!job.OpenInputFile(input)) {
        ADD_FAILURE() << job.LastError;
        return false;
    }
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    if (job.OpenOutputFile(output) < 0) {
        ADD_FAILURE() << job.LastError;
        return false;
    }
    return job.Execute();
}
} // namespace

TEST(EngineFilters, GraphDecidesTheEncodedSizeAndKeepsEveryPicture) {
    TTempDir dir;
    const struct {
        std::vector<std::pair<std::string, std::string>> Options;
        int Width, Height, Packets;
    } cases[] = {
        {{{"vf", "scale=160:120"}}, 160, 120, 12},
        // "s" scales first, the graph works on the scaled pictures.
        {{{"s", "64x48"}, {"vfilters", "pad=80:60:8:6"}}, 80, 60, 12},
        // A size that differs in one side only is scaled in front of the graph all the same.
        {{{"s", "48x64"}, {"vf", "null"}}, 48, 64, 12},
        {{{"s", "96x32"}, {"deinterlace", ""}}, 96, 32, 12},
        // A graph that changes the timing: every other picture is dropped by the graph, and the
        // constant-rate output fills the gaps from the times the graph gives.
        {{{"vf", "select='not(mod(n\\,2))'"}, {"vsync", "2"}}, 96, 64, 6},
        {{{"deinterlace", ""}}, 96, 64, 12},
        {{{"deinterlace", ""}, {"vf", "crop=48:32:0:0"}}, 48, 32, 12},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        TCustomFFmpeg job(1);
        std::vector<std::pair<std::string, std::string>> options{{"vcodec", "mpeg4"}, {"r", "25"}};
        options.insert(options.end(), c.Options.begin(), c.Options.end());
        std::string out = dir.File("f" + std::to_string(n++) + ".mp4");
        ASSERT_TRUE(RunFrames(job, TestFramesName(96, 64, 25, 12), options, out)) << job.ErrorMessage();
        TProbe p = ProbeVideo(out);
        EXPECT_EQ(p.Width, c.Width);
        EXPECT_EQ(p.Height, c.Height);
        EXPECT_EQ(p.Packets, c.Packets);
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

TEST(EngineFilters, BadDescriptionEndsTheRunWithTheFilterError) {
    TTempDir dir;
    TCustomFFmpeg job(1);
    EXPECT_FALSE(RunFrames(job, TestFramesName(64, 48, 25, 3), {{"vcodec", "mpeg4"}, {"vf", "nosuchfilter=1"}},
                     dir.File("bad.mp4")));
    EXPECT_EQ(job.ErrorMessage().rfind("Error opening filters: ", 0), 0u) << job.ErrorMessage();
}
