#include "app/settings/GlobalObject.h"
#include "app/settings/IniFile.h"
#include "app/output/OutputFolder.h"
#include "app/settings/SettingsKeys.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
std::string ReadAll(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(IniFile, ValuesRoundTripAndOtherLinesStay) {
    TTempDir temp;
    const std::string file = temp.File("sub/dir/zemopixaroll.ini"); // folders made by the first write
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", "def"), "def");
    ASSERT_TRUE(ini.WriteString("settings", "OutPutDir", "/a b/c=d"));
    ASSERT_TRUE(ini.WriteInteger("settings", "format", 3));
    ASSERT_TRUE(ini.WriteBool("settings", "stereo", true));
    ASSERT_TRUE(ini.WriteString("other", "key", "x"));
    // Section and key names match in any letter case; the value keeps its "=".
    EXPECT_EQ(ini.ReadString("SETTINGS", "outputdir", ""), "/a b/c=d");
    EXPECT_EQ(ini.ReadInteger("settings", "format", 0), 3);
    EXPECT_TRUE(ini.ReadBool("settings", "stereo", false));
    // Overwriting changes that line only; the key added later lands in its own section.
    ASSERT_TRUE(ini.WriteInteger("settings", "FORMAT", 1));
    ASSERT_TRUE(ini.WriteString("settings", "mono", "0"));
    EXPECT_EQ(ReadAll(file), "[settings]\nOutPutDir=/a b/c=d\nformat=1\nstereo=1\nmono=0\n\n[other]\nkey=x\n");
    // A line break in a value cannot smuggle in a second key.
    ASSERT_TRUE(ini.WriteString("settings", "videosize", "1x1\nformat=4"));
    EXPECT_EQ(ini.ReadInteger("settings", "format", 0), 1);
    EXPECT_EQ(fs::directory_iterator(fs::path(file).parent_path())->path().filename(), "zemopixaroll.ini");
}

TEST(IniFile, NumbersThatDoNotReadGiveTheDefault) {
    TTempDir temp;
    const std::string file = temp.File("x.ini");
    std::ofstream(file) << "; comment\n[settings]\na=12x\nb=\nc= 7 \nd=2\ne=-1\nf=0\n";
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadInteger("settings", "a", 5), 5);
    EXPECT_EQ(ini.ReadInteger("settings", "b", 5), 5);
    EXPECT_EQ(ini.ReadInteger("settings", "c", 5), 7);
    EXPECT_EQ(ini.ReadInteger("settings", "e", 5), -1);
    EXPECT_TRUE(ini.ReadBool("settings", "d", false)); // any non-zero integer is true
    EXPECT_FALSE(ini.ReadBool("settings", "f", true));
    EXPECT_TRUE(ini.ReadBool("settings", "missing", true));
}

TEST(IniFile, KeysOfOtherSectionsAreNeitherReadNorWritten) {
    TTempDir temp;
    const std::string file = temp.File("x.ini");
    std::ofstream(file) << "mono=1\n[settings]\nformat=2\n[other]\nstereo=1\nformat=9\n";
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadInteger("settings", "format", 0), 2);
    EXPECT_EQ(ini.ReadInteger("other", "format", 0), 9);
    EXPECT_FALSE(ini.ValueExists("settings", "stereo")) << "a key of the section after it";
    EXPECT_FALSE(ini.ValueExists("settings", "mono")) << "a key before any section";
    ASSERT_TRUE(ini.WriteBool("settings", "stereo", false));
    EXPECT_FALSE(ini.ReadBool("settings", "stereo", true));
    EXPECT_TRUE(ini.ReadBool("other", "stereo", false));
    EXPECT_EQ(ReadAll(file), "mono=1\n[settings]\nformat=2\nstereo=0\n[other]\nstereo=1\nformat=9\n");
}

TEST(IniFile, AnUnwritableFileLosesTheChangeQuietly) {
    TTempDir temp;
    const std::string blocker = temp.File("file");
    std::ofstream(blocker) << "x";
    TIniFile ini(blocker + "/zemopixaroll.ini"); // a folder that cannot exist
    EXPECT_FALSE(ini.WriteString("settings", "a", "1"));
    EXPECT_EQ(ini.ReadString("settings", "a", "none"), "none");
}

TEST(GlobalObject, SettersKeepValuesThatFailTheirRule) {
    TGlobalObject g;
    g.SetIniFileName("/x/zemopixaroll.ini");
    g.SetIniFileName("abc"); // three characters are too short
    EXPECT_EQ(g.IniFileName(), "/x/zemopixaroll.ini");
    g.SetIniFileName("abcd");
    EXPECT_EQ(g.IniFileName(), "abcd");
    g.SetAppTitle("Zemo Pixaroll");
    g.SetAppTitle("");
    EXPECT_EQ(g.AppTitle(), "Zemo Pixaroll");
    g.SetHelpUrl("h");
    g.SetHelpUrl("");
    g.SetHomePageUrl("p");
    g.SetHomePageUrl("");
    g.SetVersionText(" 1.000 ");
    g.SetVersionText("");
    EXPECT_EQ(g.HelpUrl(), "h");
    EXPECT_EQ(g.HomePageUrl(), "p");
    EXPECT_EQ(g.VersionText(), " 1.000 ");
}

TEST(GlobalObject, VersionTextJoinsTheLastThreeParts) {
    EXPECT_EQ(VersionTextOf("2.1.0.5"), " 2.105 ");
    EXPECT_EQ(VersionTextOf("1.0.0.0"), " 1.000 ");
    EXPECT_EQ(VersionTextOf("3.12"), " 3.1200 ");
    EXPECT_EQ(RightStr("folder/", 1), "/");
    EXPECT_EQ(RightStr("ab", 5), "ab");
}

TEST(GlobalObject, ConfigFolderFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string keep = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", "/cfg/here", 1);
    EXPECT_EQ(ConfigFolderPath(), "/cfg/here/");
    setenv("XDG_CONFIG_HOME", "relative", 1); // ignored, as the base-directory rules say
    EXPECT_EQ(ConfigFolderPath(), std::string(std::getenv("HOME")) + "/.config/");
    if (saved)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

class OutputFolder : public ::testing::Test {
protected:
    TTempDir temp_;
    const std::string profile_ = temp_.Path().string();
    TIniFile ini_{temp_.File("cfg/zemopixaroll.ini")};
    std::vector<std::string> warnings_;
    TWarnFunc warn_ = [this](const std::string& text) { warnings_.push_back(text); };
    // A path below a plain file can never be created.
    std::string Unusable() {
        std::ofstream(temp_.File("plain")) << "x";
        return temp_.File("plain/videos");
    }
};

TEST_F(OutputFolder, NamesCountUpInTheStoredFolder) {
    const std::string folder = temp_.File("out");
    ini_.WriteString(settings::Section, settings::OutPutDir, folder + "/");
    for (const char* suffix : {"_(new)", "_(new_1)", "_(new_2)"}) {
        const std::string name = UniqueOutputNameFor(ini_, profile_, "slideshow-", ".mp4", warn_);
        EXPECT_EQ(name, folder + "/slideshow-" + suffix + ".mp4");
        std::ofstream(name) << "x";
    }
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(OutputFolder, StartUsesTheFallbackItCreatedForAnUnusableFolder) {
    const std::string bad = Unusable();
    ini_.WriteString(settings::Section, settings::OutPutDir, bad);
    const std::string name = UniqueOutputNameFor(ini_, profile_, "slideshow-", ".flv", warn_);
    const std::string fallback = profile_ + "/videoconverter";
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0], "Cannot create output directory:" + bad + ".It will create default directory " + fallback + "!");
    EXPECT_EQ(name, fallback + "/slideshow-_(new).flv");
    EXPECT_TRUE(fs::is_directory(fallback));
    EXPECT_EQ(ini_.ReadString(settings::Section, settings::OutPutDir, ""), fallback);
    // Without a stored folder the default is used directly.
    TIniFile empty(temp_.File("other.ini"));
    EXPECT_EQ(OutputFolderForStart(empty, profile_, warn_), fallback);
    EXPECT_EQ(warnings_.size(), 1u);
}

TEST_F(OutputFolder, OpenFallsBackToMyVideos) {
    EXPECT_EQ(OutputFolderForOpen(ini_, profile_, warn_), profile_ + "/MyVideo"); // the default, created
    EXPECT_TRUE(fs::is_directory(profile_ + "/MyVideo"));
    const std::string bad = Unusable();
    ini_.WriteString(settings::Section, settings::OutPutDir, bad);
    EXPECT_EQ(OutputFolderForOpen(ini_, profile_, warn_), profile_ + "/MyVideos");
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0], "Can not create output directory:" + bad + ".It will create default directory" + profile_ + "/MyVideos");
    EXPECT_EQ(ini_.ReadString(settings::Section, settings::OutPutDir, ""), profile_ + "/MyVideos");
}

TEST(ReadOnlyFolder, WritableTemporaryFolderIsNotReadOnly) {
    TTempDir temp;
    EXPECT_FALSE(IsReadOnlyFolder(temp.Path().string()));
    // /proc/sys is mounted read-only in containers; elsewhere the check has nothing to see.
    std::ifstream mounts("/proc/self/mounts");
    std::string device, point, type, options;
    while (mounts >> device >> point >> type >> options) {
        std::string rest;
        std::getline(mounts, rest);
        if ((options == "ro" || options.rfind("ro,", 0) == 0) && fs::is_directory(point)) {
            EXPECT_TRUE(IsReadOnlyFolder(point)) << point;
            return;
        }
    }
}
} // namespace
