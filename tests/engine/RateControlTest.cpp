// Quantiser choices that reach the encoder's rate control: overrides for ranges of frames and
// encoding at the source's quantiser. Read back as packet sizes and as the quantisers that the
// per-frame statistics file records.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
using TOptionList = std::vector<std::pair<std::string, std::string>>;

std::string Make(const TTempDir& dir, const std::string& name, const std::string& args) {
    return MakeWithFfmpeg(dir, name, "-f lavfi -i testsrc2=size=160x120:rate=25 " + args);
}

// Runs one job; the run must succeed. Returns the quantiser of each frame from the statistics.
std::vector<double> Encode(const TTempDir& dir, const std::string& source, const std::string& out,
                           const TOptionList& options) {
    TCustomFFmpeg job(1);
    if (!job.OpenInputFile(source)) {
        ADD_FAILURE() << job.LastError;
        return {};
    }
    const std::string stats = dir.File("stats.log");
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    job.ApplyOption("vstats_file", stats);
    if (job.OpenOutputFile(out) < 0) {
        ADD_FAILURE() << job.LastError;
        return {};
    }
    EXPECT_TRUE(job.Execute()) << job.ErrorMessage();
    std::vector<double> q;
    std::ifstream lines(stats);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t at = line.find(" q= ");
        if (at != std::string::npos)
            q.push_back(std::atof(line.c_str() + at + 4));
    }
    return q;
}

std::vector<int> PacketSizes(const std::string& file) {
    std::vector<int> sizes;
    std::istringstream lines(
        RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 '" + file + "'"));
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty())
            sizes.push_back(std::atoi(line.c_str()));
    return sizes;
}
} // namespace

TEST(EngineRateControl, OverriddenFramesGetTheirQuantiserOrQualityFactor) {
    TTempDir dir;
    const std::string source = Make(dir, "source.avi", "-frames:v 40 -c:v mpeg4 -q:v 2");
    // The rate control may move the quantiser freely from frame to frame, so that an override
    // shows on its frames alone.
    const TOptionList common{{"vcodec", "mpeg4"}, {"vb", "200000"}, {"qdiff", "31"}, {"qblur", "0"}};
    const std::string plainFile = dir.File("plain.avi");
    Encode(dir, source, plainFile, common);
    const std::vector<int> plain = PacketSizes(plainFile);
    ASSERT_EQ(plain.size(), 40u);

    const struct {
        const char* Override;
        double Ratio;     // frames 10 to 19 at most this share of their plain size
        double Quantiser; // and at least this quantiser
    } cases[] = {
        {"10,19,31", 0.34, 24},   // a fixed quantiser (key frames take a finer one of their own)
        {"10,19,-25", 0.5, 8},    // a quarter of the bits the rate control would give
        // Two ranges: the second follows frames coded coarsely, so only the quantiser tells.
        {"10,14,31/15,19,-25", 1.0, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Override);
        const std::string file = dir.File("override.avi");
        TOptionList options = common;
        options.push_back({"rc_override", c.Override});
        const std::vector<double> q = Encode(dir, source, file, options);
        const std::vector<int> sizes = PacketSizes(file);
        ASSERT_EQ(sizes.size(), 40u);
        ASSERT_EQ(q.size(), 40u);
        for (int frame = 0; frame < 10; ++frame)
            EXPECT_EQ(sizes[frame], plain[frame]) << "frame " << frame << " comes before the range";
        for (int frame = 10; frame < 20; ++frame) {
            EXPECT_LE(sizes[frame], plain[frame] * c.Ratio) << "frame " << frame;
            EXPECT_GE(q[frame], c.Quantiser) << "frame " << frame;
        }
        EXPECT_LT(q[20], c.Quantiser) << "the range ends with frame 19";
    }

    TCustomFFmpeg job(1);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("rc_override", "10,19");
    EXPECT_LT(job.OpenOutputFile(dir.File("refused.avi")), 0);
    EXPECT_NE(job.LastError.find("error parsing rc_override"), std::string::npos) << job.LastError;
}

TEST(EngineRateControl, SameQuantiserIsTheFinestWhereTheDecoderTellsNone) {
    TTempDir dir;
    // Today's decoders hand out pictures without a quantiser: "sameq" then encodes at the
    // finest one, or at the fixed one given with it.
    const std::string coarse = Make(dir, "coarse.avi", "-frames:v 10 -c:v mpeg4 -q:v 12");
    const struct {
        TOptionList Options;
        double Quantiser;
    } cases[] = {
        {{{"sameq", "1"}}, 1},
        {{{"sameq", "1"}, {"qscale", "6"}}, 6},
    };
    std::vector<std::uintmax_t> sizes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Options.size());
        TOptionList options = c.Options;
        options.insert(options.begin(), {"vcodec", "mpeg4"});
        const std::string file = dir.File("same" + std::to_string(sizes.size()) + ".avi");
        const std::vector<double> q = Encode(dir, coarse, file, options);
        ASSERT_EQ(q.size(), 10u);
        for (double value : q)
            EXPECT_NEAR(value, c.Quantiser, 0.05);
        sizes.push_back(std::filesystem::file_size(file));
        EXPECT_EQ(DecodeErrors(file), "");
    }
    // The finest quantiser keeps the coarse source's blocks and noise alike: many more bytes.
    EXPECT_GT(double(sizes[0]), 1.4 * double(sizes[1]));
}
