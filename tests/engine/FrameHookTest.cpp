// Frame hook modules ("vhook"): a module built with the tests inverts the pictures of a real
// run; modules that cannot be loaded or configured stop the job before it starts.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include "medialib/FrameHook.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {
// The test pictures: frames 0..5 plain red (B 30, G 40, R 220), frames 6..11 plain blue.
constexpr int Width = 64, Height = 48, Frames = 12, Hold = 6;

// Runs the test pictures through the given hooks into an MPEG-4 file of fine quantisation.
bool RunWithHooks(TCustomFFmpeg& job, const std::vector<std::string>& hooks, const std::string& output) {
    job.ApplyOption("f", TestFramesFormat);
    if (!job.OpenInputFile(TestFramesName(Width, Height, 10, Frames, AVERROR_EOF, Hold))) {
        ADD_FAILURE() << job.LastError;
        return false;
    }
    for (const std::string& hook : hooks)
        job.ApplyOption("vhook", hook);
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("qscale", "2");
    job.ApplyOption("r", "10");
    if (job.OpenOutputFile(output) < 0) {
        ADD_FAILURE() << job.LastError;
        return false;
    }
    return job.Execute();
}

TRgb Inverted(const TRgb& c) { return {255 - c.R, 255 - c.G, 255 - c.B}; }

std::string ReadText(const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A copy of the folder hook in folder, beside a settings file that holds word.
std::string FolderHookIn(const std::filesystem::path& folder, const std::string& word) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(FOLDER_HOOK_PATH, folder / "folderhook.so",
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(folder / "hook-settings.txt") << word << "\n";
    return (folder / "folderhook.so").string();
}

// Makes folder current while it lives.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~TCurrentFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};
} // namespace

TEST(FrameHook, ModuleInvertsEveryPictureAndIsReleasedWithItsCount) {
    TTempDir dir;
    std::string output = dir.File("inverted.avi"), counts = dir.File("counts.txt");
    TCustomFFmpeg job(1);
    ASSERT_TRUE(RunWithHooks(job, {std::string(INVERT_HOOK_PATH) + " count " + counts}, output)) << job.ErrorMessage();
    std::string rgb = DecodedRgb(dir, output);
    ASSERT_EQ(rgb.size(), std::size_t(Frames) * Width * Height * 3);
    ExpectNear(PixelAt(rgb, Width, Height, 0, 5, 5), Inverted(TestRed), "first red picture");
    ExpectNear(PixelAt(rgb, Width, Height, 4, Width - 3, Height - 3), Inverted(TestRed), "red picture, far corner");
    ExpectNear(PixelAt(rgb, Width, Height, 9, 30, 20), Inverted(TestBlue), "blue picture");
    // Released at the end of the run: the module saw every picture with its time in microseconds.
    EXPECT_EQ(ReadText(counts), "frames=12 first=0 last=1100000\n");
}

TEST(FrameHook, ArgumentsReachTheModuleAndHooksRunInTurn) {
    TTempDir dir;
    {
        // "left": the right half keeps its colour.
        std::string output = dir.File("left.avi");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunWithHooks(job, {std::string(INVERT_HOOK_PATH) + "  left"}, output)) << job.ErrorMessage();
        std::string rgb = DecodedRgb(dir, output);
        ExpectNear(PixelAt(rgb, Width, Height, 2, 8, 24), Inverted(TestRed), "left half");
        ExpectNear(PixelAt(rgb, Width, Height, 2, Width - 8, 24), TestRed, "right half");
    }
    {
        // Two hooks: the second inverts what the first gave it, the left half comes back.
        std::string output = dir.File("twice.avi");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(RunWithHooks(job, {INVERT_HOOK_PATH, std::string(INVERT_HOOK_PATH) + " left"}, output))
            << job.ErrorMessage();
        std::string rgb = DecodedRgb(dir, output);
        ExpectNear(PixelAt(rgb, Width, Height, 8, 8, 24), TestBlue, "left half, inverted twice");
        ExpectNear(PixelAt(rgb, Width, Height, 8, Width - 8, 24), Inverted(TestBlue), "right half, inverted once");
    }
}

TEST(FrameHook, ModulesThatCannotBeUsedRaiseTheOptionsMessageWithTheReasonInTheLog) {
    const struct {
        std::string Argument;
        const char* Logged;
    } cases[] = {
        {"/nonexistent/folder/hook.so", "/nonexistent/folder/hook.so"},
        {std::string(INVERT_HOOK_PATH) + " fail", "Failed to Configure"},
        {PROCESSLESS_HOOK_PATH, "Failed to find Process entrypoint in"},
        {std::string(CONFIGURELESS_HOOK_PATH) + " left", "Failed to find Configure entrypoint in"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Argument);
        TLogCapture log;
        TCustomFFmpeg job(1);
        try {
            job.ApplyOption("vhook", c.Argument);
            ADD_FAILURE() << "accepted";
        } catch (const FFmpegException& e) {
            EXPECT_EQ(std::string(e.what()), "Failed to add video hook function: " + c.Argument);
        }
        EXPECT_TRUE(log.Contains(c.Logged));
    }
    // Without arguments a module needs no Configure.
    TCustomFFmpeg job(1);
    EXPECT_NO_THROW(job.ApplyOption("vhook", CONFIGURELESS_HOOK_PATH));
}

TEST(FrameHook, CopiedVideoCannotBeHooked) {
    TTempDir dir;
    std::string source = dir.File("source.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 5 -c:v mpeg4 '" + source + "'",
               &status);
    ASSERT_EQ(status, 0);
    TCustomFFmpeg job(1);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    job.ApplyOption("vhook", INVERT_HOOK_PATH);
    job.ApplyOption("vcodec", "copy");
    ASSERT_GE(job.OpenOutputFile(dir.File("copy.avi")), 0) << job.LastError;
    EXPECT_FALSE(job.Execute());
    EXPECT_EQ(job.ErrorMessage(), "-vcodec copy and -vhook are incompatible (frames are not decoded)");
}

TEST(FrameHook, ModuleFolderIsCurrentWhileConfiguringAndTheFormerOneComesBack) {
    TTempDir dir;
    const std::filesystem::path root = std::filesystem::path(dir.File("")).parent_path();
    FolderHookIn(root / "modules" / "a", "alpha");
    // A settings file in the folder the job starts in must not be the one the module reads.
    std::ofstream(root / "hook-settings.txt") << "beta\n";
    TCurrentFolder inDir(root);
    const auto start = std::filesystem::current_path();
    const struct {
        std::string Argument;
        int Result;
    } cases[] = {
        // A path relative to the starting folder: it must still name the module once its own
        // folder is current.
        {"modules/a/folderhook.so alpha", 0},
        {"./modules/a/../a/folderhook.so alpha", 0},
        {(root / "modules/a/folderhook.so").string() + " alpha", 0},
        // Refused by Configure: the word in the module's folder is another one.
        {"modules/a/folderhook.so beta", AVERROR(EINVAL)},
        // Neither loaded nor configured.
        {"modules/none/folderhook.so alpha", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Argument);
        TFrameHooks hooks;
        EXPECT_EQ(hooks.Add(c.Argument), c.Result);
        EXPECT_EQ(std::filesystem::current_path(), start);
    }
}

TEST(FrameHook, JobsConfiguringHooksAtOnceEachSeeTheirOwnModuleFolder) {
    TTempDir dir;
    const std::filesystem::path root = std::filesystem::path(dir.File("")).parent_path();
    const std::string first = FolderHookIn(root / "one", "one");
    const std::string second = FolderHookIn(root / "two", "two");
    const auto start = std::filesystem::current_path();
    std::atomic<int> refused{0};
    auto configure = [&refused](const std::string& module, const std::string& word) {
        for (int i = 0; i < 25; ++i) {
            TFrameHooks hooks;
            if (hooks.Add(module + " " + word) != 0)
                ++refused;
        }
    };
    std::thread a(configure, first, "one"), b(configure, second, "two");
    a.join();
    b.join();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(std::filesystem::current_path(), start);
}

namespace {
// Transcodes source to a lossless file (ffv1 in nut), through the hooks given.
void TranscodeLossless(const std::string& source, const std::vector<std::string>& hooks, const std::string& output) {
    TCustomFFmpeg job(1);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    for (const std::string& hook : hooks)
        job.ApplyOption("vhook", hook);
    job.ApplyOption("vcodec", "ffv1");
    ASSERT_GE(job.OpenOutputFile(output), 0) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
}

// The decoded pictures' checksums, one line per picture (without ffmpeg's header lines).
std::string FrameChecksums(const std::string& file) {
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:v -f framemd5 - | grep -v '^#'", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

std::string FormatLine(AVPixelFormat format, int width, int height) {
    return "fmt=" + std::to_string(int(format)) + " size=" + std::to_string(width) + "x" + std::to_string(height) +
           "\n";
}
} // namespace

TEST(FrameHook, ModulesGetTheDecodedPictureInItsOwnFormatAndWhatTheyKeepIsEncodedBitExact) {
    TTempDir dir;
    std::string source = dir.File("source.nut");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 8 -pix_fmt yuv420p "
               "-c:v ffv1 '" + source + "'",
               &status);
    ASSERT_EQ(status, 0);
    std::string plain = dir.File("plain.nut"), kept = dir.File("kept.nut"), formats = dir.File("formats.txt");
    TranscodeLossless(source, {}, plain);
    TranscodeLossless(source, {std::string(INVERT_HOOK_PATH) + " keep format " + formats}, kept);
    EXPECT_EQ(ReadText(formats), FormatLine(AV_PIX_FMT_YUV420P, 64, 48));
    std::string expected = FrameChecksums(plain);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 8);
    EXPECT_EQ(FrameChecksums(kept), expected);

    // The slideshow's frames come as 32-bit BGRA bitmaps.
    TCustomFFmpeg job(1);
    std::string slides = dir.File("slides.txt");
    ASSERT_TRUE(RunWithHooks(job, {std::string(INVERT_HOOK_PATH) + " keep format " + slides}, dir.File("slides.avi")))
        << job.ErrorMessage();
    EXPECT_EQ(ReadText(slides), FormatLine(AV_PIX_FMT_BGRA, Width, Height));
}

TEST(FrameHook, ModuleInvertsPlanarVideoInItsOwnFormat) {
    TTempDir dir;
    std::string source = dir.File("red.nut"), output = dir.File("inverted.nut");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i color=c=0xDC281E:size=64x48:rate=10 -frames:v 4 -pix_fmt yuv420p "
               "-c:v ffv1 '" + source + "'",
               &status);
    ASSERT_EQ(status, 0);
    TranscodeLossless(source, {std::string(INVERT_HOOK_PATH) + " left"}, output);
    std::string rgb = DecodedRgb(dir, output);
    ASSERT_EQ(rgb.size(), std::size_t(4) * 64 * 48 * 3);
    ExpectNear(PixelAt(rgb, 64, 48, 3, 8, 24), Inverted(TestRed), "left half");
    ExpectNear(PixelAt(rgb, 64, 48, 3, 56, 24), TestRed, "right half");
}
