#include "medialib/FFLoad.h"
#include "tests/medialib/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace {
struct TRun {
    int Status;
    std::string Output; // stdout and stderr
};

TRun RunCli(const std::string& arguments) {
    std::string command = std::string(PIXAROLL_CLI_PATH) + " " + arguments + " 2>&1";
    TRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        run.Output.append(buffer, n);
    const int status = pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
} // namespace

TEST(CliLibs, ListsEachLibraryOrFailsWithTheLoadersText) {
    TRun ok = RunCli("libs");
    EXPECT_EQ(ok.Status, 0) << ok.Output;
    EXPECT_NE(ok.Output.find("avcodec     " + std::to_string(LIBAVCODEC_VERSION_MAJOR) + "."), std::string::npos)
        << ok.Output;
    EXPECT_NE(ok.Output.find("/libswscale.so." + std::to_string(LIBSWSCALE_VERSION_MAJOR)), std::string::npos);
    EXPECT_EQ(ok.Output.find("avdevice"), std::string::npos) << "the encoder does not load the device library";

    TTempFolder folder;
    std::filesystem::copy_file(FAKE_AVUTIL_MISMATCH, folder.Path() / ("libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR)));
    TRun refused = RunCli("libs --path " + folder.Path().string());
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Output.find("Load library " + folder.Path().string() + "/libavutil.so."), std::string::npos)
        << refused.Output;
    EXPECT_NE(refused.Output.find("does not match major version"), std::string::npos) << refused.Output;
}
