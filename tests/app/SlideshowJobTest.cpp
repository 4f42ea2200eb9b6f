// The slideshow job as Start builds it: inputs, parameter string, container row, output record
// and name, and the log lines of its failures.

#include "app/document/SlideshowDocument.h"
#include "app/SlideshowJob.h"
#include "frameinput/FrameInputFormat.h"
#include "frameinput/FrameInputParams.h"
#include "medialib/FFLoad.h"
#include "medialib/MainThread.h"
#include "tests/support/TestJpeg.h"
#include "tests/support/TestWav.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {
class SlideshowJob : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
        WriteTestJpeg(temp_.File("a.jpg"), 64, 48, [](int x, int) { return std::uint32_t(x * 3) << 8; });
        settings_.Pictures = {temp_.File("a.jpg")};
        settings_.OutDir = temp_.File("out");
        std::filesystem::create_directory(settings_.OutDir);
    }
    TTempDir temp_;
    TSlideshowSettings settings_;
    TFFEncoder encoder_;
};
} // namespace

TEST_F(SlideshowJob, TaskHasTheFrameInputTheSoundtrackAndTheContainersOutputRecord) {
    WriteTestWav(temp_.File("music.wav"), 0.5);
    settings_.FrameSize = "640x480";
    settings_.FrameRate = {25, 1};
    settings_.Audio = temp_.File("music.wav");
    TSlideshowJob job(encoder_);
    std::vector<std::string> log;
    job.OnLog = [&](const std::string& line) { log.push_back(line); };
    job.PrepareSequencer(settings_);
    EXPECT_EQ(job.Sequencer.FrameWidth, 640);
    EXPECT_EQ(job.Sequencer.FrameHeight, 480);
    EXPECT_EQ(job.Sequencer.HoldFrames, 125);
    EXPECT_EQ(job.Sequencer.TransitionFrames, 50);
    ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
    ASSERT_EQ(encoder_.TaskCount(), 1);
    TFFmpeg& task = encoder_.Task(job.TaskIndex());
    EXPECT_EQ(task.InputCount(), 2);
    EXPECT_TRUE(job.WithSoundtrack());
    EXPECT_EQ(job.OutputFile(), settings_.OutDir + "/slideshow-_(new).mp4");
    const TOutputOptions& out = task.OutputRecord(0);
    EXPECT_EQ(out.VideoCodec, "mpeg4");
    EXPECT_EQ(out.AudioCodec, "aac");
    EXPECT_EQ(out.FrameRate, "25/1");
    EXPECT_EQ(out.FrameSize, "640x480");
    EXPECT_EQ(out.AudioChannels, 2);
    EXPECT_EQ(out.AudioSampleRate, 44100);
    EXPECT_EQ(out.VideoBitrate, 768000);
    EXPECT_EQ(task.InputRecord(0).FileFormat, "frameinput");
    // The parameter string names this job's adapter with the rate and size of the frame input.
    std::string params = task.InputRecord(0).FileName;
    EXPECT_EQ(params, "a=" + std::to_string(job.Adapter.Id()) + ";r=25/1;s=640*480;bpp=32;t=Canvas");
    // Both inputs' information texts went to the log, each after an empty line.
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "");
    EXPECT_NE(log[1].find("Format Name: frameinput"), std::string::npos) << log[1];
    EXPECT_NE(log[3].find("Format Name: wav"), std::string::npos) << log[3];
    EXPECT_NE(log[3].find("Audio: pcm_s16le"), std::string::npos) << log[3];
}

TEST_F(SlideshowJob, SwfLeavesTheVideoCodecToTheContainerAndAMissingSoundtrackIsSkipped) {
    settings_.Format = "swf";
    settings_.Audio = temp_.File("gone.wav");
    settings_.AudioChannels = 1;
    settings_.AudioSampleRate = 0;
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
    TFFmpeg& task = encoder_.Task(job.TaskIndex());
    EXPECT_EQ(task.InputCount(), 1);
    EXPECT_FALSE(job.WithSoundtrack());
    EXPECT_EQ(task.OutputRecord(0).VideoCodec, "");
    EXPECT_EQ(task.OutputRecord(0).AudioCodec, "libmp3lame");
    EXPECT_EQ(task.OutputRecord(0).AudioChannels, 1);
    EXPECT_EQ(job.OutputFile(), settings_.OutDir + "/slideshow-_(new).swf");
}

TEST_F(SlideshowJob, AFrameSizeWithoutDigitsFailsToOpenWithTheFailureLinesAndNoTask) {
    settings_.FrameSize = "abc";
    TSlideshowJob job(encoder_);
    std::vector<std::string> log;
    job.OnLog = [&](const std::string& line) { log.push_back(line); };
    job.PrepareSequencer(settings_);
    EXPECT_EQ(job.Sequencer.FrameWidth, 320);
    EXPECT_EQ(job.Sequencer.FrameHeight, 320);
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(encoder_.TaskCount(), 0);
    EXPECT_EQ(job.LastError.rfind("File open error: ", 0), 0u) << job.LastError;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "");
    EXPECT_EQ(log[1], "***" + job.LastError);
    EXPECT_EQ(log[2], "");
}

TEST_F(SlideshowJob, AnOutputThatCannotBeSetRemovesTheTask) {
    settings_.OutDir = temp_.File("no/such/folder");
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(job.LastError.rfind("Cannot do convert, error: ", 0), 0u) << job.LastError;
    EXPECT_EQ(encoder_.TaskCount(), 0);
}

namespace {
// Every packet of the file's first stream: for rawvideo, the frames' bytes as they were encoded.
std::vector<std::vector<std::uint8_t>> ReadPackets(const std::string& file) {
    std::vector<std::vector<std::uint8_t>> packets;
    AVFormatContext* ctx = nullptr;
    if (ff::avformat_open_input(&ctx, file.c_str(), nullptr, nullptr) < 0)
        return packets;
    AVPacket* pkt = ff::av_packet_alloc();
    while (ff::av_read_frame(ctx, pkt) >= 0) {
        if (pkt->stream_index == 0)
            packets.emplace_back(pkt->data, pkt->data + pkt->size);
        ff::av_packet_unref(pkt);
    }
    ff::av_packet_free(&pkt);
    ff::avformat_close_input(&ctx);
    return packets;
}
} // namespace

// The frame path as a run takes it (frames drawn on the user-interface thread, held pictures
// handed on by reference, the engine on its worker) must deliver exactly the frames the
// sequencer draws, in order: the run is encoded losslessly and compared with a sequencer of
// the same settings drawing on its own.
TEST_F(SlideshowJob, EveryFrameReachesTheEncoderUnchangedAndInOrder) {
    const char* names[] = {"p0.jpg", "p1.jpg", "p2.jpg"};
    settings_.Pictures.clear();
    for (int i = 0; i < 3; ++i) {
        settings_.Pictures.push_back(temp_.File(names[i]));
        WriteTestJpeg(settings_.Pictures.back(), 80 + 16 * i, 60, [i](int x, int y) {
            return std::uint32_t((x * 7 + y * 3 + i * 85) & 0xFF) << (8 * i);
        });
    }
    settings_.FrameSize = "64x48";
    settings_.FrameRate = {10, 1};
    settings_.HoldSeconds = 1;
    settings_.TransitionSeconds = 0.7;
    settings_.Seed = 11;
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    RegisterFrameInputFormat();
    TInputOptions input = SlideshowInputOptions();
    int task = encoder_.AddTask(FrameInputParamString(job.Adapter.Id(), settings_.FrameRate.Text(), settings_.FrameSize), &input);
    ASSERT_GE(task, 0) << encoder_.LastErrMsg;
    TOutputOptions output;
    output.FileFormat = "nut";
    output.VideoCodec = "rawvideo";
    output.FrameRate = "10/1";
    output.FrameSize = settings_.FrameSize;
    output.ExtOptions = "pix_fmt=bgra";
    const std::string file = temp_.File("out/frames.nut");
    ASSERT_TRUE(encoder_.SetOutputFile(task, file, &output)) << encoder_.LastErrMsg;
    std::atomic<bool> ended{false};
    std::atomic<bool> failed{false};
    encoder_.OnTerminate = [&](TCustomEncoder&, const TTerminateInfo& info) {
        if (info.Failed)
            failed = true;
        if (info.TaskIndex < 0)
            ended = true;
    };
    job.Start(false);
    while (!ended)
        mainThread.Pump(std::chrono::milliseconds(10));
    encoder_.ClearTasks();
    SetMainThreadDispatcher(nullptr);
    ASSERT_FALSE(failed);

    TSlideshowSequencer reference;
    reference.PictureCount = [&] { return int(settings_.Pictures.size()); };
    reference.PicturePath = [&](int i) { return settings_.Pictures.at(std::size_t(i)); };
    reference.Prepare(64, 48, 10, 7, true, settings_.Seed);
    const auto packets = ReadPackets(file);
    ASSERT_EQ(packets.size(), 3u * (10 + 7) + 7 + 2);
    EXPECT_EQ(job.FramesDelivered(), int(packets.size()));
    int repeats = 0;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const TFrameBitmap* frame = reference.NextFrame();
        ASSERT_NE(frame, nullptr) << i;
        ASSERT_EQ(packets[i].size(), frame->ByteSize()) << i;
        ASSERT_TRUE(std::equal(packets[i].begin(), packets[i].end(), frame->Bits())) << "frame " << i;
        repeats += i > 0 && packets[i] == packets[i - 1];
    }
    EXPECT_GE(repeats, 3 * 9); // the held pictures
}

namespace {
std::size_t FilesIn(const std::string& folder) {
    std::error_code ec;
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder, ec), std::filesystem::directory_iterator()));
}
} // namespace

TEST_F(SlideshowJob, ASizeTheEncoderCannotTakeIsRefusedBeforeAnyBitmapOrFile) {
    const struct {
        const char* Format;
        const char* Size;
    } cases[] = {{"mp4", "100000x100000"}, {"flv", "40000x40000"}, {"mov", "0x0"}, {"swf", "-5x10"}, {"wmv", "7x5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        settings_.Format = c.Format;
        settings_.FrameSize = c.Size;
        TSlideshowJob job(encoder_);
        std::vector<std::string> log;
        job.OnLog = [&](const std::string& line) { log.push_back(line); };
        EXPECT_FALSE(job.PrepareSequencer(settings_));
        EXPECT_NE(job.LastError.find(std::string("frame size ") + c.Size), std::string::npos) << job.LastError;
        EXPECT_EQ(job.Sequencer.FromFrame.ByteSize(), 0u);
        EXPECT_EQ(job.Sequencer.CompositeFrame.ByteSize(), 0u);
        // Building the task on its own refuses it as well, with the failure lines.
        EXPECT_FALSE(job.BuildTask(settings_));
        EXPECT_EQ(job.LastError.rfind("Cannot do convert, error: the frame size", 0), 0u) << job.LastError;
        ASSERT_EQ(log.size(), 3u);
        EXPECT_EQ(log[1], "***" + job.LastError);
        EXPECT_EQ(encoder_.TaskCount(), 0);
        EXPECT_EQ(FilesIn(settings_.OutDir), 0u);
    }
}

TEST_F(SlideshowJob, AFailedBuildLeavesNoFileUnderTheClaimedName) {
    // The frame input refuses the text; then a soundtrack that cannot be opened.
    settings_.FrameSize = "abc";
    TSlideshowJob job(encoder_);
    job.PrepareSequencer(settings_);
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(FilesIn(settings_.OutDir), 0u);

    std::ofstream(temp_.File("noise.wav")) << "not a sound at all";
    settings_.FrameSize = "64x48";
    settings_.Audio = temp_.File("noise.wav");
    ASSERT_TRUE(job.PrepareSequencer(settings_));
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(job.LastError.rfind("File open error: ", 0), 0u) << job.LastError;
    EXPECT_EQ(FilesIn(settings_.OutDir), 0u);

    // A good one holds its name: the next job takes the next.
    settings_.Audio.clear();
    ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
    EXPECT_EQ(job.OutputFile(), settings_.OutDir + "/slideshow-_(new).mp4");
    TFFEncoder other;
    TSlideshowJob elsewhere(other);
    elsewhere.PrepareSequencer(settings_);
    ASSERT_TRUE(elsewhere.BuildTask(settings_)) << elsewhere.LastError;
    EXPECT_EQ(elsewhere.OutputFile(), settings_.OutDir + "/slideshow-_(new_1).mp4");
    other.ClearTasks();
    encoder_.ClearTasks(); // never started: both files go again
    EXPECT_EQ(FilesIn(settings_.OutDir), 0u);
}

TEST_F(SlideshowJob, ACaptionStreamThatCannotBeWrittenLeavesNoFileUnderTheClaimedName) {
    TSlideshowData data = TSlideshowDocument::FromSettings(settings_).Data();
    data.Slides.at(0).Caption = "harbour";
    data.CaptionSubtitles = true;
    TSlideshowJob job(encoder_);
    ASSERT_TRUE(job.PrepareSequencer(data)) << job.LastError;
    // The cues go to a temporary file: with a file where the temporary folder should be, the
    // build fails after the output's name was claimed.
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(temp_.File("a.jpg")));
    const bool built = job.BuildTask(settings_);
    qputenv("TMPDIR", tmp);
    EXPECT_FALSE(built);
    EXPECT_EQ(job.LastError.rfind("File open error: ", 0), 0u) << job.LastError;
    EXPECT_EQ(FilesIn(settings_.OutDir), 0u);
    // A temporary folder that does not exist is said so (the cues never land in the root folder).
    qputenv("TMPDIR", QByteArray::fromStdString(temp_.File("no-such-folder")));
    const bool builtWithoutFolder = job.BuildTask(settings_);
    qputenv("TMPDIR", tmp);
    EXPECT_FALSE(builtWithoutFolder);
    EXPECT_NE(job.LastError.find("no-such-folder does not exist"), std::string::npos) << job.LastError;
    EXPECT_EQ(FilesIn(settings_.OutDir), 0u);
}

TEST_F(SlideshowJob, TheOutputFolderIsAskedOnlyWhenTheTaskIsBuilt) {
    int asked = 0;
    const std::string folder = temp_.File("asked");
    std::filesystem::create_directory(folder);
    TSlideshowJob job(encoder_);
    job.OutputFolder = [&] {
        ++asked;
        return folder;
    };
    settings_.FrameSize = "0x0";
    EXPECT_FALSE(job.BuildTask(settings_));
    EXPECT_EQ(asked, 0);
    settings_.FrameSize = "64x48";
    job.PrepareSequencer(settings_);
    ASSERT_TRUE(job.BuildTask(settings_)) << job.LastError;
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(job.OutputFile(), folder + "/slideshow-_(new).mp4");
    encoder_.ClearTasks();
}

TEST_F(SlideshowJob, SequentialEffectsGoOnFromThePreviousJob) {
    settings_.FrameRate = {10, 1};
    settings_.HoldSeconds = 0.1;
    settings_.TransitionSeconds = 0.1;
    settings_.RandomEffects = false;
    TFrameBitmap canvas;
    canvas.SetSize(64, 48);
    int last = 0;
    {
        TSlideshowJob first(encoder_);
        first.PrepareSequencer(settings_);
        first.Sequencer.EffectNumber = 40;
        // The fade-in with effect 40, the hold, the transition to black with 41.
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(first.Adapter.OnReadFrameCanvas(first.Adapter, canvas, nullptr), 0);
        last = first.Sequencer.EffectNumber;
        EXPECT_GT(last, 40);
    }
    TSlideshowJob second(encoder_);
    second.PrepareSequencer(settings_);
    EXPECT_EQ(second.Sequencer.EffectNumber, last);
    // A random job draws its own first effect; the sequential one after it goes on from there.
    settings_.RandomEffects = true;
    settings_.Seed = 5;
    TSlideshowJob random(encoder_);
    random.PrepareSequencer(settings_);
    ASSERT_EQ(random.Adapter.OnReadFrameCanvas(random.Adapter, canvas, nullptr), 0);
    settings_.RandomEffects = false;
    TSlideshowJob third(encoder_);
    third.PrepareSequencer(settings_);
    EXPECT_EQ(third.Sequencer.EffectNumber, random.Sequencer.EffectNumber);
}
