#include "medialib/FFLoad.h"
#include "tests/medialib/TempFolder.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>


namespace {
} // namespace

TEST(CliLibs, ListsEachLibraryOrFailsWithTheLoadersText) {
    TRunResult ok = RunCli("libs");
    EXPECT_EQ(ok.Status, 0) << ok.Output;
    EXPECT_NE(ok.Output.find("avcodec     " + std::to_string(LIBAVCODEC_VERSION_MAJOR) + "."), std::string::npos)
        << ok.Output;
    EXPECT_NE(ok.Output.find("/libswscale.so." + std::to_string(LIBSWSCALE_VERSION_MAJOR)), std::string::npos);
    EXPECT_EQ(ok.Output.find("avdevice"), std::string::npos) << "the encoder does not load the device library";

    TTempFolder folder;
    std::filesystem::copy_file(FAKE_AVUTIL_MISMATCH, folder.Path() / ("libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR)));
    TRunResult refused = RunCli("libs --path " + folder.Path().string());
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Output.find("Load library " + folder.Path().string() + "/libavutil.so."), std::string::npos)
        << refused.Output;
    EXPECT_NE(refused.Output.find("does not match major version"), std::string::npos) << refused.Output;
}
