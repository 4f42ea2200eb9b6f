// Projects on the command line: frames and render from a project, moved projects, relinking,
// picture lists, sorting, project show and project save.

#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {
std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file of a folder by name, with its bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = Read(entry.path());
    return files;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

class ProjectCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(CliPath())) << CliPath(); }
    void WritePictures(const fs::path& folder, int count) {
        fs::create_directories(folder);
        for (int i = 0; i < count; ++i)
            WriteTestJpeg((folder / ("p" + std::to_string(i) + ".jpg")).string(), 80, 60,
                          [i](int x, int y) { return std::uint32_t(0x200000 * i + x * 3 + (y << 8)); });
    }
    std::string Q(const fs::path& p) const { return "'" + p.string() + "'"; }
    TTempDir dir;
};

const char* const FiveSlides = R"({
  "format": "pixaroll-project", "version": 1,
  "output": { "frameSize": "160x120", "frameRate": "10:1", "hold": "0.3", "transition": "0.3", "seed": 11 },
  "slides": [
    { "picture": "pics/p0.jpg", "hold": 0.2, "effect": 5, "caption": "First" },
    { "picture": "pics/p1.jpg", "hold": 0.4, "effect": 60, "caption": "A second caption that is long enough to wrap" },
    { "picture": "pics/p2.jpg", "effect": "random" },
    { "picture": "pics/p3.jpg", "hold": 0.1, "caption": "Fourth" },
    { "picture": "pics/p4.jpg", "hold": 0.5, "effect": 176, "caption": "Last" }
  ]
})";
} // namespace

// In a session without XDG_RUNTIME_DIR (cron, a container, a CI runner) Qt has something to say
// when the captions start it; the command line prints only what it was asked for.
TEST_F(ProjectCommandTest, WithoutARuntimeFolderOnlyWhatWasAskedForIsPrinted) {
    WritePictures(dir.Path() / "pics", 5);
    std::ofstream(dir.Path() / "show.pixaroll") << FiveSlides;
    fs::create_directories(dir.Path() / "tmp");
    const TRunResult r = RunShell("env -u XDG_RUNTIME_DIR TMPDIR=" + Q(dir.Path() / "tmp") + " " + CliPath() +
                                  " frames --every 0 --project " + Q(dir.Path() / "show.pixaroll"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(FirstLine(r.Output), "frames 35");
    EXPECT_EQ(r.Output.find("QStandardPaths"), std::string::npos) << r.Output;
    EXPECT_EQ(r.Output.find("XDG_RUNTIME_DIR"), std::string::npos) << r.Output;
    int lines = 0;
    for (char c : r.Output)
        lines += c == '\n';
    EXPECT_EQ(lines, 2) << r.Output; // the frames and the effects
}

TEST_F(ProjectCommandTest, AMovedProjectMakesTheSameFramesAndOneFolderRelinksEveryPicture) {
    const fs::path a = dir.Path() / "a", b = dir.Path() / "b";
    WritePictures(a / "pics", 5);
    std::ofstream(a / "show.pixaroll") << FiveSlides;

    const TRunResult before = RunCli("frames --project " + Q(a / "show.pixaroll") + " -o " + Q(dir.Path() / "before"));
    ASSERT_EQ(before.Status, 0) << before.Output;
    // Holds 2, 4, 3 (the project's), 1 and 5 frames, transitions of 3 frames.
    EXPECT_EQ(FirstLine(before.Output), "frames 35");
    EXPECT_NE(before.Output.find("effects 5 60 "), std::string::npos) << before.Output;
    EXPECT_NE(before.Output.find(" 176 "), std::string::npos) << before.Output;

    fs::rename(a, b);
    const TRunResult moved = RunCli("frames --project " + Q(b / "show.pixaroll") + " -o " + Q(dir.Path() / "moved"));
    ASSERT_EQ(moved.Status, 0) << moved.Output;
    EXPECT_EQ(moved.Output, before.Output);
    const auto expected = Files(dir.Path() / "before");
    ASSERT_EQ(expected.size(), 35u);
    EXPECT_TRUE(Files(dir.Path() / "moved") == expected);

    // The pictures go elsewhere: every missing one is named, and one folder brings all back.
    fs::rename(b / "pics", dir.Path() / "elsewhere");
    const TRunResult missing = RunCli("frames --project " + Q(b / "show.pixaroll") + " -o " + Q(dir.Path() / "x"));
    EXPECT_EQ(missing.Status, 1) << missing.Output;
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(missing.Output.find((b / "pics" / ("p" + std::to_string(i) + ".jpg")).string()), std::string::npos)
            << missing.Output;
    const TRunResult shown = RunCli("project show " + Q(b / "show.pixaroll"));
    ASSERT_EQ(shown.Status, 0) << shown.Output;
    EXPECT_NE(shown.Output.find("missing files: 5"), std::string::npos) << shown.Output;
    EXPECT_NE(shown.Output.find("picture 3: " + (b / "pics" / "p2.jpg").string()), std::string::npos) << shown.Output;
    EXPECT_NE(shown.Output.find("caption \"First\""), std::string::npos) << shown.Output;
    EXPECT_NE(RunCli("project show " + Q(b / "show.pixaroll") + " --relink " + Q(dir.Path() / "elsewhere"))
                  .Output.find("missing files: 0"),
              std::string::npos);

    const TRunResult relinked = RunCli("frames --project " + Q(b / "show.pixaroll") + " --relink " +
                                       Q(dir.Path() / "elsewhere") + " -o " + Q(dir.Path() / "relinked"));
    ASSERT_EQ(relinked.Status, 0) << relinked.Output;
    EXPECT_TRUE(Files(dir.Path() / "relinked") == expected);
}

TEST_F(ProjectCommandTest, ADefaultsOnlyProjectMakesTheFramesOfTheSameOptions) {
    WritePictures(dir.Path() / "pics", 3);
    const std::string pictures =
        Q(dir.Path() / "pics" / "p0.jpg") + " " + Q(dir.Path() / "pics" / "p1.jpg") + " " + Q(dir.Path() / "pics" / "p2.jpg");
    const std::string options = " --size 64x48 --rate 10:1 --hold 0.5 --transition 0.4 --seed 9";
    const fs::path project = dir.Path() / "plain.pixaroll";
    const TRunResult saved = RunCli("project save " + Q(project) + " --pictures " + pictures + options);
    ASSERT_EQ(saved.Status, 0) << saved.Output;

    const TRunResult given = RunCli("frames --pictures " + pictures + options + " -o " + Q(dir.Path() / "given"));
    const TRunResult opened = RunCli("frames --project " + Q(project) + " -o " + Q(dir.Path() / "opened"));
    ASSERT_EQ(given.Status, 0) << given.Output;
    ASSERT_EQ(opened.Status, 0) << opened.Output;
    EXPECT_EQ(opened.Output, given.Output);
    EXPECT_TRUE(Files(dir.Path() / "opened") == Files(dir.Path() / "given"));

    // Options on the command line override the project's.
    const TRunResult sequential = RunCli("frames --project " + Q(project) + " --sequential --hold 0 --every 0");
    ASSERT_EQ(sequential.Status, 0) << sequential.Output;
    EXPECT_EQ(sequential.Output, "frames 21\neffects 1 2 3 4\n"); // 3 x (1 + 4) + 4 + 2

    // A list file and sorting by name give the same slides in the same order.
    std::ofstream(dir.Path() / "list.txt") << "# the pictures\n" << (dir.Path() / "pics" / "p2.jpg").string() << "\n\n"
                                           << (dir.Path() / "pics" / "p0.jpg").string() << "\r\n"
                                           << (dir.Path() / "pics" / "p1.jpg").string() << "\n";
    const TRunResult listed = RunCli("frames --pictures-from " + Q(dir.Path() / "list.txt") + " --sort name" + options +
                                     " -o " + Q(dir.Path() / "listed"));
    ASSERT_EQ(listed.Status, 0) << listed.Output;
    EXPECT_TRUE(Files(dir.Path() / "listed") == Files(dir.Path() / "given"));
    EXPECT_EQ(RunCli("frames --pictures-from " + Q(dir.Path() / "nolist.txt") + " --every 0").Status, 1);
    EXPECT_EQ(RunCli("frames --project " + Q(project) + " --sort size --every 0").Status, 2);
}

TEST_F(ProjectCommandTest, RenderHoldsEachPictureForItsOwnTime) {
    WritePictures(dir.Path() / "pics", 3);
    std::ofstream(dir.Path() / "holds.pixaroll") << R"({ "format": "pixaroll-project", "version": 1,
      "output": { "frameSize": "96x64", "frameRate": "10:1", "transition": "0.5", "randomEffects": false },
      "slides": [ { "picture": "pics/p0.jpg", "hold": 1 }, { "picture": "pics/p1.jpg", "hold": 3 },
                  { "picture": "pics/p2.jpg", "hold": 2 } ] })";
    const fs::path out = dir.Path() / "out";
    const TRunResult r = RunCli("render --project " + Q(dir.Path() / "holds.pixaroll") + " --out-dir " + Q(out) + " --quiet");
    ASSERT_EQ(r.Status, 0) << r.Output;
    const std::string file = (out / "slideshow-_(new).mp4").string();
    const TStreamProbe video = ProbeStream(file, "v");
    // 10 + 30 + 20 held frames, four transitions of 5 frames, two black frames.
    EXPECT_EQ(video.Packets, 82);
    EXPECT_NEAR(video.End - video.Start, 8.2, 0.06);
}

TEST_F(ProjectCommandTest, DamagedProjectsAreRefusedWithTheirPlace) {
    std::ofstream(dir.Path() / "bad.pixaroll") << "{\n  \"format\": \"pixaroll-project\",\n  \"version\": 1,\n  \"slides\": [ } \n";
    for (const char* command : {"project show ", "frames --every 0 --project ", "render --out-dir /nowhere --project "}) {
        const TRunResult r = RunCli(command + Q(dir.Path() / "bad.pixaroll"));
        EXPECT_EQ(r.Status, 1) << command << r.Output;
        EXPECT_NE(r.Output.find("bad.pixaroll: line 4, column "), std::string::npos) << r.Output;
    }
    std::ofstream(dir.Path() / "foreign.pixaroll") << "{\"name\": \"something else\"}";
    const TRunResult foreign = RunCli("project show " + Q(dir.Path() / "foreign.pixaroll"));
    EXPECT_EQ(foreign.Status, 1);
    EXPECT_NE(foreign.Output.find("not a Zemo Pixaroll project"), std::string::npos) << foreign.Output;
    EXPECT_EQ(RunCli("project").Status, 2);
    EXPECT_EQ(RunCli("project open x").Status, 2);
}

TEST_F(ProjectCommandTest, CaptionsCanAlsoBecomeASubtitleStream) {
    WritePictures(dir.Path() / "pics", 2);
    std::ofstream(dir.Path() / "cues.pixaroll") << R"({ "format": "pixaroll-project", "version": 1,
      "output": { "frameSize": "96x64", "frameRate": "10:1", "hold": "1", "transition": "0.4", "randomEffects": false },
      "slides": [ { "picture": "pics/p0.jpg" }, { "picture": "pics/p1.jpg", "caption": "Second" } ] })";
    const fs::path out = dir.Path() / "out";
    const std::string render = "render --project " + Q(dir.Path() / "cues.pixaroll") + " --out-dir " + Q(out) + " --quiet";
    ASSERT_EQ(RunCli(render + " --caption-subtitles").Status, 0);
    const std::string mp4 = (out / "slideshow-_(new).mp4").string();
    const TRunResult cues = RunShell("ffmpeg -nostdin -v error -i '" + mp4 + "' -map 0:s:0 -f srt -");
    // Slide 1's cue: from the start of the transition into it (frame 14), where its caption
    // fades in, to the end of the one out of it (28 + 4), at 10 frames a second.
    EXPECT_NE(cues.Output.find("00:00:01,400 --> 00:00:03,200\nSecond"), std::string::npos) << cues.Output;
    // Containers without text subtitles, or without the option: no subtitle stream.
    ASSERT_EQ(RunCli(render + " --caption-subtitles --format wmv").Status, 0);
    ASSERT_EQ(RunCli(render).Status, 0);
    for (const char* name : {"slideshow-_(new).wmv", "slideshow-_(new_1).mp4"}) {
        const TRunResult streams = RunShell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" +
                                            (out / name).string() + "'");
        EXPECT_EQ(streams.Output.find("subtitle"), std::string::npos) << name << streams.Output;
    }
}

TEST_F(ProjectCommandTest, TitlesAndCaptionStylesFromTheCommandLineGoIntoProjectsAndFrames) {
    WritePictures(dir.Path() / "pics", 2);
    const std::string pictures = " --pictures " + Q(dir.Path() / "pics" / "p0.jpg") + " " + Q(dir.Path() / "pics" / "p1.jpg");
    const fs::path project = dir.Path() / "titled.pixaroll";
    const TRunResult saved = RunCli("project save " + Q(project) + pictures +
                                    " --title 'Summer 2026' --end-title 'The end' --title-background '#203040-#000000'"
                                    " --caption-style 'position=top,size=0.05,box=#80000000' --caption-fade 0.3"
                                    " --size 160x120 --rate 10:1 --hold 0.3 --transition 0.4");
    ASSERT_EQ(saved.Status, 0) << saved.Output;
    const std::string text = Read(project);
    EXPECT_NE(text.find("\"version\": 2"), std::string::npos) << text;
    EXPECT_NE(text.find("\"title\": \"Summer 2026\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"background\": \"#203040-#000000\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"position\": \"top\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"captionFade\": 0.3"), std::string::npos) << text;
    const TRunResult shown = RunCli("project show " + Q(project));
    ASSERT_EQ(shown.Status, 0) << shown.Output;
    EXPECT_NE(shown.Output.find("1 title \"Summer 2026\" on #203040-#000000"), std::string::npos) << shown.Output;
    EXPECT_NE(shown.Output.find("4 title \"The end\""), std::string::npos) << shown.Output;
    EXPECT_NE(shown.Output.find("missing files: 0"), std::string::npos) << shown.Output;
    // Four slides: 4 + 4 x (3 + 4) + 2 frames; the first held one is the gradient under the title.
    const fs::path frames = dir.Path() / "frames";
    const TRunResult drawn = RunCli("frames --project " + Q(project) + " --every 1 -o " + Q(frames));
    ASSERT_EQ(drawn.Status, 0) << drawn.Output;
    EXPECT_EQ(Files(frames).size(), 34u);

    // Wrong values are refused with the option and the key.
    const TRunResult bad = RunCli("frames --every 0" + pictures + " --caption-style 'colour=red'");
    EXPECT_EQ(bad.Status, 2) << bad.Output;
    EXPECT_NE(bad.Output.find("--caption-style: unknown caption style key \"colour\""), std::string::npos) << bad.Output;
    const TRunResult badFade = RunCli("frames --every 0" + pictures + " --caption-fade soon");
    EXPECT_EQ(badFade.Status, 2) << badFade.Output;
    EXPECT_NE(badFade.Output.find("--caption-fade"), std::string::npos) << badFade.Output;
    const TRunResult badBackground = RunCli("frames --every 0" + pictures + " --title x --title-background red");
    EXPECT_EQ(badBackground.Status, 2) << badBackground.Output;
}

TEST_F(ProjectCommandTest, NeighbouringCaptionCuesOverlapDuringTheirCrossFade) {
    WritePictures(dir.Path() / "pics", 2);
    std::ofstream(dir.Path() / "two.pixaroll") << R"({ "format": "pixaroll-project", "version": 2,
      "output": { "frameSize": "96x64", "frameRate": "10:1", "hold": "1", "transition": "0.4", "randomEffects": false },
      "slides": [ { "picture": "pics/p0.jpg", "caption": "First" }, { "picture": "pics/p1.jpg", "caption": "Second" } ] })";
    const fs::path out = dir.Path() / "out";
    ASSERT_EQ(RunCli("render --project " + Q(dir.Path() / "two.pixaroll") + " --out-dir " + Q(out) +
                     " --quiet --caption-subtitles").Status, 0);
    const TRunResult cues =
        RunShell("ffmpeg -nostdin -v error -i '" + (out / "slideshow-_(new).mp4").string() + "' -map 0:s:0 -f srt -");
    // Both cues come out of the file, the first from frame 0, the second from frame 14.
    EXPECT_NE(cues.Output.find("00:00:00,000 --> "), std::string::npos) << cues.Output;
    EXPECT_NE(cues.Output.find("First"), std::string::npos) << cues.Output;
    EXPECT_NE(cues.Output.find("00:00:01,400 --> 00:00:03,200\nSecond"), std::string::npos) << cues.Output;
}
