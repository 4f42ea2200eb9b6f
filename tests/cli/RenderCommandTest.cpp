// pixaroll-cli render and demo as a user runs them: real files read back with ffprobe.

#include "tests/support/RunCommand.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// "codec,width,height,packets" of the video stream.
std::string Probe(const std::string& file) {
    TRunResult r = RunShell("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                    "stream=codec_name,width,height,nb_read_packets -of csv=p=0 '" + file + "'");
    std::string out = r.Output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

class RenderCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(CliPath())) << CliPath();
        pictures = WriteTwoTestPictures(dir);
        out = dir.File("out");
    }
    std::string Render(const std::string& options) {
        return "render --pictures" + pictures + " --out-dir " + out + " --format mp4 --size 320x240 " + options;
    }
    TTempDir dir;
    std::string pictures, out;
};

TEST_F(RenderCommandTest, WritesEveryFrameUnderAFreshName) {
    // 2 x (25 + 12) + 12 + 2 frames at 25:1 with 1 s holds and 0.5 s transitions.
    const std::string options = "--size 160x120 --rate 25:1 --hold 1 --transition 0.5 --seed 7";
    TRunResult first = RunCli(Render(options));
    ASSERT_EQ(first.Status, 0) << first.Output;
    const std::string name = out + "/slideshow-_(new).mp4";
    EXPECT_NE(first.Output.find(name), std::string::npos) << first.Output;
    EXPECT_EQ(Probe(name), "mpeg4,160,120,88");

    TRunResult second = RunCli(Render(options + " --format wmv --sequential"));
    ASSERT_EQ(second.Status, 0) << second.Output;
    EXPECT_EQ(Probe(out + "/slideshow-_(new).wmv"), "wmv2,160,120,88");

    TRunResult third = RunCli(Render(options));
    ASSERT_EQ(third.Status, 0) << third.Output;
    EXPECT_TRUE(std::filesystem::exists(out + "/slideshow-_(new_1).mp4")) << third.Output;
}

TEST_F(RenderCommandTest, SwfAndFlvTakeTheContainersVideoEncoderAndMovTakesMpeg4) {
    const std::string options = "--size 96x64 --rate 10:1 --hold 0.3 --transition 0.2 --sequential";
    // 2 x (3 + 2) + 2 + 2 frames.
    const std::pair<const char*, const char*> expected[] = {{"swf", "flv1"}, {"flv", "flv1"}, {"mov", "mpeg4"}};
    for (const auto& [format, codec] : expected) {
        TRunResult r = RunCli(Render(options + " --format " + format));
        ASSERT_EQ(r.Status, 0) << format << ": " << r.Output;
        EXPECT_EQ(Probe(out + "/slideshow-_(new)." + format), std::string(codec) + ",96,64,14") << format;
    }
    // The rate written as the engine writes it holds the pictures just as long.
    const std::string slash = "--size 96x64 --rate 10/1 --hold 0.3 --transition 0.2 --sequential";
    TRunResult r = RunCli(Render(slash + " --format mp4"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Probe(out + "/slideshow-_(new).mp4"), "mpeg4,96,64,14");
}

TEST_F(RenderCommandTest, BrokenPicturesAndBadOptionsFailWithTheirReason) {
    std::string broken = dir.File("broken.jpg");
    std::ofstream(broken) << "not a picture";
    TRunResult r = RunCli("render --pictures " + broken + " --out-dir " + out + " --hold 0.2 --transition 0.2");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("broken.jpg"), std::string::npos) << r.Output;

    r = RunCli("render --pictures " + dir.File("missing.jpg") + " --out-dir " + out);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("picture not found"), std::string::npos) << r.Output;

    r = RunCli(Render("--format avi"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("unknown output format"), std::string::npos) << r.Output;

    r = RunCli("render --pictures" + pictures);
    EXPECT_EQ(r.Status, 2) << r.Output;

    // Durations must be finite; seeds take the generator's whole 32-bit range.
    r = RunCli(Render("--hold inf"));
    EXPECT_EQ(r.Status, 2) << r.Output;
    // A hold or transition longer than a day is refused before anything is drawn (one of 1e12 s
    // would never end, or overflow the moving slides' frame sums).
    for (const char* huge : {"--hold 1e12 --motion zoom-in", "--hold 1e8", "--transition 86401"}) {
        r = RunCli(Render(huge));
        EXPECT_EQ(r.Status, 2) << huge << r.Output;
        EXPECT_NE(r.Output.find("takes at most 86400 seconds"), std::string::npos) << r.Output;
    }
    r = RunCli(Render("--size 32x24 --hold 0 --transition 0 --seed 4000000000"));
    EXPECT_EQ(r.Status, 0) << r.Output;
    r = RunCli(Render("--seed 4294967296"));
    EXPECT_EQ(r.Status, 2) << r.Output;
    r = RunCli(Render("--samplerate 48000"));
    EXPECT_EQ(r.Status, 2) << r.Output;
}

// "codec_name" of every stream, video first, separated by commas. (Flash containers list
// their streams in the order their first packets come, and MP3 starts before its time 0.)
std::string StreamCodecs(const std::string& file) {
    TRunResult r = RunShell("ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 '" + file +
                            "' | sort -t, -k2,2r | cut -d, -f1");
    std::string out;
    for (char c : r.Output)
        out += c == '\n' ? ',' : c;
    while (!out.empty() && (out.back() == ',' || out.back() == '\r'))
        out.pop_back();
    return out;
}

TEST_F(RenderCommandTest, SoundtrackIsTheSecondInputAndAMissingOneIsSkipped) {
    // A soundtrack that names no file: the video is made without one.
    const std::string options = "--size 160x120 --rate 25:1 --hold 0.4 --transition 0.2 --seed 3";
    TRunResult r = RunCli(Render(options + " --format flv --audio " + dir.File("gone.wav")));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(StreamCodecs(out + "/slideshow-_(new).flv"), "flv1");

    // A 6 s tone under a slideshow of 2 x (10 + 5) + 5 + 2 = 37 frames (1.5 s); "Break when no
    // pictures" ends the run with the pictures. Each container gets its own audio encoder.
    const std::string tone = dir.File("tone.wav");
    TRunResult made = RunShell("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=6 -ac 2 -y '" + tone + "'");
    ASSERT_EQ(made.Status, 0) << made.Output;
    const std::pair<const char*, const char*> expected[] = {
        {"mp4", "mpeg4,aac"}, {"swf", "flv1,mp3"}, {"flv", "flv1,mp3"}, {"wmv", "wmv2,wmav2"}, {"mov", "mpeg4,aac"}};
    for (const auto& [format, codecs] : expected) {
        r = RunCli(Render(options + " --audio " + tone + " --break-when-no-pictures --format " + format));
        ASSERT_EQ(r.Status, 0) << format << ": " << r.Output;
        std::string file = out + "/slideshow-_(new)." + format;
        if (std::string(format) == "flv")
            file = out + "/slideshow-_(new_1).flv";
        EXPECT_EQ(StreamCodecs(file), codecs) << format;
        // The stop is asked for without waiting, from the first black frame on: the last
        // transition is complete, at most both black frames follow, and the tone is cut off.
        const std::string video = Probe(file);
        const int frames = std::atoi(video.substr(video.rfind(',') + 1).c_str());
        EXPECT_GE(frames, 35) << format << ": " << video;
        EXPECT_LE(frames, 37) << format << ": " << video;
        TRunResult duration = RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'");
        EXPECT_LT(std::atof(duration.Output.c_str()), 3.0) << format << ": " << duration.Output;
    }
}

TEST_F(RenderCommandTest, BreakWhenNoPicturesStopsAfterTheFirstEndFrame) {
    // 2 x (10 + 5) + 5 frames of pictures; the first end frame asks for the stop and is still
    // written, the second is never read.
    TRunResult r = RunCli(Render("--size 160x120 --rate 25:1 --hold 0.4 --transition 0.2 --seed 3 --format mp4 "
                              "--break-when-no-pictures"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Probe(out + "/slideshow-_(new).mp4"), "mpeg4,160,120,36");
}

TEST_F(RenderCommandTest, DemoRendersItsOwnPictures) {
    TRunResult r = RunCli("demo " + out + " --quiet");
    ASSERT_EQ(r.Status, 0) << r.Output;
    // A showcase browsers play: H.264 at 1280x720, the holds fitted to its 12 s song at 30:1.
    std::string file = out + "/slideshow-_(new).mp4";
    EXPECT_EQ(Probe(file), "h264,1280,720,360");
    EXPECT_EQ(StreamCodecs(file), "h264,aac");
    EXPECT_NE(r.Output.find(file + " (360 frames)"), std::string::npos) << r.Output;
    EXPECT_EQ(RunShell("ffmpeg -v error -i '" + file + "' -f null - 2>&1").Output, "");
    // The pictures move: two frames of the first picture's hold differ.
    auto frame = [&file](int n) {
        return RunShell("ffmpeg -v error -i '" + file + "' -vf 'select=eq(n\\," + std::to_string(n) +
                        ")' -frames:v 1 -f rawvideo -pix_fmt gray - | md5sum").Output;
    };
    EXPECT_NE(frame(45), frame(75));
}

// A newcomer's first video, without any choice but the pictures and a song: H.264 at full HD
// with stereo sound, which browsers, phones and players show. A project keeps its own choices.
TEST_F(RenderCommandTest, WithoutChoicesTheVideoIsFullHdH264WithStereoSound) {
    const std::string tone = dir.File("tone.wav");
    ASSERT_EQ(RunShell("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=1 -ac 2 -y '" + tone + "'").Status, 0);
    TRunResult r = RunCli("render --pictures" + pictures + " --out-dir " + out + " --audio " + tone +
                          " --hold 0.2 --transition 0.2 --sequential --quiet");
    ASSERT_EQ(r.Status, 0) << r.Output;
    const std::string file = out + "/slideshow-_(new).mp4";
    // The held pictures are written once: as a player shows them, the frames below at 30:1.
    const TRunResult shownFrames = RunShell("ffmpeg -nostdin -v error -i '" + file + "' -an -vf fps=30 -f framemd5 - | grep -vc '^#'");
    EXPECT_EQ(shownFrames.Output, "32\n");
    {
        // Every frame written, as before held pictures were written once.
        const std::string every = dir.File("every");
        TRunResult e = RunCli("render --pictures" + pictures + " --out-dir " + every + " --audio " + tone +
                              " --hold 0.2 --transition 0.2 --sequential --quiet --constant-frame-rate");
        ASSERT_EQ(e.Status, 0) << e.Output;
        const std::string file = every + "/slideshow-_(new).mp4";
        // 2 x (6 + 6) + 6 + 2 frames at 30:1.
        EXPECT_EQ(Probe(file), "h264,1920,1080,32");
    }
    const TRunResult audio = RunShell("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,channels,"
                                      "sample_rate -of csv=p=0 '" + file + "'");
    EXPECT_EQ(audio.Output, "aac,44100,2\n");
    const TRunResult rate = RunShell("ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate,pix_fmt "
                                     "-of csv=p=0 '" + file + "'");
    EXPECT_EQ(rate.Output, "yuv420p,30/1\n");

    // project save starts from the same choices; a project's own then rule its render.
    const std::string project = dir.File("first.pixaroll");
    ASSERT_EQ(RunCli("project save " + project + " --pictures" + pictures + " --audio " + tone).Status, 0);
    const TRunResult shown = RunCli("project show " + project);
    EXPECT_NE(shown.Output.find("output: mp4-h264 1920x1080 at 30:1"), std::string::npos) << shown.Output;
    EXPECT_NE(shown.Output.find("audio stereo 44100 Hz"), std::string::npos) << shown.Output;
    const std::string classic = dir.File("classic.pixaroll");
    ASSERT_EQ(RunCli("project save " + classic + " --pictures" + pictures + " --format wmv --size 96x64 --hold 0.2 "
                     "--transition 0.2 --rate 10:1")
                  .Status,
              0);
    r = RunCli("render --project " + classic + " --out-dir " + out + " --quiet");
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Probe(out + "/slideshow-_(new).wmv").rfind("wmv2,96,64,", 0), 0u) << Probe(out + "/slideshow-_(new).wmv");
}
} // namespace

// Ctrl+C and SIGTERM stop the job through the engine: the trailer is written, the file plays,
// and the exit status says which signal ended the run.
TEST_F(RenderCommandTest, SignalsStopTheRunAndLeaveAPlayableFile) {
    const struct {
        const char* Name;
        const char* Format;
        int Status;
    } cases[] = {{"INT", "mp4", 130}, {"TERM", "mov", 143}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string folder = dir.File(std::string("sig-") + c.Name);
        std::string file = folder + "/slideshow-_(new)." + c.Format;
        // Long enough to be still running when the signal comes: the signal is sent once frames
        // have reached the file.
        std::string script = "'" + std::string(CliPath()) + "' render --pictures" + pictures + " --out-dir '" + folder +
                             "' --format " + c.Format + " --size 320x240 --hold 600 --quiet & pid=$!; "
                             "n=0; while [ \"$(stat -c %s '" + file + "' 2>/dev/null || echo 0)\" -lt 20000 ] && [ $n -lt 600 ]; "
                             "do sleep 0.05; n=$((n+1)); done; kill -" + c.Name + " $pid; wait $pid; echo \"status=$?\"";
        TRunResult r = RunShell(script);
        EXPECT_NE(r.Output.find("status=" + std::to_string(c.Status)), std::string::npos) << r.Output;
        EXPECT_NE(r.Output.find(file), std::string::npos) << r.Output;
        TRunResult probe = RunShell("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                                    "stream=nb_read_packets -of csv=p=0 '" + file + "'");
        EXPECT_EQ(probe.Status, 0) << probe.Output;
        EXPECT_GT(std::atoi(probe.Output.c_str()), 10) << probe.Output;
        EXPECT_EQ(RunShell("ffmpeg -v error -i '" + file + "' -f null - 2>&1").Output, "");
    }
}

TEST_F(RenderCommandTest, ProgressLinesOnlyForLongRunsAndNoneWhenQuiet) {
    // Not a terminal: a plain line every few seconds, so a short run prints none ...
    TRunResult r = RunCli(Render("--size 96x64 --hold 0.2 --transition 0.2"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output.find("progress:"), std::string::npos) << r.Output;
    // ... and a longer one prints some (here one per report), with percent, frames, speed and
    // time left.
    r = RunCli(Render("--size 160x120 --hold 200 --transition 0.2 --format flv --progress-every 0"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    std::size_t at = r.Output.find("progress:");
    ASSERT_NE(at, std::string::npos) << r.Output;
    std::string line = r.Output.substr(at, r.Output.find('\n', at) - at);
    EXPECT_NE(line.find("%"), std::string::npos) << line;
    EXPECT_NE(line.find("frame "), std::string::npos) << line;
    EXPECT_NE(line.find("/12020"), std::string::npos) << line; // 2 x (6000 + 6) + 6 + 2 frames
    EXPECT_NE(line.find("x "), std::string::npos) << line;
    EXPECT_NE(line.find("left"), std::string::npos) << line;
    r = RunCli(Render("--size 160x120 --hold 200 --transition 0.2 --format flv --progress-every 0 --quiet"));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output.find("progress:"), std::string::npos) << r.Output;
}

TEST_F(RenderCommandTest, InfoPrintsTheInformationTextOfAMediaFile) {
    ASSERT_EQ(RunCli(Render("--size 96x64 --hold 0.2 --transition 0.2 --rate 25:1")).Status, 0);
    TRunResult r = RunCli("info '" + out + "/slideshow-_(new).mp4'");
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("File Name: " + out + "/slideshow-_(new).mp4\n"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("Format Name: mov,mp4,m4a,3gp,3g2,mj2\n"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("Stream #0[0x1](und), 1/12800: Video: mpeg4"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find(", 25 fps, 25 tbr, 12800 tbn"), std::string::npos) << r.Output;
    r = RunCli("info '" + dir.File("p0.jpg") + "'");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("Video: mjpeg"), std::string::npos) << r.Output;
    r = RunCli("info '" + dir.File("missing.mp4") + "'");
    EXPECT_EQ(r.Status, 1) << r.Output;
    EXPECT_NE(r.Output.find("missing.mp4"), std::string::npos) << r.Output;
}

TEST_F(RenderCommandTest, FailedRunsLeaveNoFileBehindAndSayWhy) {
    // A picture that cannot be read fails the run at its first frame: no empty video is left,
    // also after a second try.
    const std::string broken = dir.File("broken.jpg");
    std::ofstream(broken) << "not a picture";
    for (int attempt = 0; attempt < 2; ++attempt) {
        TRunResult r = RunCli("render --pictures " + broken + " --out-dir " + out + " --hold 0.2 --transition 0.2");
        EXPECT_EQ(r.Status, 1) << r.Output;
    }
    ASSERT_TRUE(std::filesystem::is_directory(out));
    EXPECT_TRUE(std::filesystem::is_empty(out)) << std::filesystem::directory_iterator(out)->path();

    // A folder given as a picture is named as a folder.
    std::filesystem::create_directory(dir.File("holiday.jpg"));
    TRunResult folder = RunCli("render --pictures " + dir.File("holiday.jpg") + " --out-dir " + out);
    EXPECT_EQ(folder.Status, 1);
    EXPECT_NE(folder.Output.find("is a folder"), std::string::npos) << folder.Output;

    // An output folder that cannot be made gives the system's reason.
    std::ofstream(dir.File("plain")) << "a file";
    TRunResult place = RunCli(Render("--out-dir " + dir.File("plain") + "/videos"));
    EXPECT_EQ(place.Status, 1);
    EXPECT_NE(place.Output.find("Not a directory"), std::string::npos) << place.Output;
}
