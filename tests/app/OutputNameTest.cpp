#include "app/ContainerTable.h"
#include "app/OutputName.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
