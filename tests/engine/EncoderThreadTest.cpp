// The audio encoder on its own thread: every packet in order and drained at the end, failures
// reported to the loop, and a whole run whose audio, encoded beside the video, comes out as the
// same packets as when it is encoded alone.

#include "engine/EncoderThread.h"
#include "engine/FFmpegException.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {
// An opened MP2 encoder: 1152-sample frames, one packet per frame, stereo 16-bit at 44100 Hz.
TCodecContextPtr OpenMp2() {
    const AVCodec* codec = ff::avcodec_find_encoder_by_name("mp2");
    TCodecContextPtr enc(ff::avcodec_alloc_context3(codec));
    enc->sample_fmt = AV_SAMPLE_FMT_S16;
    enc->sample_rate = 44100;
    enc->time_base = AVRational{1, 44100};
    enc->bit_rate = 128000;
    ff::av_channel_layout_default(&enc->ch_layout, 2);
    EXPECT_GE(ff::avcodec_open2(enc.get(), codec, nullptr), 0);
    return enc;
}

TFramePtr Samples(const AVCodecContext* enc, int count, int64_t pts) {
    TFramePtr frame = NewFrame();
    frame->format = enc->sample_fmt;
    frame->sample_rate = enc->sample_rate;
    frame->nb_samples = count;
    ff::av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
    auto* s = reinterpret_cast<int16_t*>(frame->data[0]);
    for (int i = 0; i < count * 2; ++i)
        s[i] = int16_t((pts + i / 2) * 37 % 20000);
    frame->pts = pts;
    return frame;
}

// The packets of the file's audio stream: time stamp, duration and a hash of the data.
std::string AudioPackets(const std::string& file) {
    return RunCommand("ffprobe -v error -select_streams a:0 -show_data_hash MD5 -show_entries "
                      "packet=pts,duration,data_hash -of csv '" + file + "'");
}
} // namespace

TEST(EngineEncoderThread, HandsOutEveryPacketInOrderAndDrainsAtTheEnd) {
    TCodecContextPtr enc = OpenMp2();
    std::vector<int64_t> stamps;
    {
        TEncoderThread thread(enc.get(), "Audio encoding failed", 2);
        auto take = [&](AVPacket* pkt) { stamps.push_back(pkt->pts); };
        for (int k = 0; k < 40; ++k) {
            TFramePtr frame = Samples(enc.get(), 1152, int64_t(k) * 1152);
            thread.Send(frame.get());
            if (k % 7 == 0)
                thread.Collect(take, false);
        }
        thread.Send(nullptr);
        thread.Collect(take, true);
        EXPECT_THROW(thread.Send(nullptr), FFmpegException); // nothing goes in after the end
    }
    ASSERT_EQ(stamps.size(), 40u);
    for (std::size_t k = 0; k < stamps.size(); ++k)
        EXPECT_EQ(stamps[k] - stamps[0], int64_t(k) * 1152) << k; // after the encoder's delay
}

TEST(EngineEncoderThread, AFailingEncoderIsReportedToTheLoopAndQueuedFramesAreDropped) {
    TCodecContextPtr enc = OpenMp2();
    // A short frame may only be the last one: the full frame after it makes the encoder fail.
    TEncoderThread thread(enc.get(), "Audio encoding failed", 4);
    TFramePtr shortFrame = Samples(enc.get(), 100, 0), full = Samples(enc.get(), 1152, 1152);
    try {
        thread.Send(shortFrame.get());
        thread.Send(full.get());
        thread.Send(nullptr);
        thread.Collect([](AVPacket*) {}, true);
        FAIL() << "the failure was not reported";
    } catch (const FFmpegException& e) {
        EXPECT_STREQ(e.what(), "Audio encoding failed");
    }
    EXPECT_THROW(thread.Collect([](AVPacket*) {}, false), FFmpegException);
    // Destroyed with frames that were never encoded: no wait, no leak.
    TEncoderThread idle(enc.get(), "Audio encoding failed", 4);
}

TEST(EngineEncoderThread, AudioBesideVideoComesOutAsTheSamePacketsAsAlone) {
    TTempDir dir;
    const std::string tone = dir.File("tone.wav");
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error -f lavfi -i \"sine=frequency=300:sample_rate=48000:duration=3\" "
                                 "-ac 2 -y '" + tone + "'", &status);
    ASSERT_EQ(status, 0) << out;
    auto run = [&](bool withVideo, const std::string& file) {
        TCustomFFmpeg job(2);
        if (withVideo) {
            job.ApplyOption("f", TestFramesFormat);
            ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 75))) << job.LastError;
        }
        ASSERT_TRUE(job.OpenInputFile(tone)) << job.LastError;
        job.ApplyOption("acodec", "aac");
        job.ApplyOption("ar", "44100");
        if (withVideo)
            job.ApplyOption("vcodec", "mpeg4");
        ASSERT_GE(job.OpenOutputFile(file), 0) << job.LastError;
        ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    };
    const std::string alone = dir.File("alone.mka"), beside = dir.File("beside.mka");
    run(false, alone);
    run(true, beside);
    const std::string expected = AudioPackets(alone);
    ASSERT_GT(std::count(expected.begin(), expected.end(), '\n'), 100);
    EXPECT_EQ(AudioPackets(beside), expected);
    EXPECT_EQ(DecodeErrors(beside), "");
}
