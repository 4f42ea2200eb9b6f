// Subtitle streams: text subtitles encoded for mkv, mp4 and mov, copied from mkv to mkv, and
// the pairing of picture and text subtitles refused: real files read back with ffprobe.

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
// Three cues; the second one runs from 2.0 to 3.25 seconds.
const char* const Cues = "1\r\n00:00:00,500 --> 00:00:01,500\r\nFirst cue\r\n\r\n"
                         "2\r\n00:00:02,000 --> 00:00:03,250\r\nSecond cue\r\n\r\n"
                         "3\r\n00:00:03,500 --> 00:00:03,900\r\nThird cue\r\n";

std::string WriteCues(const TTempDir& dir) {
    std::string file = dir.File("cues.srt");
    std::ofstream(file, std::ios::binary) << Cues;
    return file;
}

std::string SubtitleEntry(const std::string& file, const std::string& entry) {
    return RunCommand("ffprobe -v error -select_streams s:0 -show_entries stream=" + entry + " -of csv=p=0 '" + file +
                      "'");
}

// "start,duration" of each subtitle packet that holds text, in seconds.
std::vector<std::string> CueTimes(const std::string& file) {
    std::string out = RunCommand("ffprobe -v error -select_streams s:0 -show_entries packet=pts_time,duration_time,size "
                                 "-of csv=p=0 '" + file + "'");
    std::vector<std::string> cues;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = out.substr(start, end - start);
        std::size_t last = line.rfind(',');
        // mp4 fills the gaps between cues with empty samples of two bytes.
        if (last != std::string::npos && std::stoi(line.substr(last + 1)) > 2)
            cues.push_back(line.substr(0, last));
    }
    return cues;
}

// The subtitles of FILE as subrip text.
std::string AsSubrip(const std::string& file) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:s:0 -f srt -");
}

// Four seconds of small pictures, and the cues from the .srt file as the second input.
void OpenPicturesAndCues(TCustomFFmpeg& job, const std::string& cues) {
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 10, 40))) << job.LastError;
    ASSERT_TRUE(job.OpenInputFile(cues)) << job.LastError;
}
} // namespace

TEST(EngineSubtitles, TextCuesAreEncodedForEachContainer) {
    TTempDir dir;
    std::string cues = WriteCues(dir);
    const struct {
        const char* File;
        const char* Codec; // chosen, or empty for the container's own (mp4 and mov have none)
        const char* Expected;
    } cases[] = {
        {"default.mkv", "", "ass"},
        {"subrip.mkv", "srt", "subrip"},
        {"text.mp4", "mov_text", "mov_text"},
        {"text.mov", "mov_text", "mov_text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        TCustomFFmpeg job(2);
        OpenPicturesAndCues(job, cues);
        job.ApplyOption("vcodec", "mpeg4");
        if (*c.Codec)
            job.ApplyOption("scodec", c.Codec);
        std::string out = dir.File(c.File);
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
        EXPECT_EQ(SubtitleEntry(out, "codec_name"), std::string(c.Expected) + "\n");
        std::vector<std::string> times = CueTimes(out);
        ASSERT_EQ(times.size(), 3u);
        EXPECT_EQ(times[1], "2.000000,1.250000");
        std::string text = AsSubrip(out);
        EXPECT_NE(text.find("00:00:02,000 --> 00:00:03,250\nSecond cue"), std::string::npos) << text;
        EXPECT_EQ(ProbeVideo(out).Packets, 40);
    }
}

// Output times count from the start position: a cue at 2.0 s is at 1.0 s after "-ss 1"; the
// one that ended before is gone.
TEST(EngineSubtitles, EncodedCuesFollowTheStartPosition) {
    TTempDir dir;
    std::string cues = WriteCues(dir);
    TCustomFFmpeg job(2);
    OpenPicturesAndCues(job, cues);
    job.ApplyOption("vcodec", "mpeg4");
    job.ApplyOption("ss", "1");
    std::string out = dir.File("later.mkv");
    ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    std::vector<std::string> times = CueTimes(out);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_EQ(times[0], "1.000000,1.250000");
}

TEST(EngineSubtitles, CopiedFromMkvToMkvKeepsTheCueTimes) {
    TTempDir dir;
    std::string cues = WriteCues(dir);
    std::string source = dir.File("source.mkv");
    int status = 0;
    std::string made = RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=10 -i '" + cues +
                                      "' -t 4 -c:v mpeg4 -c:s srt '" + source + "'",
                                  &status);
    ASSERT_EQ(status, 0) << made;
    std::vector<std::string> original = CueTimes(source);
    ASSERT_EQ(original.size(), 3u);

    TCustomFFmpeg job(1);
    ASSERT_TRUE(job.OpenInputFile(source)) << job.LastError;
    job.ApplyOption("vcodec", "copy");
    job.ApplyOption("scodec", "copy");
    std::string out = dir.File("copy.mkv");
    ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    EXPECT_EQ(SubtitleEntry(out, "codec_name"), "subrip\n");
    EXPECT_EQ(CueTimes(out), original);
    EXPECT_EQ(AsSubrip(out), AsSubrip(source));
}

namespace {
// A Blu-ray subtitle stream: a 2x2 square shown at each of the times (seconds), each cleared a
// second later when `clear`, else left until the next one.
std::string WritePictureSubtitles(const TTempDir& dir, std::initializer_list<int> shows, bool clear) {
    std::string bytes;
    auto segment = [&bytes](int type, int seconds, std::initializer_list<int> data) {
        const uint32_t pts = uint32_t(seconds) * 90000;
        bytes += "PG";
        for (int shift : {24, 16, 8, 0})
            bytes += char(pts >> shift);
        bytes += std::string(4, '\0') + char(type) + char(data.size() >> 8) + char(data.size());
        for (int b : data)
            bytes += char(b);
    };
    const std::initializer_list<int> window = {1, 0, 0, 8, 0, 8, 0, 2, 0, 2};
    for (int t : shows) {
        // Composition with one object at (8,8), its window, a palette of one white, the object.
        segment(0x16, t, {0, 64, 0, 48, 0x10, 0, 0, 0x80, 0, 0, 1, 0, 0, 0, 0, 0, 8, 0, 8});
        segment(0x17, t, window);
        segment(0x14, t, {0, 0, 1, 235, 128, 128, 255});
        segment(0x15, t, {0, 0, 0, 0xC0, 0, 0, 12, 0, 2, 0, 2, 1, 1, 0, 0, 1, 1, 0, 0});
        segment(0x80, t, {});
        if (clear) { // a composition without objects
            segment(0x16, t + 1, {0, 64, 0, 48, 0x10, 0, 1, 0, 0, 0, 0});
            segment(0x17, t + 1, window);
            segment(0x80, t + 1, {});
        }
    }
    std::string file = dir.File(clear ? "cleared.sup" : "squares.sup");
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

// "start,duration" of every subtitle packet.
std::string PacketTimes(const std::string& file) {
    return RunCommand("ffprobe -v error -select_streams s:0 -show_entries packet=pts_time,duration_time -of csv=p=0 '" +
                      file + "'");
}
} // namespace

// No library turns text into pictures or pictures into text: the run is refused with the stream
// named, before an output file is made.
TEST(EngineSubtitles, PictureAndTextSubtitlesDoNotConvert) {
    TTempDir dir;
    std::string cues = WriteCues(dir);
    {
        TCustomFFmpeg job(2);
        OpenPicturesAndCues(job, cues);
        job.ApplyOption("vcodec", "mpeg4");
        job.ApplyOption("scodec", "dvdsub");
        std::string out = dir.File("pictures.mkv");
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        EXPECT_FALSE(job.Execute());
        EXPECT_EQ(job.ErrorMessage(),
                  "Input stream #1.0 (subrip) holds text subtitles, which cannot be encoded as picture subtitles "
                  "(dvd_subtitle) for output stream #0.1: copy them (-scodec copy) into a container that carries "
                  "them, or leave them out (-sn)");
        EXPECT_FALSE(std::ifstream(out).good());
    }
    std::string square = WritePictureSubtitles(dir, {1}, false);
    for (const char* codec : {"", "srt"}) {
        SCOPED_TRACE(codec);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(square)) << job.LastError;
        if (*codec)
            job.ApplyOption("scodec", codec);
        std::string out = dir.File("text.mkv");
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        EXPECT_FALSE(job.Execute());
        EXPECT_EQ(job.ErrorMessage(),
                  std::string("Input stream #0.0 (hdmv_pgs_subtitle) holds picture subtitles, which cannot be encoded "
                              "as text subtitles (") + (*codec ? "subrip" : "ass") +
                      ") for output stream #0.0: copy them (-scodec copy) into a container that carries them, or "
                      "leave them out (-sn)");
        EXPECT_FALSE(std::ifstream(out).good());
    }
}

// Picture subtitles stay pictures. Each one lasts until the stream clears it or shows the next;
// the input starts with the first one, so at 0. DVB's second packet clears the screen.
TEST(EngineSubtitles, PictureSubtitlesAreEncodedAsPictures) {
    TTempDir dir;
    const struct {
        bool Clear;
        const char* Codec;
        const char* Name;
        const char* Times;
    } cases[] = {
        {true, "dvdsub", "dvd_subtitle", "0.000000,1.000000\n2.000000,1.000000\n"},
        {true, "dvbsub", "dvb_subtitle", "0.000000,1.000000\n1.000000,N/A\n2.000000,1.000000\n3.000000,N/A\n"},
        // The last square has no end: no duration, and no clearing packet at a made-up time.
        {false, "dvdsub", "dvd_subtitle", "0.000000,2.000000\n2.000000,N/A\n"},
        {false, "dvbsub", "dvb_subtitle", "0.000000,2.000000\n2.000000,N/A\n2.000000,N/A\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Codec) + (c.Clear ? " cleared" : " replaced"));
        std::string squares = WritePictureSubtitles(dir, {1, 3}, c.Clear);
        TCustomFFmpeg job(1);
        ASSERT_TRUE(job.OpenInputFile(squares)) << job.LastError;
        job.ApplyOption("scodec", c.Codec);
        std::string out = dir.File(std::string(c.Codec) + ".mkv");
        ASSERT_EQ(job.OpenOutputFile(out), 1) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
        EXPECT_EQ(SubtitleEntry(out, "codec_name"), std::string(c.Name) + "\n");
        EXPECT_EQ(PacketTimes(out), c.Times);
    }
}
