// Presets: the built-in libx264 presets against today's encoder, the codec-name fallback,
// preset files with their line rules, and the three messages of a preset that cannot be used.

#include "engine/FFPtr.h"
#include "engine/FFmpeg.h"
#include "engine/PresetFiles.h"
#include "medialib/FFApi.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
// The preset names users know from the classic preset files.
const char* const Libx264Presets[] = {
    "libx264-baseline",        "libx264-default",          "libx264-fast",
    "libx264-fast_firstpass",  "libx264-faster",           "libx264-faster_firstpass",
    "libx264-fastfirstpass",   "libx264-hq",               "libx264-ipod320",
    "libx264-ipod640",         "libx264-lossless_fast",    "libx264-lossless_max",
    "libx264-lossless_medium", "libx264-lossless_slow",    "libx264-lossless_slower",
    "libx264-lossless_ultrafast", "libx264-main",          "libx264-max",
    "libx264-medium",          "libx264-medium_firstpass", "libx264-normal",
    "libx264-placebo",         "libx264-placebo_firstpass", "libx264-slow",
    "libx264-slow_firstpass",  "libx264-slower",           "libx264-slower_firstpass",
    "libx264-slowfirstpass",   "libx264-superfast",        "libx264-superfast_firstpass",
    "libx264-ultrafast",       "libx264-ultrafast_firstpass", "libx264-veryfast",
    "libx264-veryfast_firstpass", "libx264-veryslow",      "libx264-veryslow_firstpass",
};

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// libx264 writes the settings it encoded with into the stream ("options: cabac=1 ref=3 ...").
std::string X264Setting(const std::string& file, const std::string& key) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string data = bytes.str();
    std::size_t at = data.find("options: ");
    if (at == std::string::npos)
        return "(no settings)";
    std::string settings = " " + data.substr(at + 9, data.find('\0', at) - at - 9);
    std::size_t k = settings.find(" " + key + "=");
    if (k == std::string::npos)
        return "(not set)";
    k += key.size() + 2;
    return settings.substr(k, settings.find(' ', k) - k);
}

std::string VideoProfile(const std::string& file) {
    return RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=profile -of csv=p=0 '" + file + "'");
}

// Five small pictures into FILE with the options given before the output.
bool Encode(TCustomFFmpeg& job, const std::string& file,
            std::initializer_list<std::pair<const char*, const char*>> options, int frames = 5) {
    EXPECT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, frames))) << job.LastError;
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    EXPECT_EQ(job.OpenOutputFile(file), 1) << job.LastError;
    bool ok = job.Execute();
    EXPECT_TRUE(ok) << job.ErrorMessage();
    return ok;
}
} // namespace

// Each line of every built-in preset names an option today's libx264 encoder has and a value it
// takes, and every preset encodes.
TEST(EnginePresets, EveryBuiltinLibx264PresetIsValidAndEncodes) {
    const AVCodec* x264 = ff::avcodec_find_encoder_by_name("libx264");
    ASSERT_NE(x264, nullptr);
    TTempDir dir;
    for (const char* name : Libx264Presets) {
        SCOPED_TRACE(name);
        const char* text = BuiltinPresetText(name);
        ASSERT_NE(text, nullptr);
        TCodecContextPtr ctx(ff::avcodec_alloc_context3(x264));
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::size_t eq = line.find('=');
            ASSERT_NE(eq, std::string::npos) << line;
            EXPECT_GE(ff::av_opt_set(ctx.get(), line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(),
                                     AV_OPT_SEARCH_CHILDREN), 0)
                << line;
        }

        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        std::string out = dir.File(std::string(name) + ".mp4");
        if (!Encode(job, out, {{"vcodec", "libx264"}, {"vpre", name}}))
            continue;
        TProbe probe = ProbeVideo(out);
        EXPECT_EQ(probe.Codec, "h264");
        EXPECT_EQ(probe.Packets, 5);
    }
}

TEST(EnginePresets, PresetsReachTheEncoder) {
    TTempDir dir;
    struct TCase {
        const char* Preset;
        const char* Profile;
        std::vector<std::pair<const char*, const char*>> Settings;
    };
    const TCase cases[] = {
        // Only the 8x8 transform off: Main instead of High.
        {"libx264-main", "Main\n", {{"8x8dct", "0"}, {"cabac", "1"}}},
        {"libx264-baseline", "Constrained Baseline\n", {{"cabac", "0"}, {"bframes", "0"}, {"8x8dct", "0"}}},
        {"libx264-hq", "High\n", {{"me", "umh"}, {"subme", "8"}, {"ref", "4"}, {"direct", "3"}, {"qpmin", "10"}}},
        {"libx264-ultrafast", "Constrained Baseline\n", {{"deblock", "0:0:0"}, {"me", "dia"}, {"aq", "0"}}},
        // The partition list is what P frames search (i4x4, p8x8 and p4x4 here).
        {"libx264-lossless_medium", "High 4:4:4 Predictive\n", {{"qp", "0"}, {"analyse", "0x3:0x31"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Preset);
        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        std::string out = dir.File(std::string(c.Preset) + ".mp4");
        if (!Encode(job, out, {{"vcodec", "libx264"}, {"vpre", c.Preset}}))
            continue;
        EXPECT_EQ(VideoProfile(out), c.Profile);
        for (const auto& [key, value] : c.Settings)
            EXPECT_EQ(X264Setting(out, key), value) << key;
    }
}

TEST(EnginePresets, ValueIsLookedUpAfterTheChosenCodecAndWithoutRegardToCase) {
    TTempDir dir;
    {
        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        std::string out = dir.File("default.mp4");
        ASSERT_TRUE(Encode(job, out, {{"vcodec", "libx264"}, {"vpre", "default"}}));
        EXPECT_EQ(X264Setting(out, "qpmin"), "10"); // libx264 alone starts at 0
        EXPECT_EQ(X264Setting(out, "b_pyramid"), "2");
    }
    {
        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        std::string out = dir.File("main.mp4");
        ASSERT_TRUE(Encode(job, out, {{"vcodec", "libx264"}, {"vpre", "MAIN"}}));
        EXPECT_EQ(VideoProfile(out), "Main\n");
    }
    // Without a video codec there is nothing to put in front of the name.
    TCustomFFmpeg job(1);
    EXPECT_EQ(OptionError(job, "vpre", "default"), "Preset \"default\" not found");
    // The codec of the preset's kind counts, not another one's.
    job.ApplyOption("acodec", "libx264");
    EXPECT_EQ(OptionError(job, "vpre", "main"), "Preset \"main\" not found");
    // "fpre" always names a file.
    EXPECT_EQ(OptionError(job, "fpre", "libx264-main"), "Preset \"libx264-main\" not found");
}

// A preset file with comments, blank lines and foreign line ends that also picks the codec.
TEST(EnginePresets, PresetFileSetsCodecAndOptions) {
    TTempDir dir;
    std::string preset = dir.File("small.ffpreset");
    // Windows line ends, and one of the old Macintosh kind (a lone CR) before "bf".
    WriteFile(preset, "\xEF\xBB\xBF# short gops for cutting\r\n\r\n  vcodec=mpeg4  \r\n\t# keyframes\r\ng = 4\r"
                      "bf=0\r\n\r\n");
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    std::string out = dir.File("cut.mkv");
    ASSERT_TRUE(Encode(job, out, {{"fpre", preset.c_str()}}, 10));
    EXPECT_EQ(ProbeVideo(out).Codec, "mpeg4");
    std::string keys = RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" +
                                  out + "'");
    EXPECT_EQ(keys, "K_\n__\n__\n__\nK_\n__\n__\n__\nK_\n__\n");
}

TEST(EnginePresets, PresetPathInTheHomeFolder) {
    TTempDir dir;
    const char* oldHome = std::getenv("HOME");
    std::string saved = oldHome ? oldHome : "";
    // As HOME is usually written: without a slash at the end.
    std::filesystem::create_directory(dir.File("home"));
    setenv("HOME", dir.File("home").c_str(), 1);
    WriteFile(dir.File("home/mine.ffpreset"), "vcodec=mpeg4\n");
    TCustomFFmpeg job(1);
    std::string error = OptionError(job, "vpre", "~/mine.ffpreset");
    if (oldHome)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
    EXPECT_EQ(error, "(accepted)");
    EXPECT_EQ(job.Settings().VideoCodecName, "mpeg4");
}

TEST(EnginePresets, UnusablePresetsRaiseTheirMessages) {
    TTempDir dir;
    TCustomFFmpeg job(1);
    std::string missing = dir.File("missing.ffpreset");
    EXPECT_EQ(OptionError(job, "fpre", missing), "Preset \"" + missing + "\" not found");
    EXPECT_EQ(OptionError(job, "fpre", dir.File("")), "Preset \"" + dir.File("") + "\" not found");

    std::string syntax = dir.File("syntax.ffpreset");
    for (const char* line : {"bf", "=3", "bf="}) {
        WriteFile(syntax, std::string("g=12\n") + line + "\n");
        EXPECT_EQ(OptionError(job, "spre", syntax), syntax + ": Invalid syntax: \"" + line + "\"");
    }

    std::string unknown = dir.File("unknown.ffpreset");
    WriteFile(unknown, "# the option name is misspelt\nbitrat = 500000\n");
    EXPECT_EQ(OptionError(job, "apre", unknown), "Unrecognized option \"bitrat\"\r\n" + unknown +
                                                 ": Invalid option or argument: \"bitrat = 500000\", parsed as "
                                                 "\"bitrat\" = \"500000\"");
    std::string badValue = dir.File("value.ffpreset");
    WriteFile(badValue, "g=many\n");
    EXPECT_EQ(OptionError(job, "vpre", badValue), "Invalid value \"many\" for option \"g\"\r\n" + badValue +
                                                  ": Invalid option or argument: \"g=many\", parsed as \"g\" = "
                                                  "\"many\"");
    // An empty preset sets nothing, and says nothing.
    std::string empty = dir.File("empty.ffpreset");
    WriteFile(empty, "");
    EXPECT_EQ(OptionError(job, "fpre", empty), "(accepted)");
    // Without the raise flag a rejected line is passed over and the rest still applies.
    WriteFile(unknown, "bitrat=500000\nvcodec=mpeg4\n");
    job.RaiseOnOptionError = false;
    EXPECT_EQ(OptionError(job, "fpre", unknown), "(accepted)");
    EXPECT_EQ(job.Settings().VideoCodecName, "mpeg4");
}

// The video preset field of the output record, as the encoder component applies it.
TEST(EnginePresets, OutputRecordPresetFollowsItsCodec) {
    TTempDir dir;
    TFFmpeg job(1);
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 5))) << job.LastError;
    TOutputOptions out;
    out.VideoCodec = "libx264";
    out.VideoPreset = "main";
    out.FrameRate = "25/1";
    job.ApplyOutputOptions(out);
    std::string file = dir.File("record.mp4");
    ASSERT_EQ(job.OpenOutputFile(file), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    EXPECT_EQ(VideoProfile(file), "Main\n");
}
