// Join mode: one output made of every input in turn. Real files read back with ffprobe: the
// parts add up, their times follow one another, and what cannot be joined is refused before
// anything is written.

#include "engine/FFmpeg.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {
void MakeSource(const std::string& arguments, const std::string& file) {
    int status = 0;
    std::string text = RunCommand("ffmpeg -nostdin -v error -y " + arguments + " '" + file + "'", &status);
    ASSERT_EQ(status, 0) << text;
}

// A clip of `seconds` with a moving picture and a tone.
void MakeClip(const std::string& file, const std::string& size, int rate, int sampleRate, double seconds,
              const std::string& codecs = "-c:v mpeg4 -c:a aac") {
    MakeSource("-f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(rate) +
                   " -f lavfi -i sine=f=440:sample_rate=" + std::to_string(sampleRate) + " -t " +
                   std::to_string(seconds) + " " + codecs,
               file);
}

std::string Probe(const std::string& file, const std::string& arguments) {
    return RunCommand("ffprobe -v error " + arguments + " -of csv=p=0 '" + file + "'");
}

int Frames(const std::string& file, const char* stream) {
    std::string text = Probe(file, std::string("-count_frames -select_streams ") + stream +
                                       " -show_entries stream=nb_read_frames");
    return text.empty() ? -1 : std::stoi(text);
}

// A number ffprobe printed; -1 (and a failure naming the text) when it printed none.
double Number(const std::string& text) {
    try {
        return std::stod(text);
    } catch (const std::exception&) {
        ADD_FAILURE() << "not a number: \"" << text << "\"";
        return -1;
    }
}

double Duration(const std::string& file, const char* stream) {
    return Number(Probe(file, std::string("-select_streams ") + stream + " -show_entries stream=duration"));
}

// Decode times of a stream's packets in file order: each must be later than the one before.
std::string DtsOutOfOrder(const std::string& file, const char* stream) {
    std::istringstream lines(Probe(file, std::string("-select_streams ") + stream + " -show_entries packet=dts_time"));
    std::string line;
    double last = -1e9;
    int count = 0;
    while (std::getline(lines, line)) {
        if (line.empty()) // a packet's side data prints a line of its own
            continue;
        double dts = Number(line);
        if (dts <= last)
            return "packet " + std::to_string(count) + " at " + line + " after " + std::to_string(last);
        last = dts;
        ++count;
    }
    return count ? "" : "no packets";
}

std::string Execute(TCustomFFmpeg& job) { return job.Execute() ? "" : job.ErrorMessage(); }
} // namespace

TEST(EngineJoin, TwoClipsBecomeOneWithTheirFramesAndSoundInTurn) {
    TTempDir dir;
    std::string first = dir.File("first.mp4"), second = dir.File("second.mp4"), joined = dir.File("joined.mp4");
    MakeClip(first, "64x48", 10, 44100, 2);
    MakeClip(second, "64x48", 10, 44100, 3);
    TRunResult r = RunCli("transcode -i '" + first + "' -i '" + second + "' -join '" + joined + "'");
    ASSERT_EQ(r.Status, 0) << r.Output;

    EXPECT_EQ(Frames(joined, "v:0"), 50);
    EXPECT_NEAR(Duration(joined, "v:0"), 5.0, 0.01);
    EXPECT_NEAR(Duration(joined, "a:0"), Duration(first, "a:0") + Duration(second, "a:0"), 0.1);
    EXPECT_EQ(DtsOutOfOrder(joined, "v:0"), "");
    EXPECT_EQ(DtsOutOfOrder(joined, "a:0"), "");
    // The second clip's pictures follow the first's one frame apart.
    std::string pts = Probe(joined, "-select_streams v:0 -show_entries packet=pts_time");
    EXPECT_NE(pts.find("1.900000"), std::string::npos);
    EXPECT_NE(pts.find("2.000000"), std::string::npos);
    EXPECT_NE(pts.find("4.900000"), std::string::npos);
    EXPECT_EQ(DecodeErrors(joined), "");
}

// An encoder that holds many pictures back (look-ahead) must not make the next part start
// before the pictures it still holds: they would be dropped as late.
TEST(EngineJoin, EncoderLookAheadDoesNotCostTheNextPartItsFrames) {
    TTempDir dir;
    std::string first = dir.File("first.mkv"), second = dir.File("second.mkv"), joined = dir.File("joined.mp4");
    MakeSource("-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg4", first);
    MakeSource("-f lavfi -i testsrc2=size=64x48:rate=25 -t 1 -c:v mpeg4", second);
    TCustomFFmpeg job(2);
    ASSERT_TRUE(job.OpenInputFile(first)) << job.LastError;
    ASSERT_TRUE(job.OpenInputFile(second)) << job.LastError;
    job.ApplyOption("vcodec", "libx264");
    job.ApplyOption("preset", "ultrafast");
    job.ApplyOption("rc-lookahead", "40");
    job.ApplyOption("bf", "3");
    ASSERT_EQ(job.OpenOutputFile(joined, true), 1) << job.LastError;
    ASSERT_EQ(Execute(job), "");
    EXPECT_EQ(Frames(joined, "v:0"), 50);
    EXPECT_NEAR(Duration(joined, "v:0"), 2.0, 0.05);
    EXPECT_EQ(DtsOutOfOrder(joined, "v:0"), "");
    EXPECT_EQ(DecodeErrors(joined), "");
}

// Parts of another size, rate and sample rate are scaled and resampled to the output's
// settings; an output size and rate given after the inputs rule.
TEST(EngineJoin, PartsOfOtherSizesAndRatesTakeTheOutputsSettings) {
    TTempDir dir;
    std::string first = dir.File("first.mkv"), second = dir.File("second.mkv"), joined = dir.File("joined.avi");
    MakeClip(first, "64x48", 10, 44100, 1, "-c:v mpeg4 -c:a mp2");
    MakeClip(second, "96x72", 25, 22050, 2, "-c:v mpeg4 -c:a mp2");
    TCustomFFmpeg job(2);
    ASSERT_TRUE(job.OpenInputFile(first)) << job.LastError;
    ASSERT_TRUE(job.OpenInputFile(second)) << job.LastError;
    for (const auto& [name, value] : {std::pair{"vcodec", "mpeg4"}, {"acodec", "mp2"}, {"s", "80x60"}, {"r", "10"},
                                      {"ar", "44100"}})
        job.ApplyOption(name, value);
    ASSERT_EQ(job.OpenOutputFile(joined, true), 1) << job.LastError;
    ASSERT_EQ(Execute(job), "");

    EXPECT_EQ(Probe(joined, "-select_streams v:0 -show_entries stream=width,height,r_frame_rate"), "80,60,10/1\n");
    // 1 s and 2 s at 10 per second; the first part's sound lasts a little longer than its
    // pictures, and the second part starts after it (the gap holds a repeated picture).
    EXPECT_GE(Frames(joined, "v:0"), 30);
    EXPECT_LE(Frames(joined, "v:0"), 32);
    EXPECT_EQ(Probe(joined, "-select_streams a:0 -show_entries stream=sample_rate"), "44100\n");
    // The sound of both parts, at the output's rate: 3 s give about 3 x 44100 samples.
    std::string samples = Probe(joined, "-select_streams a:0 -show_entries frame=nb_samples");
    long total = 0;
    std::istringstream lines(samples);
    for (std::string line; std::getline(lines, line);)
        total += std::stol(line);
    EXPECT_NEAR(double(total) / 44100, 3.0, 0.1);
    EXPECT_EQ(DecodeErrors(joined), "");
}

TEST(EngineJoin, CopiedPartsFollowOneAnother) {
    TTempDir dir;
    std::string first = dir.File("first.mkv"), second = dir.File("second.mkv"), joined = dir.File("joined.mkv");
    MakeSource("-f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v mpeg4 -g 5", first);
    MakeSource("-f lavfi -i testsrc2=size=64x48:rate=10 -t 2 -c:v mpeg4 -g 5", second);
    TRunResult r = RunCli("transcode -i '" + first + "' -i '" + second + "' -vcodec copy -join '" + joined + "'");
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Frames(joined, "v:0"), 30);
    EXPECT_EQ(DtsOutOfOrder(joined, "v:0"), "");
    EXPECT_NEAR(Number(Probe(joined, "-show_entries format=duration")), 3.0, 0.05);
    EXPECT_EQ(DecodeErrors(joined), "");
}

TEST(EngineJoin, OnlyOneOutputCanBeJoinedAndPartsMustFit) {
    TTempDir dir;
    std::string clip = dir.File("clip.mkv"), big = dir.File("big.mkv"), silent = dir.File("silent.mkv");
    MakeClip(clip, "64x48", 10, 44100, 1, "-c:v mpeg4 -c:a mp2");
    MakeSource("-f lavfi -i testsrc=size=96x72:rate=10 -t 1 -c:v mpeg4", big);
    MakeSource("-f lavfi -i testsrc=size=64x48:rate=10 -t 2 -c:v mpeg4", silent);
    {
        TCustomFFmpeg job(3);
        ASSERT_TRUE(job.OpenInputFile(clip));
        ASSERT_TRUE(job.OpenInputFile(silent));
        ASSERT_EQ(job.OpenOutputFile(dir.File("a.mkv"), true), 1) << job.LastError;
        EXPECT_TRUE(job.JoinMode());
        EXPECT_EQ(job.ExpectedDuration(), job.InputContext(0)->duration + job.InputContext(1)->duration);
        EXPECT_EQ(job.OpenOutputFile(dir.File("b.mkv"), true), -1);
        EXPECT_EQ(job.LastError, "Cannot join more than one output file.");
        EXPECT_EQ(job.OpenOutputFile(dir.File("c.mkv")), -1);
        EXPECT_EQ(job.LastError, "Cannot join more than one output file.");
        // The first part has sound and the second has none: refused before the header.
        std::string error = Execute(job);
        EXPECT_NE(error.find("Could not find input stream matching output stream #0.1 (audio)"), std::string::npos)
            << error;
        EXPECT_NE(error.find("silent.mkv\" has no audio stream"), std::string::npos) << error;
    }
    {
        // A joined output after an ordinary one would take the inputs from it.
        TCustomFFmpeg job(3);
        ASSERT_TRUE(job.OpenInputFile(clip));
        ASSERT_TRUE(job.OpenInputFile(silent));
        ASSERT_EQ(job.OpenOutputFile(dir.File("d.mkv")), 1) << job.LastError;
        EXPECT_EQ(job.OpenOutputFile(dir.File("e.mkv"), true), -1);
        EXPECT_EQ(job.LastError, "Cannot join more than one output file.");
        EXPECT_FALSE(job.JoinMode());
    }
    {
        // One input has nothing to join with: an ordinary output, and more may follow.
        TCustomFFmpeg job(2);
        ASSERT_TRUE(job.OpenInputFile(clip));
        ASSERT_EQ(job.OpenOutputFile(dir.File("f.mkv"), true), 1) << job.LastError;
        EXPECT_FALSE(job.JoinMode());
        EXPECT_EQ(job.OpenOutputFile(dir.File("g.mkv")), 2) << job.LastError;
    }
    {
        TCustomFFmpeg job(2);
        ASSERT_TRUE(job.OpenInputFile(silent));
        ASSERT_TRUE(job.OpenInputFile(big));
        job.ApplyOption("vcodec", "copy");
        ASSERT_EQ(job.OpenOutputFile(dir.File("h.mkv"), true), 1) << job.LastError;
        std::string error = Execute(job);
        EXPECT_NE(error.find("Cannot join stream #1.0 of"), std::string::npos) << error;
        EXPECT_NE(error.find("big.mkv\" by stream copy"), std::string::npos) << error;
    }
    {
        TCustomFFmpeg job(2);
        ASSERT_TRUE(job.OpenInputFile(silent));
        ASSERT_TRUE(job.OpenInputFile(big));
        job.ApplyOption("map", "0:0");
        ASSERT_EQ(job.OpenOutputFile(dir.File("i.mkv"), true), 1) << job.LastError;
        EXPECT_NE(Execute(job).find("Stream maps cannot be used when inputs are joined"), std::string::npos);
    }
    TRunResult r = RunCli("transcode -i '" + clip + "' -i '" + silent + "' -an -join '" + dir.File("j.mkv") + "' '" +
                          dir.File("k.mkv") + "'");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Output.find("Cannot join more than one output file."), std::string::npos) << r.Output;
    r = RunCli("transcode -i '" + clip + "' '" + dir.File("l.mkv") + "' -join");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Output.find("\"join\" after the last output"), std::string::npos) << r.Output;
}

// The output record's join field, as the encoder component applies it, on drawn pictures.
TEST(EngineJoin, OutputRecordJoinsTheJobsInputs) {
    TTempDir dir;
    TFFmpeg job(2);
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 10))) << job.LastError;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 15))) << job.LastError;
    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.FrameRate = "25/1";
    out.Join = true;
    job.ApplyOutputOptions(out);
    std::string file = dir.File("joined.mp4");
    ASSERT_EQ(job.OpenOutputFile(file, out.Join), 1) << job.LastError;
    job.ApplyOutputOptionsAfterOpen(0);
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    EXPECT_EQ(ProbeVideo(file).Packets, 25);
    EXPECT_NEAR(Duration(file, "v:0"), 1.0, 0.01);
    EXPECT_EQ(DtsOutOfOrder(file, "v:0"), "");
}

// A start position cuts the front of the joined whole: the second part follows the first part's
// shortened end, none of its pictures arrives late.
TEST(EngineJoin, StartPositionCutsOnlyTheFrontOfTheWhole) {
    TTempDir dir;
    TFFmpeg job(2);
    TInputOptions in;
    in.FileFormat = TestFramesFormat;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 10))) << job.LastError;
    job.ApplyInputOptions(in);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 15))) << job.LastError;
    TOutputOptions out;
    out.VideoCodec = "mpeg4";
    out.FrameRate = "25/1";
    out.StartTime = 200000;
    out.Join = true;
    job.ApplyOutputOptions(out);
    std::string file = dir.File("joined.mp4");
    ASSERT_EQ(job.OpenOutputFile(file, out.Join), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    EXPECT_EQ(ProbeVideo(file).Packets, 20);
    EXPECT_NEAR(Duration(file, "v:0"), 0.8, 0.01);
}
