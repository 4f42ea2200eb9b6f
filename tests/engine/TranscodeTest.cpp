// Whole runs: real files written by the engine and read back with ffprobe.

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/RunCommand.h"
#include "medialib/InputFormatRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
struct TRun {
    std::string Input;           // file name (or test frames description)
    bool Virtual = true;
    std::vector<std::pair<std::string, std::string>> Options;
    std::string Output;
};

// Opens, applies the output options, runs; fails the test on any open error.
bool Transcode(TCustomFFmpeg& job, const TRun& run) {
    if (run.Virtual)
        job.ApplyOption("f", TestFramesFormat);
    if (!job.OpenInputFile(run.Input)) {
        ADD_FAILURE() << "input: " << job.LastError;
        return false;
    }
    for (const auto& [name, value] : run.Options)
        job.ApplyOption(name, value);
    if (job.OpenOutputFile(run.Output) < 0) {
        ADD_FAILURE() << "output: " << job.LastError;
        return false;
    }
    return job.Execute();
}
} // namespace

TEST(EngineTranscode, EachContainerGetsItsCodecSizeRateAndEveryFrame) {
    TTempDir dir;
    const struct {
        const char* Extension;
        const char* VideoCodec; // empty: the container's default
        const char* Expected;
        bool Reorders; // B-frames: the encoder holds pictures back until it is drained
    } containers[] = {
        {"mp4", "mpeg4", "mpeg4", true}, {"swf", "", "flv1", false}, {"flv", "", "flv1", false},
        {"wmv", "wmv2", "wmv2", false},  {"mov", "mpeg4", "mpeg4", false},
    };
    for (const auto& c : containers) {
        SCOPED_TRACE(c.Extension);
        TCustomFFmpeg job(1);
        TRun run{TestFramesName(128, 96, 30, 12), true, {{"r", "30/1"}, {"s", "96x64"}, {"vb", "400000"}},
                 dir.File(std::string("slideshow.") + c.Extension)};
        if (*c.VideoCodec)
            run.Options.insert(run.Options.begin(), {"vcodec", c.VideoCodec});
        if (c.Reorders)
            run.Options.push_back({"bf", "2"});
        ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
        EXPECT_TRUE(job.Finished());
        TProbe p = ProbeVideo(run.Output);
        EXPECT_EQ(p.Codec, c.Expected);
        EXPECT_EQ(p.Width, 96);
        EXPECT_EQ(p.Height, 64);
        EXPECT_EQ(p.FrameRate, "30/1");
        EXPECT_EQ(p.Packets, 12);
        if (std::string(c.Extension) != "swf") { // its reader reports no duration
            EXPECT_NEAR(p.Duration, 0.4, 0.05);
        }
        EXPECT_EQ(DecodeErrors(run.Output), "");
    }
}

TEST(EngineTranscode, OrdinaryFileIsScaledOrCopied) {
    TTempDir dir;
    std::string source = dir.File("source.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=128x96:rate=25 -frames:v 20 -c:v mpeg4 '" + source +
                   "'",
               &status);
    ASSERT_EQ(status, 0);

    // With B-frames the encoder still holds the last pictures when the input ends.
    TCustomFFmpeg scaled(1);
    TRun run{source, false, {{"vcodec", "mpeg4"}, {"s", "64x48"}, {"r", "25"}, {"bf", "2"}}, dir.File("scaled.mp4")};
    ASSERT_TRUE(Transcode(scaled, run)) << scaled.ErrorMessage();
    TProbe p = ProbeVideo(run.Output);
    EXPECT_EQ(p.Width, 64);
    EXPECT_EQ(p.Height, 48);
    EXPECT_EQ(p.FrameRate, "25/1");
    EXPECT_EQ(p.Packets, 20);
    EXPECT_EQ(DecodeErrors(run.Output), "");

    TCustomFFmpeg copied(1);
    TRun copy{source, false, {{"vcodec", "copy"}}, dir.File("copied.mkv")};
    ASSERT_TRUE(Transcode(copied, copy)) << copied.ErrorMessage();
    p = ProbeVideo(copy.Output);
    EXPECT_EQ(p.Codec, "mpeg4");
    EXPECT_EQ(p.Width, 128);
    EXPECT_EQ(p.Packets, 20);
    EXPECT_NEAR(p.Duration, 0.8, 0.05);
    EXPECT_EQ(DecodeErrors(copy.Output), "");
}

namespace {
// Which test picture each frame of a file shows: the pictures of the moving gradient carry
// their number in red (16 per picture), read back from one averaged pixel per frame.
std::vector<int> ShownPictures(const std::string& file) {
    const std::string rgb =
        RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -vf scale=1:1 -f rawvideo -pix_fmt rgb24 -");
    std::vector<int> shown;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        shown.push_back((std::uint8_t(rgb[i]) + 8) / 16);
    return shown;
}

// Presentation (or decode) times of the first video stream's packets, in seconds, as written.
std::string PacketTimes(const std::string& file, const char* entry = "pts_time") {
    return RunCommand(std::string("ffprobe -v error -select_streams v:0 -show_entries packet=") + entry +
                      " -of csv=p=0 '" + file + "'");
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
} // namespace

TEST(EngineTranscode, ConstantRateOutputDuplicatesAndDropsPictures) {
    TTempDir dir;
    // 10 pictures at 15/s into 30/s: the first is written once, every later one fills the gap
    // up to it, so the output covers the input's time.
    TCustomFFmpeg slow(1);
    TRun up{TestFramesName(64, 48, 15, 10), true, {{"vcodec", "mpeg4"}, {"r", "30"}}, dir.File("up.mp4")};
    ASSERT_TRUE(Transcode(slow, up)) << slow.ErrorMessage();
    EXPECT_EQ(ProbeVideo(up.Output).Packets, 18);

    // 20 pictures at 60/s into 30/s: about every other picture is dropped.
    TCustomFFmpeg fast(1);
    TRun down{TestFramesName(64, 48, 60, 20), true, {{"vcodec", "mpeg4"}, {"r", "30"}}, dir.File("down.mp4")};
    ASSERT_TRUE(Transcode(fast, down)) << fast.ErrorMessage();
    int frames = ProbeVideo(down.Output).Packets;
    EXPECT_GE(frames, 10);
    EXPECT_LE(frames, 11);

    // 10 pictures at 10/s into 25/s: picture k belongs at output frame 2.5 k. Each picture
    // fills the gap up to its place, the count of copies rounded (exact halves to even): 1, 2, 2,
    // 2, 3, 2, 3, 2, 3, 2 copies.
    TCustomFFmpeg uneven(1);
    TRun ratio{TestFramesName(32, 32, 10, 10), true,
               {{"vcodec", "mpeg4"}, {"r", "25"}, {"vsync", "1"}, {"qscale", "2"}}, dir.File("ratio.mp4")};
    ASSERT_TRUE(Transcode(uneven, ratio)) << uneven.ErrorMessage();
    const std::vector<int> shown = ShownPictures(ratio.Output);
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 6, 7, 7, 8, 8, 8, 9, 9}));

    // vframes caps the output.
    TCustomFFmpeg capped(1);
    TRun cap{TestFramesName(64, 48, 30, 20), true, {{"vcodec", "mpeg4"}, {"r", "30"}, {"vframes", "7"}},
             dir.File("cap.mp4")};
    ASSERT_TRUE(Transcode(capped, cap)) << capped.ErrorMessage();
    EXPECT_EQ(ProbeVideo(cap.Output).Packets, 7);
}

TEST(EngineTranscode, InputErrorHalfWayEndsTheVideoWithAValidFile) {
    TTempDir dir;
    TCustomFFmpeg job(1);
    TRun run{TestFramesName(64, 48, 30, 9, AVERROR(EIO)), true, {{"vcodec", "mpeg4"}, {"r", "30"}},
             dir.File("short.mp4")};
    ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
    EXPECT_EQ(ProbeVideo(run.Output).Packets, 9);
    EXPECT_EQ(DecodeErrors(run.Output), "");
}

TEST(EngineTranscode, FailureOrStopHalfWayLeavesAPlayableFile) {
    TTempDir dir;
    TCustomFFmpeg failing(1);
    failing.ProgressInterval = 0;
    failing.OnProgress = [](TCustomFFmpeg&, const TProgressInfo& info) {
        if (info.FrameNumber >= 5)
            throw FFmpegException("the slideshow picture cannot be loaded");
    };
    TRun run{TestFramesName(64, 48, 30, 30), true, {{"vcodec", "mpeg4"}, {"r", "30"}}, dir.File("failed.mp4")};
    EXPECT_FALSE(Transcode(failing, run));
    EXPECT_TRUE(failing.Failed());
    EXPECT_EQ(failing.ErrorMessage(), "the slideshow picture cannot be loaded");
    EXPECT_EQ(ProbeVideo(run.Output).Packets, 5);
    EXPECT_EQ(DecodeErrors(run.Output), "");

    TCustomFFmpeg stopped(1);
    stopped.ProgressInterval = 0;
    stopped.OnProgress = [](TCustomFFmpeg& job, const TProgressInfo& info) {
        if (info.FrameNumber >= 4)
            job.StopJob();
    };
    run.Output = dir.File("stopped.mov");
    EXPECT_TRUE(Transcode(stopped, run));
    EXPECT_FALSE(stopped.Finished());
    EXPECT_FALSE(stopped.Failed());
    EXPECT_EQ(ProbeVideo(run.Output).Packets, 4);
    EXPECT_EQ(DecodeErrors(run.Output), "");
}

TEST(EngineTranscode, ProgressReportsFramesAndAFinalReport) {
    TTempDir dir;
    TCustomFFmpeg job(1);
    job.ProgressInterval = 0;
    int reports = 0;
    TProgressInfo last;
    job.OnProgress = [&](TCustomFFmpeg&, const TProgressInfo& info) {
        ++reports;
        last = info;
    };
    TRun run{TestFramesName(64, 48, 30, 6), true, {{"vcodec", "mpeg4"}, {"r", "30"}}, dir.File("p.mp4")};
    ASSERT_TRUE(Transcode(job, run));
    EXPECT_GE(reports, 2);
    EXPECT_TRUE(last.Final);
    EXPECT_EQ(last.CurrentInput, -1);
    EXPECT_EQ(last.FrameNumber, 6);
    EXPECT_GT(last.CurrentSize, 0);
}

TEST(EngineTranscode, HeldPicturesAreEncodedAndTheNextPictureReplacesThem) {
    TTempDir dir;
    TCustomFFmpeg job(1);
    // Three red, three blue, three red pictures.
    TRun run{TestFramesName(64, 48, 25, 9, AVERROR_EOF, 3), true, {{"vcodec", "mpeg4"}, {"r", "25"}, {"qscale", "2"}},
             dir.File("held.mp4")};
    ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
    // One averaged RGB pixel per frame.
    std::string rgb = RunCommand("ffmpeg -nostdin -v error -i '" + run.Output +
                                 "' -vf scale=1:1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(rgb.size(), 27u);
    for (int frame = 0; frame < 9; ++frame) {
        bool red = (frame / 3) % 2 == 0;
        int r = uint8_t(rgb[frame * 3]), b = uint8_t(rgb[frame * 3 + 2]);
        EXPECT_NEAR(r, red ? 220 : 30, 12) << "frame " << frame;
        EXPECT_NEAR(b, red ? 30 : 220, 12) << "frame " << frame;
    }
}

TEST(EngineTranscode, FileNamesOutsideTheLocaleAreReadAndWritten) {
    TTempDir dir;
    std::string source = dir.File("clip-\xC3\xA9t\xC3\xA9.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 5 -c:v mpeg4 '" + source + "'",
               &status);
    ASSERT_EQ(status, 0);
    std::string longer = dir.File("longer-\xC3\xA9t\xC3\xA9.avi");
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 40 -c:v mpeg4 '" + longer + "'",
               &status);
    ASSERT_EQ(status, 0);
    // A longer film first, then the short one over it under the same name: the file must be
    // the short film alone, byte for byte what a fresh file of it holds.
    const std::string name = dir.File("diaporama-\xC3\xA9t\xC3\xA9.mp4");
    TCustomFFmpeg first(1);
    ASSERT_TRUE(Transcode(first, {longer, false, {{"vcodec", "mpeg4"}}, name})) << first.ErrorMessage();
    EXPECT_EQ(ProbeVideo(name).Packets, 40);
    TCustomFFmpeg job(1);
    TRun run{source, false, {{"vcodec", "mpeg4"}}, name};
    ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
    EXPECT_EQ(ProbeVideo(run.Output).Packets, 5);
    TCustomFFmpeg fresh(1);
    TRun plain{source, false, {{"vcodec", "mpeg4"}}, dir.File("fresh.mp4")};
    ASSERT_TRUE(Transcode(fresh, plain)) << fresh.ErrorMessage();
    EXPECT_EQ(std::filesystem::file_size(name), std::filesystem::file_size(plain.Output));
    EXPECT_EQ(DecodeErrors(name), "");
}

TEST(EngineTranscode, CommandLineTranscodeWritesTheFileOrExplainsTheOption) {
    const std::string cli = CliPath();
    TTempDir dir;
    std::string source = dir.File("in.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=128x96:rate=25 -frames:v 10 -c:v mpeg4 '" + source +
                   "'",
               &status);
    ASSERT_EQ(status, 0);
    std::string out = dir.File("out.wmv");
    std::string text = RunCommand(std::string(cli) + " transcode '" + source + "' '" + out +
                                      "' -vcodec wmv2 -s 64x48 -r 25 -an",
                                  &status);
    EXPECT_EQ(status, 0) << text;
    TProbe p = ProbeVideo(out);
    EXPECT_EQ(p.Codec, "wmv2");
    EXPECT_EQ(p.Width, 64);
    EXPECT_EQ(p.Packets, 10);

    text = RunCommand(std::string(cli) + " transcode '" + source + "' '" + out + "' -qscale 300", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(text.find("qscale must be > 0.0 and <= 255"), std::string::npos) << text;
}

TEST(EngineTranscode, RecordingTimeAndOutputStartCutThePictures) {
    TTempDir dir;
    TCustomFFmpeg limited(1);
    TRun cut{TestFramesName(64, 48, 30, 30), true, {{"vcodec", "mpeg4"}, {"r", "30"}, {"t", "0.5"}}, dir.File("t.mp4")};
    ASSERT_TRUE(Transcode(limited, cut)) << limited.ErrorMessage();
    EXPECT_EQ(ProbeVideo(cut.Output).Packets, 15);

    // Given after the input, "ss" is the output start: earlier pictures are not written and
    // output times count from it.
    TCustomFFmpeg late(1);
    TRun start{TestFramesName(64, 48, 30, 30), true, {{"vcodec", "mpeg4"}, {"r", "30"}, {"ss", "0.5"}},
               dir.File("ss.mp4")};
    ASSERT_TRUE(Transcode(late, start)) << late.ErrorMessage();
    TProbe p = ProbeVideo(start.Output);
    EXPECT_EQ(p.Packets, 15);
    EXPECT_NEAR(p.Duration, 0.5, 0.05);
}

TEST(EngineTranscode, StreamCopyFromTheOutputStartCountsTimesFromTheCut) {
    TTempDir dir;
    // Every picture a key frame, 20 per second: the cut at 0.5 s falls on picture 10.
    std::string source = dir.File("intra.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=20 -frames:v 20 -c:v mpeg4 -g 1 '" +
                   source + "'",
               &status);
    ASSERT_EQ(status, 0);
    TCustomFFmpeg job(1);
    TRun run{source, false, {{"vcodec", "copy"}, {"ss", "0.5"}}, dir.File("cut.mkv")};
    ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
    EXPECT_EQ(ProbeVideo(run.Output).Packets, 10);
    EXPECT_EQ(FirstLine(PacketTimes(run.Output, "dts_time")), "0.000000");
    EXPECT_EQ(FirstLine(PacketTimes(run.Output)), "0.000000");
    EXPECT_EQ(DecodeErrors(run.Output), "");
}

TEST(EngineTranscode, InputOffsetDelaysEveryOutputTime) {
    TTempDir dir;
    // An input counting in 25ths of a second, so that the offset must be converted to its time
    // base and not from it.
    std::string source = dir.File("clip.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 10 -c:v mpeg4 '" + source +
                   "'",
               &status);
    ASSERT_EQ(status, 0);
    for (const char* codec : {"copy", "mpeg4"}) {
        SCOPED_TRACE(codec);
        TCustomFFmpeg job(1);
        job.ApplyOption("itsoffset", "1"); // an input option: given before the input opens
        TRun run{source, false, {{"vcodec", codec}}, dir.File(std::string("late-") + codec + ".mkv")};
        ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
        const std::string times = PacketTimes(run.Output);
        EXPECT_EQ(FirstLine(times), "1.000000") << times;
        EXPECT_EQ(ProbeVideo(run.Output).Packets, 10);
    }
}

TEST(EngineTranscode, StreamMapsMustMatchTheOutputStreams) {
    TTempDir dir;
    const struct {
        const char* Maps[2];
        const char* Message;
    } cases[] = {
        {{"0:0", "0:0"}, "Number of stream maps must match number of output streams"},
        {{"0:3", nullptr}, "Could not find input stream #0.3"},
        {{"0:0:1:0", nullptr}, "Could not find sync stream #1.0"},
    };
    for (const auto& c : cases) {
        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 3)));
        for (const char* map : c.Maps)
            if (map)
                job.ApplyOption("map", map);
        job.ApplyOption("vcodec", "mpeg4");
        ASSERT_EQ(job.OpenOutputFile(dir.File("m.mp4")), 1) << job.LastError;
        EXPECT_FALSE(job.Execute());
        EXPECT_EQ(job.ErrorMessage(), c.Message);
    }
}

TEST(EngineTranscode, StreamCopyKeepsTheSourceTagWhereTheContainerAllowsIt) {
    TTempDir dir;
    // A video tag that avi knows for mpeg4 but that is not the container's first choice.
    std::string avi = dir.File("tagged.avi");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 5 -c:v mpeg4 -vtag XVID '" +
                   avi + "'",
               &status);
    ASSERT_EQ(status, 0);
    auto tag = [](const std::string& file) {
        return RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=codec_tag_string -of csv=p=0 '" +
                          file + "'");
    };
    ASSERT_EQ(tag(avi), "XVID\n");

    TCustomFFmpeg sameContainer(1);
    TRun keep{avi, false, {{"vcodec", "copy"}}, dir.File("copy.avi")};
    ASSERT_TRUE(Transcode(sameContainer, keep)) << sameContainer.ErrorMessage();
    EXPECT_EQ(tag(keep.Output), "XVID\n");

    // mp4 has its own tag for mpeg4 and does not know XVID: the container's tag is written.
    TCustomFFmpeg otherContainer(1);
    TRun mp4{avi, false, {{"vcodec", "copy"}}, dir.File("copy.mp4")};
    ASSERT_TRUE(Transcode(otherContainer, mp4)) << otherContainer.ErrorMessage();
    EXPECT_EQ(tag(mp4.Output), "mp4v\n");
}

TEST(EngineTranscode, ChaptersOfTheInputFollowTheOutputStart) {
    TTempDir dir;
    std::string meta = dir.File("chapters.txt");
    RunCommand("printf ';FFMETADATA1\\n[CHAPTER]\\nTIMEBASE=1/1000\\nSTART=0\\nEND=400\\ntitle=Opening\\n"
               "[CHAPTER]\\nTIMEBASE=1/1000\\nSTART=400\\nEND=800\\ntitle=Closing\\n' > '" + meta + "'");
    std::string source = dir.File("chaptered.mkv");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -i '" + meta +
                   "' -map_chapters 1 -frames:v 20 -c:v mpeg4 '" + source + "'",
               &status);
    ASSERT_EQ(status, 0);
    auto chapters = [](const std::string& file) {
        return RunCommand("ffprobe -v error -show_entries chapter=start_time,end_time:chapter_tags=title -of csv=p=0 '" +
                          file + "'");
    };
    TCustomFFmpeg whole(1);
    TRun all{source, false, {{"vcodec", "mpeg4"}}, dir.File("all.mkv")};
    ASSERT_TRUE(Transcode(whole, all)) << whole.ErrorMessage();
    EXPECT_EQ(chapters(all.Output), "0.000000,0.400000,Opening\n0.400000,0.800000,Closing\n");

    // Starting the output at 0.5 s drops the chapter that ended before and moves the other.
    TCustomFFmpeg late(1);
    TRun part{source, false, {{"vcodec", "mpeg4"}, {"ss", "0.5"}}, dir.File("late.mkv")};
    ASSERT_TRUE(Transcode(late, part)) << late.ErrorMessage();
    EXPECT_EQ(chapters(part.Output), "0.000000,0.300000,Closing\n");

    // A recording time of 0.3 s keeps only the first chapter, cut to it.
    TCustomFFmpeg shortRun(1);
    TRun cut{source, false, {{"vcodec", "mpeg4"}, {"t", "0.3"}}, dir.File("cut.mkv")};
    ASSERT_TRUE(Transcode(shortRun, cut)) << shortRun.ErrorMessage();
    EXPECT_EQ(chapters(cut.Output), "0.000000,0.300000,Opening\n");
}

namespace {
// An input like a broadcast stream: one picture stream at the start, and after five pictures a
// second stream that appears while reading, whose packets carry times 10 s ahead.
struct TGrowingInput {
    int Next;
};
constexpr int GrowingWidth = 32, GrowingHeight = 24;

AVStream* AddPictureStream(AVFormatContext* s) {
    AVStream* st = ff::avformat_new_stream(s, nullptr);
    if (st) {
        st->time_base = AVRational{1, 1000000};
        st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        st->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
        st->codecpar->width = GrowingWidth;
        st->codecpar->height = GrowingHeight;
        st->codecpar->format = AV_PIX_FMT_BGRA;
        st->r_frame_rate = st->avg_frame_rate = AVRational{25, 1};
    }
    return st;
}

int GrowingReadHeader(AVFormatContext* s) { return AddPictureStream(s) ? 0 : AVERROR(ENOMEM); }

int GrowingReadPacket(AVFormatContext* s, AVPacket* pkt) {
    auto* g = static_cast<TGrowingInput*>(s->priv_data);
    if (g->Next >= 10)
        return AVERROR_EOF;
    if (g->Next == 5 && !AddPictureStream(s))
        return AVERROR(ENOMEM);
    int size = GrowingWidth * GrowingHeight * 4;
    if (ff::av_new_packet(pkt, size) < 0)
        return AVERROR(ENOMEM);
    std::fill(pkt->data, pkt->data + size, uint8_t(40 * g->Next));
    pkt->stream_index = g->Next < 5 ? 0 : 1;
    pkt->pts = pkt->dts = (g->Next < 5 ? 0 : 10000000) + g->Next * 40000;
    pkt->flags |= AV_PKT_FLAG_KEY;
    ++g->Next;
    return size;
}

int GrowingReadClose(AVFormatContext*) { return 0; }
} // namespace

TEST(EngineTranscode, StreamsFoundWhileReadingAreIgnored) {
    TVirtualInputFormat format;
    format.Name = "growingtest";
    format.LongName = "Growing test input";
    format.PrivDataSize = sizeof(TGrowingInput);
    format.ReadHeader = GrowingReadHeader;
    format.ReadPacket = GrowingReadPacket;
    format.ReadClose = GrowingReadClose;
    ASSERT_TRUE(RegisterInputFormatOnce(format));

    TTempDir dir;
    TCustomFFmpeg job(2);
    job.ApplyOption("f", "growingtest");
    ASSERT_TRUE(job.OpenInputFile("growing")) << job.LastError;
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(GrowingWidth, GrowingHeight, 25, 10))) << job.LastError;
    // One output stream from each input: the second input's pictures must stay its own.
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("r", "25");
    std::string file = dir.File("two.mp4");
    ASSERT_EQ(job.OpenOutputFile(file), 1) << job.LastError;
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("newvideo", "");
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    std::string counts = RunCommand("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" +
                                    file + "'");
    EXPECT_EQ(counts, "5\n10\n");
}

TEST(EngineTranscode, BitstreamFiltersWorkInTheirOwnTimeBase) {
    TTempDir dir;
    // One second of 44.1 kHz sound, cut by the filter into packets of 1024 samples; matroska
    // counts time in milliseconds, the filter in samples.
    std::string source = dir.File("tone.wav");
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=44100 -t 1 -c:a pcm_s16le '" + source + "'",
               &status);
    ASSERT_EQ(status, 0);
    TCustomFFmpeg job(1);
    TRun run{source, false, {{"acodec", "copy"}, {"absf", "pcm_rechunk"}}, dir.File("rechunked.mkv")};
    ASSERT_TRUE(Transcode(job, run)) << job.ErrorMessage();
    EXPECT_EQ(DecodeErrors(run.Output), "");
    std::string times = RunCommand("ffprobe -v error -show_entries packet=pts_time -of csv=p=0 '" + run.Output + "'");
    EXPECT_EQ(times.substr(0, 18), "0.000000\n0.023000\n"); // 1024 / 44100 s apart
    // 43 whole packets, and the last 68 samples that the filter held until the end, padded.
    EXPECT_EQ(RunCommand("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" +
                         run.Output + "'"),
              "44\n");
}
