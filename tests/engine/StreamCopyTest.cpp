// One input feeding several outputs, stream copy beside encoding, and the timing rules of copied
// and synchronised streams: real files read back with ffprobe.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {
// Makes a source file with the ffmpeg tool; fails the test when it cannot.
void MakeSource(const std::string& arguments, const std::string& file) {
    int status = 0;
    std::string text = RunCommand("ffmpeg -nostdin -v error -y " + arguments + " '" + file + "'", &status);
    ASSERT_EQ(status, 0) << text;
}

// Packets of each stream, one line per stream ("video,20").
std::string PacketCounts(const std::string& file) {
    return RunCommand("ffprobe -v error -count_packets -show_entries stream=codec_type,nb_read_packets -of csv=p=0 '" +
                      file + "'");
}

std::string StreamEntry(const std::string& file, const std::string& entry, const char* select = "v:0") {
    return RunCommand(std::string("ffprobe -v error -select_streams ") + select + " -show_entries stream=" + entry +
                      " -of csv=p=0 '" + file + "'");
}
} // namespace

TEST(EngineStreamCopy, EncodedAndCopiedOutputsOfOneInputAreBothComplete) {
    TTempDir dir;
    std::string source = dir.File("in.avi");
    MakeSource("-f lavfi -i testsrc=size=128x96:rate=25 -f lavfi -i sine=sample_rate=44100 -t 0.8 -c:v mpeg4 -c:a mp2",
               source);
    std::string audioPackets = RunCommand("ffprobe -v error -count_packets -select_streams a:0 -show_entries "
                                          "stream=nb_read_packets -of csv=p=0 '" + source + "'");

    TCustomFFmpeg job(2);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("s", "64x48");
    job.ApplyOption("an", "1");
    std::string encoded = dir.File("a.mp4");
    ASSERT_EQ(job.OpenOutputFile(encoded), 1) << job.LastError;
    job.ApplyOption("vcodec", "copy");
    job.ApplyOption("acodec", "copy");
    std::string copied = dir.File("b.mkv");
    ASSERT_EQ(job.OpenOutputFile(copied), 2) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();

    EXPECT_EQ(PacketCounts(encoded), "video,20\n");
    EXPECT_EQ(PacketCounts(copied), "video,20\naudio," + audioPackets);
    EXPECT_EQ(StreamEntry(copied, "codec_name,width"), "mpeg4,128\n");
    EXPECT_EQ(DecodeErrors(copied), "");
    EXPECT_EQ(DecodeErrors(encoded), "");
}

TEST(EngineStreamCopy, CopiedVideoCarriesTheAspectGivenForIt) {
    TTempDir dir;
    std::string source = dir.File("in.avi");
    MakeSource("-f lavfi -i testsrc=size=128x96:rate=25 -frames:v 10 -c:v mpeg4", source);
    for (const char* ext : {"mkv", "mp4"}) {
        SCOPED_TRACE(ext);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
        job.ApplyOption("vcodec", "copy");
        job.ApplyOption("aspect", "16:9");
        std::string out = dir.File(std::string("wide.") + ext);
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
        EXPECT_EQ(StreamEntry(out, "display_aspect_ratio"), "16:9\n");
        EXPECT_EQ(PacketCounts(out), "video,10\n");
    }
}

// Pictures written in step with another input's sound: the video's progress must count the
// frame just written, or the loop keeps reading pictures ahead of the sound and drops them.
TEST(EngineStreamCopy, SyncMapToAnotherInputKeepsEveryFrame) {
    TTempDir dir;
    std::string pictures = dir.File("pictures.avi"), sound = dir.File("sound.wav");
    // Sound packets of 46 ms against pictures of 50 ms: the sound read last may start up to
    // one picture before the picture being written, never more.
    MakeSource("-f lavfi -i testsrc=size=64x48:rate=20 -frames:v 20 -c:v mpeg4", pictures);
    MakeSource("-f lavfi -i sine=sample_rate=44100 -t 1.2 -c:a pcm_s16le", sound);
    TCustomFFmpeg job(2);
    ASSERT_TRUE(job.OpenInputFile(pictures)) << job.LastError;
    ASSERT_TRUE(job.OpenInputFile(sound)) << job.LastError;
    job.ApplyOption("map", "0:0:1:0");
    job.ApplyOption("map", "1:0");
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("r", "20");
    job.ApplyOption("acodec", "copy");
    std::string out = dir.File("synced.avi"); // constant rate: a late picture is dropped
    ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    std::string counts = PacketCounts(out);
    EXPECT_EQ(counts.substr(0, 9), "video,20\n") << counts;
}

// A copied stream takes the frame duration as its time base when the source counts in ticks
// far finer than a frame (mp4 counts 1/12800 s for 25 frames per second); "copytb" keeps the
// source's.
TEST(EngineStreamCopy, CopiedStreamTakesTheFrameTimeBaseUnlessCopytb) {
    TTempDir dir;
    std::string source = dir.File("in.mp4");
    MakeSource("-f lavfi -i testsrc=size=64x48:rate=25 -frames:v 10 -c:v mpeg4", source);
    ASSERT_EQ(StreamEntry(source, "time_base"), "1/12800\n");
    for (bool copyTb : {false, true}) {
        SCOPED_TRACE(copyTb);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
        job.ApplyOption("vcodec", "copy");
        job.ApplyOption("copytb", copyTb ? "1" : "0");
        std::string out = dir.File(copyTb ? "keep.avi" : "frame.avi");
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
        // avi cannot count 1/12800 s and settles on a multiple of its own; not the frame.
        if (copyTb)
            EXPECT_NE(StreamEntry(out, "time_base"), "1/25\n");
        else
            EXPECT_EQ(StreamEntry(out, "time_base"), "1/25\n");
        EXPECT_EQ(PacketCounts(out), "video,10\n");
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

// MPEG program streams size their multiplex from the video buffer size: the encoder's value
// reaches the container, which then neither guesses one nor underflows.
TEST(EngineStreamCopy, ProgramStreamGetsTheEncodersBufferSize) {
    TTempDir dir;
    TLogCapture log;
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(352, 288, 25, 25))) << job.LastError;
    job.ApplyOption("vcodec", "mpeg2video");
    job.ApplyOption("r", "25");
    job.ApplyOption("vb", "4000000");
    job.ApplyOption("maxrate", "4000000");
    job.ApplyOption("bufsize", "1835008");
    std::string out = dir.File("program.mpg");
    ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    EXPECT_FALSE(log.Contains("VBV buffer size not set"));
    EXPECT_FALSE(log.Contains("buffer underflow"));
    EXPECT_EQ(PacketCounts(out).substr(0, 9), "video,25,");
    EXPECT_EQ(DecodeErrors(out), "");
}

// A DVD: MPEG-2 pictures of the PAL size and AC-3 sound in an MPEG program stream that plays
// without a complaint.
TEST(EngineStreamCopy, PalDvdTargetMakesAPlayableDvdStream) {
    TTempDir dir;
    std::string source = dir.File("in.avi");
    MakeSource("-f lavfi -i testsrc=size=128x96:rate=25 -f lavfi -i sine=sample_rate=44100 -t 0.8 -ac 1 -c:v mpeg4 "
               "-c:a pcm_s16le",
               source);
    TLogCapture log;
    TCustomFFmpeg job(1);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    job.ApplyOption("target", "pal-dvd");
    std::string out = dir.File("disc.mpg");
    ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    EXPECT_FALSE(log.Contains("buffer underflow"));
    EXPECT_FALSE(log.Contains("VBV buffer size not set"));
    EXPECT_EQ(RunCommand("ffprobe -v error -show_entries format=format_name -of csv=p=0 '" + out + "'"), "mpeg\n");
    // (ffprobe adds an empty field for the buffer-size side data of program streams.)
    EXPECT_EQ(StreamEntry(out, "codec_name,width,height,display_aspect_ratio").substr(0, 23), "mpeg2video,720,576,4:3,");
    EXPECT_EQ(StreamEntry(out, "codec_name,sample_rate,channels", "a:0").substr(0, 12), "ac3,48000,2\n");
    EXPECT_EQ(DecodeErrors(out), "");

    TCustomFFmpeg unknown(1);
    ASSERT_TRUE(unknown.OpenInputFile(source));
    EXPECT_THROW(unknown.ApplyOption("target", "pal-betamax"), FFmpegException);
}

// Copied packets keep their own durations when the container counts time differently from the
// source (mp4's 1/12800 s and 1/44100 s against matroska's milliseconds, and back), the last
// picture and the last sound included, and the file says it lasts as long as the source
// (matroska keeps the length in its header, not in each packet).
TEST(EngineStreamCopy, CopiedPacketsKeepTheirDurations) {
    TTempDir dir;
    // A stream's packet durations in seconds, in file order, after the first packet (whose
    // encoder priming matroska keeps without a duration).
    auto durations = [](const std::string& file, const char* select) {
        std::istringstream lines(RunCommand(std::string("ffprobe -v error -select_streams ") + select +
                                            " -show_entries packet=duration_time -of csv=p=0 '" + file + "'"));
        std::vector<double> found;
        for (std::string line; std::getline(lines, line);)
            if (!line.empty())
                found.push_back(std::atof(line.c_str()));
        if (!found.empty())
            found.erase(found.begin());
        return found;
    };
    auto fileDuration = [](const std::string& file) {
        return std::atof(RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'").c_str());
    };
    // mov ends the last picture where the sound ends (so does the ffmpeg tool): there only the
    // sound's packets are compared.
    for (const auto& [from, to] : {std::pair{"mp4", "mkv"}, std::pair{"mkv", "mov"}}) {
        SCOPED_TRACE(std::string(from) + " to " + to);
        const std::string source = dir.File(std::string("in.") + from);
        MakeSource("-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=sample_rate=44100 -frames:v 10 -t 0.4 "
                   "-c:v mpeg4 -c:a aac",
                   source);
        const std::vector<double> video = durations(source, "v:0"), audio = durations(source, "a:0");
        ASSERT_EQ(video.size(), 9u);
        ASSERT_GT(audio.size(), 10u);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
        job.ApplyOption("vcodec", "copy");
        job.ApplyOption("acodec", "copy");
        std::string out = dir.File(std::string("copy.") + to);
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
        for (const auto& [select, want] : {std::pair{"v:0", video}, std::pair{"a:0", audio}}) {
            if (std::string(to) == "mov" && std::string(select) == "v:0")
                continue;
            SCOPED_TRACE(select);
            const std::vector<double> got = durations(out, select);
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t i = 0; i < got.size(); ++i)
                EXPECT_NEAR(got[i], want[i], 0.0011) << "packet " << i + 1; // matroska counts milliseconds
        }
        // The copy may keep the sound's priming packet (23 ms) in front.
        EXPECT_NEAR(fileDuration(out), fileDuration(source), 0.03);
        EXPECT_EQ(DecodeErrors(out), "");
    }
}
