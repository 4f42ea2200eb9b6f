// Per-frame statistics and the quantiser histogram of the video written.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(EngineStatistics, VstatsWritesOneLinePerFrameAndQphistLogsTheQuantisers) {
    TTempDir dir;
    TLogCapture log;
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 8)));
    std::string stats = dir.File("stats.log");
    for (const auto& [name, value] : {std::pair{"vcodec", "mpeg4"}, {"r", "25"}, {"qscale", "4"}, {"vstats_file", stats.c_str()},
                                      {"qphist", ""}})
        job.ApplyOption(name, value);
    ASSERT_EQ(job.OpenOutputFile(dir.File("q.mp4")), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    std::ifstream in(stats);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        EXPECT_EQ(line.rfind(lines < 10 ? "frame=     " + std::to_string(lines) + " q= 4.0 f_size=" : "", 0), 0u) << line;
        EXPECT_NE(line.find(lines == 1 ? "type= I" : "type= P"), std::string::npos) << line;
    }
    EXPECT_EQ(lines, 8);
    EXPECT_TRUE(log.Contains("qp histogram: 4:8"));
}
