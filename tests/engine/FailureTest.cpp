// Runs that must not lose a file or report success for nothing: the input as output, outputs
// without a packet, a disk that fills up, option values that would write nothing.

#include "tests/engine/EngineTestSupport.h"
#include "medialib/InputFormatRegistry.h"
#include "medialib/UnicodeProtocol.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {
std::string MakeClip(const TTempDir& dir, const std::string& name, int frames) {
    std::string file = dir.File(name);
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v " + std::to_string(frames) +
                   " -c:v mpeg4 '" + file + "'",
               &status);
    EXPECT_EQ(status, 0);
    return file;
}

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST(EngineFailure, OutputThatIsTheInputIsRefusedBeforeItIsOpened) {
    TTempDir dir;
    const std::string clip = MakeClip(dir, "clip.avi", 10);
    const std::string before = Contents(clip);
    fs::create_directory(dir.File("sub"));
    fs::create_symlink(clip, dir.File("link.avi"));
    fs::create_hard_link(clip, dir.File("hard.avi"));
    for (const std::string& output : {clip, dir.File("sub/../clip.avi"), dir.File("link.avi"), dir.File("hard.avi")}) {
        SCOPED_TRACE(output);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(clip)) << job.LastError;
        job.ApplyOption("vcodec", "mpeg4");
        EXPECT_EQ(job.OpenOutputFile(output), -1);
        EXPECT_NE(job.LastError.find("is the input file"), std::string::npos) << job.LastError;
    }
    EXPECT_EQ(Contents(clip), before);

    TCustomFFmpeg folder(1);
    ASSERT_TRUE(folder.OpenInputFile(clip));
    EXPECT_EQ(folder.OpenOutputFile(dir.File("sub")), -1);
    fs::create_directory(dir.File("sub.mp4"));
    EXPECT_EQ(folder.OpenOutputFile(dir.File("sub.mp4")), -1);
    EXPECT_NE(folder.LastError.find("is a folder"), std::string::npos) << folder.LastError;
}

TEST(EngineFailure, OutputWithoutAPacketFailsAndIsRemoved) {
    TTempDir dir;
    const std::string clip = MakeClip(dir, "clip.avi", 25); // one second
    const std::vector<std::pair<std::string, std::string>> cases[] = {
        {{"ss", "5"}},      // a start past the end
        {{"vframes", "0"}}, // no frame allowed
    };
    for (const auto& options : cases) {
        SCOPED_TRACE(options[0].first);
        TLogCapture log;
        const std::string out = dir.File("empty.mp4");
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(clip)) << job.LastError;
        job.ApplyOption("vcodec", "mpeg4");
        for (const auto& [name, value] : options)
            job.ApplyOption(name, value);
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        EXPECT_FALSE(job.Execute());
        EXPECT_EQ(job.ErrorMessage(), "Output file is empty, nothing was encoded");
        EXPECT_FALSE(fs::exists(out));
        EXPECT_TRUE(log.Contains("no frame was written into it"));
    }

    // An input that fails at its first read ends the same way, without a file behind.
    TCustomFFmpeg failing(1);
    failing.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(failing.OpenInputFile(TestFramesName(64, 48, 25, 0, AVERROR(EIO))));
    failing.ApplyOption("vcodec", "mpeg4");
    ASSERT_EQ(failing.OpenOutputFile(dir.File("never.mp4")), 1);
    EXPECT_FALSE(failing.Execute());
    EXPECT_FALSE(fs::exists(dir.File("never.mp4")));
}

TEST(EngineFailure, FileWhoseEndCannotBeWrittenIsRemovedWithTheReason) {
    TTempDir dir;
    // A file size limit stands in for a full disk: writes beyond it fail with EFBIG.
    struct sigaction ignore{}, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    TLogCapture log;
    const std::string out = dir.File("full.mp4");
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(320, 240, 25, 50)));
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("vb", "4000000");
    ASSERT_EQ(job.OpenOutputFile(out), 1);
    rlimit small = saved;
    small.rlim_cur = 60000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = job.Execute();
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_NE(job.ErrorMessage().find("File too large"), std::string::npos) << job.ErrorMessage();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(log.Contains("could not be written"));
}

namespace {
// An output as the muxer leaves it after its header and some packets: part of it on disk, the
// rest still in the I/O buffer for the last flush.
std::unique_ptr<TOutputFile> WrittenOutput(const std::string& file) {
    AVFormatContext* oc = nullptr;
    EXPECT_GE(ff::avformat_alloc_output_context2(&oc, nullptr, "mpegts", file.c_str()), 0);
    auto out = std::make_unique<TOutputFile>(oc);
    out->FileName = file;
    EXPECT_EQ(OpenFileIO(&oc->pb, file.c_str(), AVIO_FLAG_WRITE), 0);
    const std::vector<unsigned char> packets(188 * 20, 0x47);
    ff::avio_write(oc->pb, packets.data(), int(packets.size()));
    ff::avio_flush(oc->pb);
    ff::avio_write(oc->pb, packets.data(), int(packets.size()));
    out->HeaderWritten = out->TrailerWritten = true;
    out->PacketsWritten = 40;
    return out;
}
} // namespace

// Either fault alone leaves a file that would not play: a trailer the muxer could not write, or
// the last buffered bytes refused by a full disk after a trailer that went through.
TEST(EngineFailure, FileWhoseTrailerOrLastFlushAloneFailedIsRemoved) {
    TTempDir dir;
    {
        const std::string file = dir.File("whole.ts");
        WrittenOutput(file)->Close();
        EXPECT_EQ(fs::file_size(file), 188u * 40) << "a file that plays is kept";
    }
    {
        TLogCapture log;
        const std::string file = dir.File("trailer.ts");
        auto out = WrittenOutput(file);
        out->TrailerFailed = true;
        out->Close();
        EXPECT_FALSE(fs::exists(file));
        EXPECT_TRUE(log.Contains("its end could not be written"));
    }
    {
        TLogCapture log;
        const std::string file = dir.File("flush.ts");
        auto out = WrittenOutput(file);
        ASSERT_EQ(fs::file_size(file), 188u * 20);
        // A file size limit between what is on disk and what the flush adds stands in for a full disk.
        struct sigaction ignore{}, previous{};
        ignore.sa_handler = SIG_IGN;
        ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 188 * 30;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        out->Close();
        setrlimit(RLIMIT_FSIZE, &saved);
        sigaction(SIGXFSZ, &previous, nullptr);
        EXPECT_FALSE(fs::exists(file));
        EXPECT_TRUE(log.Contains("File too large"));
    }
}

TEST(EngineFailure, ValuesThatWouldWriteNothingAreRefused) {
    const struct {
        const char* Name;
        const char* Value;
        const char* Message;
    } cases[] = {
        {"t", "-1", "Option \"t\" must not be negative"},
        {"vframes", "-1", "Option \"vframes\" must not be negative"},
        {"aframes", "-3", "Option \"aframes\" must not be negative"},
        {"map", "x", "Invalid stream map \"x\": expected file.stream"},
        {"map", "0", "Invalid stream map \"0\": expected file.stream"},
        {"map", "0:0:", "Invalid stream map \"0:0:\": expected file.stream"},
        {"r", "1000000", "Frame rate 1000000 is too high: at most 1000 frames a second"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name + std::string(" ") + c.Value);
        TCustomFFmpeg job(1);
        try {
            job.ApplyOption(c.Name, c.Value);
            ADD_FAILURE() << "accepted";
        } catch (const FFmpegException& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
    TCustomFFmpeg job(1);
    EXPECT_NO_THROW(job.ApplyOption("map", "0.1"));
    EXPECT_NO_THROW(job.ApplyOption("r", "1000"));
}

TEST(EngineFailure, NegativeInputStartDoesNotStretchTheOutput) {
    TTempDir dir;
    const std::string clip = MakeClip(dir, "clip.avi", 25);
    TCustomFFmpeg job(1);
    job.ApplyOption("ss", "-5");
    ASSERT_TRUE(job.OpenInputFile(clip)) << job.LastError;
    job.ApplyOption("vcodec", "mpeg4");
    ASSERT_EQ(job.OpenOutputFile(dir.File("out.mp4")), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    TProbe p = ProbeVideo(dir.File("out.mp4"));
    EXPECT_EQ(p.Packets, 25);
    EXPECT_NEAR(p.Duration, 1.0, 0.05);
}

TEST(EngineFailure, InputWithoutKnownStreamsIsRefused) {
    TTempDir dir;
    // An MPEG transport stream header with a program but no stream data.
    const std::string clip = MakeClip(dir, "clip.ts", 5);
    std::string head = Contents(clip).substr(0, 188 * 2);
    std::ofstream(dir.File("head.ts"), std::ios::binary) << head;
    TCustomFFmpeg job(1);
    EXPECT_FALSE(job.OpenInputFile(dir.File("head.ts")));
    EXPECT_NE(job.LastError.find("head.ts"), std::string::npos) << job.LastError;
}

TEST(EngineFailure, CommandLineTranscodeSaysWhatWentWrongOnce) {
    TTempDir dir;
    const std::string clip = MakeClip(dir, "clip.avi", 25);
    const std::string before = Contents(clip);
    const std::string cli = std::string(CliPath()) + " transcode '" + clip + "' ";

    TRunResult same = RunShell(cli + "'" + clip + "' -vcodec mpeg4");
    EXPECT_EQ(same.Status, 1);
    EXPECT_NE(same.Output.find("is the input file"), std::string::npos) << same.Output;
    EXPECT_EQ(Contents(clip), before);

    const std::string out = dir.File("out.mp4");
    TRunResult missing = RunShell(cli + "'" + out + "' -vcodec");
    EXPECT_NE(missing.Status, 0);
    EXPECT_NE(missing.Output.find("Missing argument for option \"vcodec\""), std::string::npos) << missing.Output;
    EXPECT_FALSE(fs::exists(out));

    TRunResult late = RunShell(cli + "'" + out + "' -vcodec mpeg4 -ss 5");
    EXPECT_EQ(late.Status, 1);
    const std::string text = "Output file is empty, nothing was encoded";
    const std::size_t first = late.Output.find(text);
    ASSERT_NE(first, std::string::npos) << late.Output;
    EXPECT_EQ(late.Output.find(text, first + 1), std::string::npos) << "printed twice:\n" << late.Output;
    EXPECT_FALSE(fs::exists(out));

    // A switch at the end needs no value.
    TRunResult plain = RunShell(cli + "'" + out + "' -vcodec mpeg4 -an");
    EXPECT_EQ(plain.Status, 0) << plain.Output;
    EXPECT_EQ(ProbeVideo(out).Packets, 25);
}

TEST(EngineFailure, EncoderRefusalsNameTheirReason) {
    TTempDir dir;
    // Sides the MPEG-4 headers cannot hold: refused when the output is opened, before any file.
    TCustomFFmpeg wide(1);
    wide.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(wide.OpenInputFile(TestFramesName(64, 48, 25, 3)));
    wide.ApplyOption("vcodec", "mpeg4");
    wide.ApplyOption("s", "8192x64");
    EXPECT_EQ(wide.OpenOutputFile(dir.File("wide.mp4")), -1);
    EXPECT_NE(wide.LastError.find("8192x64 is too large for the mpeg4 encoder"), std::string::npos) << wide.LastError;
    EXPECT_FALSE(fs::exists(dir.File("wide.mp4")));

    // An encoder that refuses to open says why, even with the log level at quiet; the output
    // made for it is removed.
    TCustomFFmpeg odd(1);
    odd.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(odd.OpenInputFile(TestFramesName(64, 48, 25, 3)));
    odd.ApplyOption("vcodec", "libx264");
    odd.ApplyOption("s", "63x48");
    ASSERT_EQ(odd.OpenOutputFile(dir.File("odd.mp4")), 1) << odd.LastError;
    EXPECT_FALSE(odd.Execute());
    EXPECT_NE(odd.ErrorMessage().find("Error while opening encoder libx264"), std::string::npos) << odd.ErrorMessage();
    EXPECT_NE(odd.ErrorMessage().find("width not divisible by 2"), std::string::npos) << odd.ErrorMessage();
    EXPECT_FALSE(fs::exists(dir.File("odd.mp4")));
}

TEST(EngineFailure, AHeaderThatCannotBeWrittenNamesTheSystemsCause) {
    // mp4 and mov write their first bytes with the header; /dev/full refuses every write.
    for (const char* format : {"mp4", "mov"}) {
        SCOPED_TRACE(format);
        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 10)));
        job.ApplyOption("f", format);
        job.ApplyOption("vcodec", "mpeg4");
        ASSERT_EQ(job.OpenOutputFile("/dev/full"), 1);
        EXPECT_FALSE(job.Execute());
        EXPECT_EQ(job.ErrorMessage(), "/dev/full: No space left on device");
    }
}
