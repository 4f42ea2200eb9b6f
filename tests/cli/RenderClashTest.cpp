// pixaroll-cli render against hostile conditions: sizes no encoder takes, several renders
// started at once into one folder, a signal at the moment the output file appears.

#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Decodes the whole file: true when it plays to its end without an error.
bool Plays(const std::string& file) {
    TRunResult r = RunShell("ffmpeg -v error -i '" + file + "' -f null - 2>&1");
    return r.Status == 0 && r.Output.empty();
}

class RenderClash : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(CliPath())) << CliPath();
        pictures_ = WriteTwoTestPictures(dir_);
    }
    std::string Render(const std::string& folder, const std::string& options) const {
        return "'" + std::string(CliPath()) + "' render --pictures" + pictures_ + " --out-dir '" + folder + "' --format mp4 " + options;
    }
    TTempDir dir_;
    std::string pictures_;
};

TEST_F(RenderClash, SizesTheEncoderCannotTakeEndWithStatusOneAndNoFile) {
    const struct {
        const char* Size;
        const char* Format;
    } cases[] = {{"100000x100000", "mp4"}, {"40000x40000", "flv"}, {"0x0", "mov"}, {"-5x10", "swf"}, {"7x5", "wmv"}};
    const std::string folder = dir_.File("refused");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        TRunResult r = RunShell(Render(folder, std::string("--quiet --format ") + c.Format + " --size " + c.Size) + " 2>&1");
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(std::string("the frame size ") + c.Size), std::string::npos) << r.Output;
        EXPECT_TRUE(FilesIn(folder).empty());
    }
    // An even width is all wmv needs.
    TRunResult r = RunShell(Render(folder, "--quiet --format wmv --size 8x5 --hold 0.1 --transition 0.1") + " 2>&1");
    EXPECT_EQ(r.Status, 0) << r.Output;
}

TEST_F(RenderClash, RendersStartedAtOnceIntoOneFolderWriteThatManyPlayableFiles) {
    for (int count : {4, 8}) {
        SCOPED_TRACE(count);
        const std::string folder = dir_.File("together-" + std::to_string(count));
        fs::create_directory(folder);
        std::string script;
        for (int i = 0; i < count; ++i)
            script += Render(folder, "--quiet --size 64x48 --rate 10:1 --hold 0.3 --transition 0.2") + " & ";
        script += "wait";
        TRunResult r = RunShell(script);
        std::set<std::string> printed;
        std::istringstream lines(r.Output);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(folder, 0) == 0)
                printed.insert(line);
        EXPECT_EQ(printed.size(), std::size_t(count)) << r.Output;
        const std::vector<std::string> files = FilesIn(folder);
        ASSERT_EQ(files.size(), std::size_t(count)) << r.Output;
        for (const std::string& file : files) {
            EXPECT_TRUE(printed.count(file)) << file;
            EXPECT_TRUE(Plays(file)) << file;
        }
    }
}

// The signal comes the moment the file is there, before any frame could be written: what is
// left plays, or nothing is left.
TEST_F(RenderClash, ASignalAsTheOutputAppearsLeavesAPlayableFileOrNone) {
    int stoppedBeforeAnyWrite = 0;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        const std::string folder = dir_.File("signal-" + std::to_string(round));
        fs::create_directory(folder);
        const char* signal = round % 2 ? "TERM" : "INT";
        const std::string file = folder + "/slideshow-_(new).mp4";
        // Job control: a background job of a script would otherwise start with SIGINT ignored.
        std::string script = "set -m; " + Render(folder, "--quiet --size 64x48 --hold 600") + " >/dev/null 2>&1 & pid=$!; "
                             "n=0; while [ ! -e '" + file + "' ] && [ $n -lt 2000000 ]; do n=$((n+1)); done; "
                             "kill -" + signal + " $pid; wait $pid; echo \"status=$?\"";
        TRunResult r = RunShell(script);
        EXPECT_NE(r.Output.find(std::string("status=") + (round % 2 ? "143" : "130")), std::string::npos) << r.Output;
        for (const std::string& left : FilesIn(folder)) {
            EXPECT_GT(fs::file_size(left), 0u) << left;
            EXPECT_TRUE(Plays(left)) << left;
        }
        stoppedBeforeAnyWrite += FilesIn(folder).empty();
    }
    RecordProperty("stopped_before_any_write", stoppedBeforeAnyWrite);
}
} // namespace
