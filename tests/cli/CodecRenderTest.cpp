// The rows of today's codecs rendered by pixaroll-cli and read back with ffprobe: codec,
// profile, pixel format, tags, the audio encoder, the index ahead of the media, frame counts.

#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

// The "key=value" entries ffprobe shows for the first stream of a kind.
std::map<std::string, std::string> StreamEntries(const std::string& file, const char* kind) {
    TRunResult r = RunShell(std::string("ffprobe -v error -count_frames -select_streams ") + kind +
                            ":0 -show_entries stream=codec_name,profile,pix_fmt,codec_tag_string,width,height,"
                            "nb_read_frames,sample_rate,level -of default=noprint_wrappers=1 '" + file + "'");
    return ProbeEntries(r.Output);
}

std::string FileText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CodecRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        pictures = WriteTwoTestPictures(dir);
        out = dir.File("out");
        tone = dir.File("tone.wav");
        TRunResult made = RunShell("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=1 -ac 2 -y '" + tone + "'");
        ASSERT_EQ(made.Status, 0) << made.Output;
    }
    TRunResult Render(const std::string& options) {
        return RunCli("render --pictures" + pictures + " --out-dir " + out + " --quiet --seed 5 " + options);
    }
    TTempDir dir;
    std::string pictures, out, tone;
};

TEST_F(CodecRenderTest, EachRowWritesItsCodecWithTheSoundtrackAndEveryFrame) {
    // 2 x (6 + 3) + 3 + 2 = 23 frames at 30:1 with 0.2 s holds and 0.1 s transitions.
    const std::string options = "--size 160x96 --hold 0.2 --transition 0.1 --preset fast --constant-frame-rate";
    struct TCase {
        const char* Format;
        const char* File;
        const char* Codec;
        const char* Profile;
        const char* Audio;
    };
    const TCase cases[] = {
        {"mp4-h264", "slideshow-_(new).mp4", "h264", "High", "aac"},
        {"mp4-hevc", "slideshow-_(new_1).mp4", "hevc", "Main", "aac"},
        {"webm-vp9", "slideshow-_(new).webm", "vp9", "Profile 0", "opus"},
        {"webm-av1", "slideshow-_(new_1).webm", "av1", "Main", "opus"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Format);
        TRunResult r = Render(options + " --audio " + tone + " --format " + c.Format);
        ASSERT_EQ(r.Status, 0) << r.Output;
        const std::string file = out + "/" + c.File;
        auto video = StreamEntries(file, "v");
        EXPECT_EQ(video["codec_name"], c.Codec);
        EXPECT_EQ(video["profile"], c.Profile);
        EXPECT_EQ(video["pix_fmt"], "yuv420p");
        EXPECT_EQ(video["width"] + "x" + video["height"], "160x96");
        EXPECT_EQ(video["nb_read_frames"], "23");
        auto audio = StreamEntries(file, "a");
        EXPECT_EQ(audio["codec_name"], c.Audio);
        if (std::string(c.Audio) == "opus") {
            EXPECT_EQ(audio["sample_rate"], "48000");
        }
        if (std::string(c.Codec) == "hevc") {
            EXPECT_EQ(video["codec_tag_string"], "hvc1");
        }
        if (std::string(c.Codec) == "h264") {
            EXPECT_EQ(video["level"], "11");
        }
        if (std::string(c.File).find(".mp4") != std::string::npos) {
            const std::string data = FileText(file);
            ASSERT_NE(data.find("moov"), std::string::npos);
            EXPECT_LT(data.find("moov"), data.find("mdat")) << "the index comes first (faststart)";
        }
        EXPECT_EQ(r.Output.find("Svt[info]"), std::string::npos) << r.Output;
    }
}

TEST_F(CodecRenderTest, QualityAndBitRateChoicesReachTheEncoder) {
    const std::string options = "--format mp4-h264 --size 160x96 --hold 0.2 --transition 0.1 --preset fast";
    ASSERT_EQ(Render(options + " --crf 51").Status, 0);
    ASSERT_EQ(Render(options + " --crf 10").Status, 0);
    const auto low = std::filesystem::file_size(out + "/slideshow-_(new).mp4");
    const auto high = std::filesystem::file_size(out + "/slideshow-_(new_1).mp4");
    EXPECT_LT(low * 2, high) << "crf 51 is far smaller than crf 10";
    ASSERT_EQ(Render(options + " --bitrate 900").Status, 0);
    // x264 writes its rate control into the stream's settings text.
    EXPECT_NE(FileText(out + "/slideshow-_(new_2).mp4").find("rc=abr"), std::string::npos);
    EXPECT_NE(FileText(out + "/slideshow-_(new).mp4").find("rc=crf"), std::string::npos);

    TRunResult r = Render(options + " --crf 20 --bitrate 900");
    EXPECT_EQ(r.Status, 2) << r.Output;
    r = Render(options + " --preset slowest");
    EXPECT_EQ(r.Status, 2) << r.Output;
    r = Render("--format webm-vp9 --crf 64 --size 160x96");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("0 to 63"), std::string::npos) << r.Output;
}

TEST_F(CodecRenderTest, OddSizesAreRefusedOnlyWhereTheCodecNeedsEvenOnes) {
    TRunResult r = Render("--format mp4-h264 --size 161x96 --hold 0.1 --transition 0.1");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("161x96 has an odd width: H.264 needs an even width and height"), std::string::npos)
        << r.Output;
    EXPECT_FALSE(std::filesystem::exists(out + "/slideshow-_(new).mp4")) << "nothing is written";
    r = Render("--format mp4 --size 161x97 --hold 0.1 --transition 0.1");
    EXPECT_EQ(r.Status, 0) << r.Output;
}

// The sizes at the edges of what each encoder takes: the smallest are encoded, one beyond is
// refused before anything is written, with the reason instead of the encoder's own words.
TEST_F(CodecRenderTest, SizesAtTheEncodersEdgesAreEncodedOrRefusedUpFront) {
    const std::string options = " --hold 0.1 --transition 0.1 --preset fast";
    const struct {
        const char* Format;
        const char* Smallest;
        const char* Refused;
        const char* Reason;
    } rows[] = {
        {"mp4-h264", "2x2", "65536x2", "too large for the libx264 encoder (at most 16384 on each side)"},
        {"webm-vp9", "2x2", "65536x2", "too large for the libvpx-vp9 encoder (at most 16384 on each side)"},
        {"mp4-hevc", "16x16", "14x16", "too small for the libx265 encoder (at least 16 on each side)"},
        {"mp4-hevc", "16x16", "65536x2", "too small for the libx265 encoder"},
        {"mp4-hevc", "4216x16", "4218x16", "too large for the libx265 encoder (a side below 32 allows at most 4216"},
        {"webm-av1", "64x64", "2x2", "too small for the libsvtav1 encoder (at least 64 on each side)"},
        {"webm-av1", "64x64", "64x8706", "too large for the libsvtav1 encoder (at most 16384 wide and 8704 high)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Format) + " " + row.Refused);
        std::filesystem::remove_all(out);
        TRunResult r = Render(std::string("--format ") + row.Format + " --size " + row.Smallest + options);
        EXPECT_EQ(r.Status, 0) << r.Output;
        r = Render(std::string("--format ") + row.Format + " --size " + row.Refused + options);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(std::string("the frame size ") + row.Refused + " is " + row.Reason), std::string::npos)
            << r.Output;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1) << "only the smallest one's file";
    }
}

// Quality 0 on H.264 is lossless: the profile that allows it, and the pictures come back exactly.
TEST_F(CodecRenderTest, QualityZeroOnH264IsLossless) {
    TRunResult r = Render("--format mp4-h264 --size 160x96 --hold 0.2 --transition 0.1 --preset fast --crf 0");
    ASSERT_EQ(r.Status, 0) << r.Output;
    const std::string file = out + "/slideshow-_(new).mp4";
    auto entries = StreamEntries(file, "v");
    EXPECT_EQ(entries["profile"], "High 4:4:4 Predictive");
    EXPECT_EQ(entries["pix_fmt"], "yuv420p");
    EXPECT_NE(FileText(file).find("qp=0"), std::string::npos) << "x264 encoded losslessly";
}

TEST_F(CodecRenderTest, HardwareEncoderFallsBackToSoftwareWithOneLineNamingTheReason) {
    TRunResult r = Render("--format mp4-h264 --hardware-encoder --size 160x96 --hold 0.1 --transition 0.1 --preset fast");
    ASSERT_EQ(r.Status, 0) << r.Output;
    const std::string line = "Hardware encoder h264_vaapi not used, encoding with libx264: ";
    const std::size_t at = r.Output.find(line);
    ASSERT_NE(at, std::string::npos) << r.Output;
    EXPECT_EQ(r.Output.find(line, at + 1), std::string::npos) << "one line";
    EXPECT_GT(r.Output.find('\n', at), at + line.size() + 5) << "with the reason";
    EXPECT_EQ(StreamEntries(out + "/slideshow-_(new).mp4", "v")["codec_name"], "h264");
    // Rows without a hardware encoder say nothing.
    r = Render("--format webm-vp9 --hardware-encoder --size 160x96 --hold 0.1 --transition 0.1 --preset fast");
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output.find("Hardware encoder"), std::string::npos) << r.Output;
}

TEST_F(CodecRenderTest, VerticalFrameWithLandscapePicturesInBlurFraming) {
    // 2 x (2 + 2) + 2 + 2 frames of 1080x1920 (the size is the point here).
    TRunResult r = Render("--format mp4-h264 --size 1080x1920 --fit blur --rate 10:1 --hold 0.2 --transition 0.2 "
                          "--preset fast --constant-frame-rate");
    ASSERT_EQ(r.Status, 0) << r.Output;
    auto video = StreamEntries(out + "/slideshow-_(new).mp4", "v");
    EXPECT_EQ(video["width"] + "x" + video["height"], "1080x1920");
    EXPECT_EQ(video["nb_read_frames"], "12");
    EXPECT_EQ(video["level"], "40");
    // The middle of a held picture, above the picture itself: the blurred copy, not black.
    TRunResult pixel = RunShell("ffmpeg -v error -i '" + out + "/slideshow-_(new).mp4' -vf select='eq(n\\,3)',"
                                "crop=2:2:540:100 -frames:v 1 -f rawvideo -pix_fmt gray - | od -An -tu1");
    ASSERT_EQ(pixel.Status, 0) << pixel.Output;
    EXPECT_GT(std::atoi(pixel.Output.c_str()), 20) << pixel.Output;
}

} // namespace
