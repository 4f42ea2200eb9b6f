#include "app/output/ContainerTable.h"
#include "app/output/OutputName.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {
class OutputName : public ::testing::Test {
protected:
    void Touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
    TTempDir temp_;
    const fs::path dir_ = temp_.Path();
};

TEST_F(OutputName, FirstFreeSuffixIsTaken) {
    std::string folder = dir_.string();
    EXPECT_EQ(UniqueOutputName(folder, "slideshow-", ".mp4"), folder + "/slideshow-_(new).mp4");
    Touch("slideshow-_(new).mp4");
    Touch("slideshow-_(new_1).mp4");
    Touch("slideshow-_(new_3).mp4");
    EXPECT_EQ(UniqueOutputName(folder, "slideshow-", ".mp4"), folder + "/slideshow-_(new_2).mp4");
    // A link to nowhere and a folder take their names as well.
    fs::create_symlink(dir_ / "missing-target", dir_ / "slideshow-_(new_2).mp4");
    fs::create_directory(dir_ / "slideshow-_(new_4).mp4");
    EXPECT_EQ(UniqueOutputName(folder, "slideshow-", ".mp4"), folder + "/slideshow-_(new_5).mp4");
    // Other extensions are counted apart.
    EXPECT_EQ(UniqueOutputName(folder + "/", "slideshow-", ".flv"), folder + "/slideshow-_(new).flv");
}

TEST_F(OutputName, BaseNameLosesItsFolderAndExtension) {
    std::string folder = dir_.string();
    EXPECT_EQ(UniqueOutputName(folder, "/elsewhere/holiday.avi", ".mov"), folder + "/holiday_(new).mov");
}

TEST_F(OutputName, FoldersAreCreatedWithEveryLevel) {
    fs::path deep = dir_ / "a" / "b";
    EXPECT_TRUE(EnsureOutputFolder(deep.string()));
    EXPECT_TRUE(fs::is_directory(deep));
    Touch("file");
    EXPECT_FALSE(EnsureOutputFolder((dir_ / "file" / "sub").string()));
    std::string reason;
    EXPECT_FALSE(EnsureOutputFolder((dir_ / "file" / "sub").string(), reason));
    EXPECT_EQ(reason, "Not a directory");
    reason.clear();
    EXPECT_FALSE(EnsureOutputFolder((dir_ / "file").string(), reason));
    EXPECT_EQ(reason, "Not a directory");
}

TEST(ContainerTable, EveryContainerIsFoundByNameAndWritesItsOwnExtension) {
    for (const TContainerRow& row : Containers) {
        EXPECT_EQ(FindContainer(row.Name), &row);
        EXPECT_EQ(std::string(".") + row.Name, row.Extension);
        EXPECT_STRNE(row.AudioCodec, "");
    }
    EXPECT_EQ(FindContainer("avi"), nullptr);
    EXPECT_EQ(FindContainer("MP4"), nullptr);
}
} // namespace

namespace {
TEST_F(OutputName, ClaimCreatesTheFirstFreeNameAndSkipsTakenOnes) {
    const std::string folder = dir_.string();
    bool claimed = false;
    std::string reason;
    EXPECT_EQ(ClaimOutputName(folder, "slideshow-", ".mp4", claimed, reason), folder + "/slideshow-_(new).mp4");
    EXPECT_TRUE(claimed);
    EXPECT_TRUE(fs::is_regular_file(dir_ / "slideshow-_(new).mp4"));
    EXPECT_EQ(fs::file_size(dir_ / "slideshow-_(new).mp4"), 0u);
    // The claimed name is taken now; a dangling link takes its name as well.
    fs::create_symlink(dir_ / "missing-target", dir_ / "slideshow-_(new_1).mp4");
    EXPECT_EQ(ClaimOutputName(folder, "slideshow-", ".mp4", claimed, reason), folder + "/slideshow-_(new_2).mp4");
    EXPECT_TRUE(claimed);
    EXPECT_FALSE(fs::exists(dir_ / "missing-target")); // nothing was written through the link
}

TEST_F(OutputName, ClaimInAFolderThatCannotTakeFilesGivesTheNameUnclaimed) {
    const std::string folder = (dir_ / "missing").string();
    bool claimed = true;
    std::string reason;
    EXPECT_EQ(ClaimOutputName(folder, "slideshow-", ".mp4", claimed, reason), folder + "/slideshow-_(new).mp4");
    EXPECT_FALSE(claimed);
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(OutputName, JobsClaimingAtOnceGetDistinctNames) {
    constexpr int jobs = 16;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const fs::path roundDir = dir_ / std::to_string(round);
        fs::create_directory(roundDir);
        const std::string folder = roundDir.string();
        std::vector<std::string> names(jobs);
        std::vector<std::thread> threads;
        for (int i = 0; i < jobs; ++i)
            threads.emplace_back([&, i] {
                bool claimed = false;
                std::string reason;
                names[std::size_t(i)] = ClaimOutputName(folder, "slideshow-", ".flv", claimed, reason);
            });
        for (std::thread& t : threads)
            t.join();
        std::sort(names.begin(), names.end());
        ASSERT_EQ(std::unique(names.begin(), names.end()), names.end());
        ASSERT_EQ(std::distance(fs::directory_iterator(roundDir), fs::directory_iterator()), jobs);
    }
}

TEST_F(OutputName, OnlyAnUnwrittenOutputIsRemoved) {
    bool claimed = false;
    std::string reason;
    const std::string empty = ClaimOutputName(dir_.string(), "slideshow-", ".mp4", claimed, reason);
    Touch("written.mp4");
    EXPECT_TRUE(RemoveUnwrittenOutput(empty));
    EXPECT_FALSE(fs::exists(empty));
    EXPECT_FALSE(RemoveUnwrittenOutput((dir_ / "written.mp4").string()));
    EXPECT_TRUE(fs::exists(dir_ / "written.mp4"));
    EXPECT_FALSE(RemoveUnwrittenOutput(empty)); // gone already
    EXPECT_FALSE(RemoveUnwrittenOutput(""));
}
} // namespace
