#include "frameinput/FrameInputAdapter.h"
#include "medialib/MainThread.h"
#include "TestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {
class FrameInputFormat : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadLibraries(); }
    void SetUp() override { adapter_.TriggerEventInMainThread = false; }

    std::string Params(const std::string& rest) { return "a=" + std::to_string(adapter_.Id()) + ";" + rest; }

    TFrameInputAdapter adapter_;
    TLogCapture log_;
};

std::int64_t FramePts(std::int64_t frame, std::int64_t num, std::int64_t den) {
    // Rounded to nearest; ties do not occur for these rates.
    return (frame * 1000000 * den * 2 + num) / (2 * num);
}

TEST_F(FrameInputFormat, RegistersOnceUnderItsName) {
    RegisterFrameInputFormat();
    const TVirtualInputFormat* format = FindVirtualInputFormat("frameinput");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->PrivDataSize, int(sizeof(TInputFrameInfo)));
    EXPECT_EQ(format->ReadPacket, &FrameInputReadPacket);
    const AVInputFormat* descriptor = VirtualInputDescriptor("frameinput");
    ASSERT_NE(descriptor, nullptr);
    EXPECT_STREQ(descriptor->long_name, "Frame input");
}

TEST_F(FrameInputFormat, AdaptersAreFoundByIdWhileTheyLive) {
    int id;
    {
        TFrameInputAdapter other;
        id = other.Id();
        EXPECT_NE(id, adapter_.Id());
        EXPECT_EQ(TFrameInputAdapter::Find(id), &other);
        EXPECT_TRUE(other.TriggerEventInMainThread);
    }
    EXPECT_EQ(TFrameInputAdapter::Find(id), nullptr);
    TFrameInputAdapter later;
    EXPECT_NE(later.Id(), id); // a stale id never names a new adapter
    EXPECT_EQ(TFrameInputAdapter::Find(adapter_.Id()), &adapter_);
    EXPECT_EQ(TFrameInputAdapter::Find(0), nullptr);
}

TEST_F(FrameInputFormat, HeaderFailuresAreLoggedAndAnsweredWithTheirCodes) {
    int staleId;
    {
        TFrameInputAdapter gone;
        staleId = gone.Id();
    }
    const struct {
        std::string Text;
        const char* Message;
    } cases[] = {
        {"a=0;r=30/1;s=320*240;bpp=32;t=Canvas", "Invalid FrameInputAdapter\n"},
        {"a=" + std::to_string(staleId) + ";r=30/1;s=320*240;bpp=32;t=Canvas", "Invalid FrameInputAdapter\n"},
        {Params("r=0/1;s=320*240;bpp=32;t=Canvas"), "Invalid frame rate\n"},
        {Params("r=30/1;s=0x240;bpp=32;t=Canvas"), "Invalid frame size\n"},
        {Params("r=30/1;s=320x240;bpp=12;t=dc"), "Invalid BitsPerPixel\n"},
        {Params("r=30/1;s=320x240;pf=bogus"), "Unknown pixel format requested\n"},
    };
    for (const auto& c : cases) {
        TFrameInputContext input(c.Text);
        EXPECT_EQ(input.Open(), -22) << c.Text;
        std::vector<TLogLine> lines = log_.Take();
        ASSERT_EQ(lines.size(), 1u) << c.Text;
        EXPECT_EQ(lines[0].Level, AV_LOG_ERROR);
        EXPECT_EQ(lines[0].Text, c.Message);
        EXPECT_EQ(input.Context()->nb_streams, 0u);
    }
    // A YUV format whose size cannot be computed is an input/output error.
    TFrameInputContext huge(Params("r=30/1;s=100000*100000;t=yuv"));
    EXPECT_EQ(huge.Open(), AVERROR(EIO));
    bool logged = false;
    for (const TLogLine& line : log_.Take())
        logged |= line.Text == "avpicture_get_size() failed\n";
    EXPECT_TRUE(logged);
}

TEST_F(FrameInputFormat, HeaderDescribesOneRawVideoStream) {
    int headers = 0;
    adapter_.OnReadHeader = [&](TFrameInputAdapter& sender) {
        EXPECT_EQ(&sender, &adapter_);
        ++headers;
    };
    TFrameInputContext input(Params("r=30/1;s=320*240;bpp=32;t=Canvas"));
    ASSERT_EQ(input.Open(), 0);
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(adapter_.FrameInfo(), &input.Info());
    ASSERT_EQ(input.Context()->nb_streams, 1u);
    const AVStream* st = input.Context()->streams[0];
    EXPECT_EQ(st->codecpar->codec_type, AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(st->codecpar->codec_id, AV_CODEC_ID_RAWVIDEO);
    EXPECT_EQ(st->codecpar->width, 320);
    EXPECT_EQ(st->codecpar->height, 240);
    EXPECT_EQ(st->codecpar->format, AV_PIX_FMT_BGRA);
    EXPECT_EQ(st->codecpar->bit_rate, 320LL * 240 * 4 * 8 * 30);
    EXPECT_EQ(st->time_base.num, 1);
    EXPECT_EQ(st->time_base.den, 1000000);
    EXPECT_EQ(st->avg_frame_rate.num, 30);
    EXPECT_EQ(st->avg_frame_rate.den, 1);
    const TInputFrameInfo& info = input.Info();
    EXPECT_EQ(info.FrameSize, 320 * 240 * 4);
    EXPECT_EQ(info.LineSize, 1280);
    EXPECT_EQ(info.FrameNumber, 1);
    EXPECT_EQ(info.LastPTS, AV_NOPTS_VALUE);
    ASSERT_NE(info.Canvas, nullptr);
    EXPECT_EQ(info.Canvas->Width(), 320);

    int closes = 0;
    adapter_.OnReadClose = [&](TFrameInputAdapter&) { ++closes; };
    input.Close();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(adapter_.FrameInfo(), nullptr);
    EXPECT_EQ(input.Info().Canvas, nullptr);
    EXPECT_EQ(input.Info().Buffer, nullptr);
}

TEST_F(FrameInputFormat, CanvasPacketsHoldTheFrameTopRowFirstWithMicrosecondStamps) {
    std::vector<int> frameNumbers;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        frameNumbers.push_back(info->FrameNumber);
        EXPECT_NE(info->Packet, nullptr);
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
                canvas.SetPixel(x, y, TFrameBitmap::MakePixel(std::uint8_t(y), std::uint8_t(x), std::uint8_t(info->FrameNumber)));
        return 0;
    };
    TFrameInputContext input(Params("r=30000:1001;s=6x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(input.Read(), 6 * 4 * 4);
        const AVPacket* pkt = input.Packet();
        ASSERT_EQ(pkt->size, 6 * 4 * 4);
        EXPECT_EQ(pkt->pts, FramePts(k, 30000, 1001)) << k;
        EXPECT_EQ(pkt->dts, pkt->pts);
        EXPECT_TRUE(pkt->flags & AV_PKT_FLAG_KEY);
        // Row 3, column 5 of the picture: B = frame number, G = x, R = y.
        const std::uint8_t* p = pkt->data + 3 * 24 + 5 * 4;
        EXPECT_EQ(p[0], k + 1);
        EXPECT_EQ(p[1], 5);
        EXPECT_EQ(p[2], 3);
    }
    EXPECT_EQ(frameNumbers, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(input.Info().LastPTS, FramePts(3, 30000, 1001));
}

TEST_F(FrameInputFormat, TimeStampsRoundHalvesToEven) {
    adapter_.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo) { return 0; };
    // At 2,000,000 frames per second every other frame falls on half a microsecond.
    TFrameInputContext input(Params("r=2000000/1;s=2x2;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    std::vector<std::int64_t> stamps;
    for (int k = 0; k < 5; ++k) {
        ASSERT_GT(input.Read(), 0);
        stamps.push_back(input.Packet()->pts);
    }
    EXPECT_EQ(stamps, (std::vector<std::int64_t>{0, 0, 1, 2, 2}));
}

TEST_F(FrameInputFormat, NegativeHandlerResultsEndTheInput) {
    {
        TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
        ASSERT_EQ(input.Open(), 0);
        EXPECT_EQ(input.Read(), -1); // no handler
        EXPECT_EQ(input.Packet()->data, nullptr);
    }
    int calls = 0;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo) {
        return ++calls < 3 ? 0 : -7;
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    log_.Take();
    EXPECT_EQ(input.Read(), 64);
    EXPECT_EQ(input.Read(), 64);
    EXPECT_EQ(input.Read(), -7);
    EXPECT_EQ(adapter_.LastEventResult(), -7);
    EXPECT_EQ(input.Packet()->data, nullptr);
    EXPECT_EQ(input.Packet()->size, 0);
    std::vector<TLogLine> lines = log_.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Level, AV_LOG_INFO);
    EXPECT_EQ(lines[0].Text, "reading frame (Canvas) return -7\n");
}

TEST_F(FrameInputFormat, HandlerMayMoveTheTimeStampForwardOnly) {
    std::int64_t newPts = 0;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo info) {
        if (info->FrameNumber == 2 || info->FrameNumber >= 4)
            info->PTS = newPts;
        return 0;
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    newPts = 500000;
    std::vector<std::int64_t> stamps;
    for (int k = 0; k < 3; ++k) {
        ASSERT_GT(input.Read(), 0);
        stamps.push_back(input.Packet()->pts);
    }
    // Frame 2 jumps to half a second, frame 3 continues one frame later.
    EXPECT_EQ(stamps, (std::vector<std::int64_t>{0, 500000, 533333}));
    log_.Take();
    newPts = 533333; // not above the previous stamp
    ASSERT_GT(input.Read(), 0);
    EXPECT_EQ(input.Packet()->pts, 566667);
    std::vector<TLogLine> lines = log_.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Level, AV_LOG_WARNING);
    EXPECT_EQ(lines[0].Text, "invalid pts 533333\n");
    // The refused value is not remembered: the next one is measured against the stamp the
    // packet really got.
    EXPECT_EQ(input.Info().LastPTS, 566667);
    newPts = 550000;
    ASSERT_GT(input.Read(), 0);
    EXPECT_EQ(input.Packet()->pts, 600000);
    lines = log_.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text, "invalid pts 550000\n");
}

TEST_F(FrameInputFormat, CanvasIsPackedIntoTheStreamDepth) {
    const std::uint32_t colour = TFrameBitmap::MakePixel(0xF8, 0x08, 0x10);
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo) {
        canvas.Fill(0);
        canvas.SetPixel(1, 1, colour);
        canvas.SetPixel(2, 0, TFrameBitmap::MakePixel(0xE0, 0xE0, 0xC0));
        return 0;
    };
    { // 24 bits: B, G, R with rows padded to 12 bytes
        TFrameInputContext input(Params("r=30/1;s=3x2;bpp=24;t=canvas"));
        ASSERT_EQ(input.Open(), 0);
        ASSERT_EQ(input.Read(), 24);
        const std::uint8_t* row1 = input.Packet()->data + 12;
        EXPECT_EQ(row1[3], 0x10);
        EXPECT_EQ(row1[4], 0x08);
        EXPECT_EQ(row1[5], 0xF8);
        EXPECT_EQ(row1[9] | row1[10] | row1[11], 0);
    }
    { // 16 bits: RGB555 little-endian
        TFrameInputContext input(Params("r=30/1;s=3x2;bpp=16;t=canvas"));
        ASSERT_EQ(input.Open(), 0);
        ASSERT_EQ(input.Read(), 16);
        const std::uint8_t* p = input.Packet()->data + 8 + 2;
        EXPECT_EQ(p[0] | (p[1] << 8), (31 << 10) | (1 << 5) | 2);
    }
    { // 8 bits: RRRGGGBB indices with the palette attached
        TFrameInputContext input(Params("r=30/1;s=3x2;bpp=8;t=canvas"));
        ASSERT_EQ(input.Open(), 0);
        ASSERT_EQ(input.Read(), 8);
        EXPECT_EQ(input.Packet()->data[2], 0xFF);
        EXPECT_EQ(input.Packet()->data[0], 0x00);
        size_t size = 0;
        const std::uint8_t* side = nullptr;
        for (int i = 0; i < input.Packet()->side_data_elems; ++i)
            if (input.Packet()->side_data[i].type == AV_PKT_DATA_PALETTE) {
                side = input.Packet()->side_data[i].data;
                size = input.Packet()->side_data[i].size;
            }
        ASSERT_NE(side, nullptr);
        ASSERT_EQ(size, size_t(AVPALETTE_SIZE));
        const auto* palette = reinterpret_cast<const std::uint32_t*>(side);
        EXPECT_EQ(palette[0xFF], 0xFFFFFFFFu);
        EXPECT_EQ(palette[0x00], 0xFF000000u);
        EXPECT_EQ(palette[0xE0], 0xFFFF0000u);
    }
}

TEST_F(FrameInputFormat, RepeatedFramesShareThePreviousPacketsPixels) {
    // Frames 1 and 3 are drawn, 2 and 4 are marked as repeats (4 after scribbling on the canvas:
    // the repeat still hands out frame 3); frame 5 draws again.
    std::vector<int> seen;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        seen.push_back(info->Repeat);
        if (info->FrameNumber % 2 == 0) {
            if (info->FrameNumber == 4)
                canvas.Fill(0x00FFFFFF);
            info->Repeat = 1;
        } else {
            canvas.Fill(std::uint32_t(info->FrameNumber));
        }
        return 0;
    };
    TFrameInputContext input(Params("r=25/1;s=4x2;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    std::vector<AVPacket*> kept; // the engine may hold earlier frames while later ones are read
    const std::uint8_t* data[5] = {};
    for (int k = 0; k < 5; ++k) {
        ASSERT_EQ(input.Read(), 32) << k;
        EXPECT_EQ(input.Packet()->pts, k * 40000);
        data[k] = input.Packet()->data;
        kept.push_back(ff::av_packet_clone(input.Packet()));
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 0, 0, 0, 0})); // cleared before every event
    EXPECT_EQ(data[1], data[0]);
    EXPECT_NE(data[2], data[1]);
    EXPECT_EQ(data[3], data[2]);
    EXPECT_NE(data[4], data[3]);
    const std::uint8_t expected[5] = {1, 1, 3, 3, 5};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(kept[k]->data[0], expected[k]) << k;
        EXPECT_EQ(kept[k]->data[31], 0) << k;
        ff::av_packet_free(&kept[k]);
    }
}

TEST_F(FrameInputFormat, PooledPacketsComeWithZeroedPaddingAndAFirstRepeatIsCopied) {
    adapter_.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        canvas.Fill(0x00010203);
        info->Repeat = 1; // nothing came before the first frame: it is copied all the same
        return 0;
    };
    TFrameInputContext input(Params("r=25/1;s=3x3;bpp=24;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    ASSERT_EQ(input.Read(), 36);
    EXPECT_EQ(input.Packet()->data[0], 0x03);
    EXPECT_EQ(input.Packet()->data[35], 0); // row padding
    // Scribble over the padding the decoders may read, let go of the buffer and read again:
    // the pool hands a buffer back only with its padding cleared.
    adapter_.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo) {
        canvas.Fill(0x00040506);
        return 0;
    };
    for (int k = 0; k < 3; ++k) {
        std::memset(input.Packet()->data + 36, 0xEE, AV_INPUT_BUFFER_PADDING_SIZE);
        ASSERT_EQ(input.Read(), 36);
        EXPECT_EQ(input.Packet()->data[0], 0x06);
        for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i)
            ASSERT_EQ(input.Packet()->data[36 + i], 0) << k << " " << i;
    }
}

TEST_F(FrameInputFormat, DataDcAndYuvHandlersFillTheirBuffers) {
    adapter_.OnReadFrameData = [](TFrameInputAdapter&, void* data, PInputFrameInfo info) {
        static_cast<std::uint8_t*>(data)[info->LineSize + 1] = 0xAB; // row 1, byte 1
        return 0;
    };
    adapter_.OnReadFrameDC = [](TFrameInputAdapter&, TFrameDC& dc, PInputFrameInfo) {
        dc.Bits[dc.LineSize * (dc.Height - 1)] = 0xCD; // first byte of the bottom row
        return 0;
    };
    adapter_.OnReadFrameYUV = [](TFrameInputAdapter&, void* data, PInputFrameInfo info) {
        std::memset(data, 0x80, info->FrameSize);
        return 0;
    };
    {
        TFrameInputContext input(Params("r=30/1;s=5x3;bpp=8;t=data"));
        ASSERT_EQ(input.Open(), 0);
        ASSERT_EQ(input.Read(), 24);
        EXPECT_EQ(input.Packet()->data[8 + 1], 0xAB);
    }
    {
        TFrameInputContext input(Params("r=30/1;s=5x3;bpp=24;t=dc"));
        ASSERT_EQ(input.Open(), 0);
        ASSERT_EQ(input.Read(), 48);
        EXPECT_EQ(input.Packet()->data[32], 0xCD);
        EXPECT_TRUE(input.Packet()->flags & AV_PKT_FLAG_KEY);
    }
    {
        TFrameInputContext input(Params("r=30/1;s=8x6;t=yuv"));
        ASSERT_EQ(input.Open(), 0);
        EXPECT_EQ(input.Context()->streams[0]->codecpar->format, AV_PIX_FMT_YUV420P);
        ASSERT_EQ(input.Read(), 8 * 6 * 3 / 2);
        EXPECT_EQ(input.Packet()->data[8 * 6 * 3 / 2 - 1], 0x80);
        EXPECT_TRUE(input.Packet()->flags & AV_PKT_FLAG_KEY);
    }
}

TEST_F(FrameInputFormat, CanvasIsLockedAroundAHandlerOnTheReadingThread) {
    bool lockedElsewhere = false;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo) {
        // Another thread must not get the canvas while the handler draws on it.
        lockedElsewhere = !std::async(std::launch::async, [&] {
                               bool got = canvas.TryLock();
                               if (got)
                                   canvas.Unlock();
                               return got;
                           }).get();
        return 0;
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    ASSERT_EQ(input.Read(), 64);
    EXPECT_TRUE(lockedElsewhere);
}

TEST_F(FrameInputFormat, AnAdapterDestroyedWhileItsInputIsOpenEndsTheInput) {
    auto other = std::make_unique<TFrameInputAdapter>();
    other->TriggerEventInMainThread = false;
    other->OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo) { return 0; };
    TFrameInputContext input("a=" + std::to_string(other->Id()) + ";r=30/1;s=4x4;bpp=32;t=canvas");
    ASSERT_EQ(input.Open(), 0);
    ASSERT_EQ(input.Read(), 64);
    other.reset();
    EXPECT_EQ(input.Read(), -1);
    EXPECT_EQ(input.Packet()->data, nullptr);
    input.Close(); // releases the buffer without an adapter to tell
    EXPECT_EQ(input.Info().Buffer, nullptr);
}

TEST_F(FrameInputFormat, HandlerExceptionsReachTheReaderAndFreeThePacket) {
    adapter_.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo) -> int {
        throw std::runtime_error("cannot load picture.jpg");
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    EXPECT_THROW(input.Read(), std::runtime_error);
    EXPECT_EQ(input.Packet()->data, nullptr);
    EXPECT_EQ(input.Info().Packet, nullptr);
}

TEST_F(FrameInputFormat, EventsRunOnTheMainThreadWhileTheReaderWaits) {
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    adapter_.TriggerEventInMainThread = true;
    std::thread::id handlerThread;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo) {
        handlerThread = std::this_thread::get_id();
        canvas.Fill(0x00123456);
        return 0;
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0); // on the main thread itself: a direct call
    auto reader = std::async(std::launch::async, [&] { return input.Read(); });
    while (reader.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        mainThread.Pump(std::chrono::milliseconds(10));
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(reader.get(), 64);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    EXPECT_EQ(input.Packet()->data[0], 0x56);
}
} // namespace

namespace {
struct TCodecFree {
    void operator()(AVCodecContext* c) const { ff::avcodec_free_context(&c); }
};
struct TFrameFree {
    void operator()(AVFrame* f) const { ff::av_frame_free(&f); }
};

// Reads one packet and decodes it with FFmpeg's raw-video decoder, as the engine will.
std::unique_ptr<AVFrame, TFrameFree> DecodeOne(TFrameInputContext& input) {
    std::unique_ptr<AVCodecContext, TCodecFree> codec(
        ff::avcodec_alloc_context3(ff::avcodec_find_decoder(AV_CODEC_ID_RAWVIDEO)));
    EXPECT_GE(ff::avcodec_parameters_to_context(codec.get(), input.Context()->streams[0]->codecpar), 0);
    EXPECT_EQ(ff::avcodec_open2(codec.get(), codec->codec, nullptr), 0);
    std::unique_ptr<AVFrame, TFrameFree> frame(ff::av_frame_alloc());
    EXPECT_GT(input.Read(), 0);
    EXPECT_EQ(ff::avcodec_send_packet(codec.get(), input.Packet()), 0);
    EXPECT_EQ(ff::avcodec_receive_frame(codec.get(), frame.get()), 0);
    return frame;
}

TEST_F(FrameInputFormat, PacketsOfOddWidthDecodeToTheDrawnPicture) {
    // Pixel (x, y) of a 5 by 3 canvas gets red 0x20 x y, green 0x20 x x and blue 0xC0:
    // colours the 16, 24 and 32-bit depths keep exactly.
    adapter_.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo) {
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
                canvas.SetPixel(x, y, TFrameBitmap::MakePixel(std::uint8_t(0x20 * y), std::uint8_t(0x20 * x), 0xC0));
        return 0;
    };
    for (int bits : {8, 16, 24, 32}) {
        TFrameInputContext input(Params("r=25/1;s=5x3;t=canvas;bpp=" + std::to_string(bits)));
        ASSERT_EQ(input.Open(), 0);
        auto frame = DecodeOne(input);
        ASSERT_EQ(frame->width, 5);
        for (auto [x, y] : {std::pair{4, 2}, std::pair{1, 2}, std::pair{3, 1}}) {
            const std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
            std::uint32_t r = 0, g = 0, b = 0;
            if (bits == 32 || bits == 24) {
                const std::uint8_t* p = row + x * (bits / 8);
                b = p[0], g = p[1], r = p[2];
            } else if (bits == 16) {
                std::uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
                r = (v >> 10 & 31) << 3, g = (v >> 5 & 31) << 3, b = (v & 31) << 3;
            } else {
                std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(frame->data[1])[row[x]];
                r = argb >> 16 & 0xFF, g = argb >> 8 & 0xFF, b = argb & 0xFF;
            }
            // The 8-bit palette has 8 levels of red and green (0, 36, 72, ...) and 4 of blue.
            std::uint32_t wantR = bits == 8 ? std::uint32_t(y) * 255 / 7 : 0x20u * y;
            std::uint32_t wantG = bits == 8 ? std::uint32_t(x) * 255 / 7 : 0x20u * x;
            std::uint32_t wantB = bits == 8 ? 255u : 0xC0u;
            EXPECT_EQ(r, wantR) << bits << " bits at " << x << "," << y;
            EXPECT_EQ(g, wantG) << bits << " bits at " << x << "," << y;
            EXPECT_EQ(b, wantB) << bits << " bits at " << x << "," << y;
        }
    }
}
} // namespace

namespace {
// Waits up to two seconds for done().
template <class TDone>
bool WaitFor(TDone done) {
    for (int i = 0; i < 400 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}
} // namespace

TEST_F(FrameInputFormat, FramesDrawnAheadKeepTheirOrderRecordsAndEnd) {
    adapter_.DrawAhead = true;
    std::mutex lock;
    std::vector<int> numbers;
    std::vector<std::int64_t> stamps;
    std::atomic<int> events{0};
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        {
            std::lock_guard guard(lock);
            numbers.push_back(info->FrameNumber);
            stamps.push_back(info->PTS);
        }
        ++events;
        if (info->FrameNumber == 6)
            return -1;
        canvas.Fill(std::uint32_t(info->FrameNumber));
        if (info->FrameNumber == 3)
            info->PTS += 500000; // moved forward: the clock goes on from there
        if (info->FrameNumber == 4)
            info->Repeat = 1;
        return 0;
    };
    TFrameInputContext input(Params("r=10/1;s=4x2;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    const std::int64_t expectedPts[] = {0, 100000, 700000, 800000, 900000};
    const std::uint8_t expectedPixel[] = {1, 2, 3, 3, 5};
    for (int k = 0; k < 5; ++k) {
        ASSERT_EQ(input.Read(), 32) << k;
        EXPECT_EQ(input.Packet()->pts, expectedPts[k]) << k;
        EXPECT_EQ(input.Packet()->data[0], expectedPixel[k]) << k;
        // The next frame is drawn without another read.
        EXPECT_TRUE(WaitFor([&] { return events.load() == k + 2; })) << k;
    }
    EXPECT_EQ(input.Read(), -1);
    EXPECT_EQ(events.load(), 6);
    std::lock_guard guard(lock);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    // Frame 3 saw its clock time before it moved it; the frames after it go on from the move.
    EXPECT_EQ(stamps, (std::vector<std::int64_t>{0, 100000, 200000, 800000, 900000, 1000000}));
}

TEST_F(FrameInputFormat, AFailureWhileDrawingAheadReachesTheNextReadAndCloseWaitsForTheDrawing) {
    adapter_.DrawAhead = true;
    adapter_.OnReadFrameCanvas = [](TFrameInputAdapter&, TFrameBitmap&, PInputFrameInfo info) -> int {
        if (info->FrameNumber == 2)
            throw std::runtime_error("cannot load picture.jpg");
        return 0;
    };
    {
        TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
        ASSERT_EQ(input.Open(), 0);
        ASSERT_EQ(input.Read(), 64);
        EXPECT_THROW(input.Read(), std::runtime_error);
        EXPECT_EQ(input.Info().Packet, nullptr);
    }
    // Closed while the next frame is being drawn: the close waits, then the close event follows.
    std::atomic<bool> drawing{false};
    std::vector<std::string> order;
    std::mutex lock;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        if (info->FrameNumber == 2) {
            drawing = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        canvas.Fill(0);
        std::lock_guard guard(lock);
        order.push_back("frame " + std::to_string(info->FrameNumber));
        return 0;
    };
    adapter_.OnReadClose = [&](TFrameInputAdapter&) {
        std::lock_guard guard(lock);
        order.push_back("close");
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    ASSERT_EQ(input.Read(), 64);
    ASSERT_TRUE(WaitFor([&] { return drawing.load(); }));
    input.Close();
    std::lock_guard guard(lock);
    EXPECT_EQ(order, (std::vector<std::string>{"frame 1", "frame 2", "close"}));
}

TEST_F(FrameInputFormat, DrawingAheadOnTheMainThreadOverlapsAWorkersReadsAndNeverWaitsForItself) {
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    adapter_.TriggerEventInMainThread = true;
    adapter_.DrawAhead = true;
    std::vector<std::thread::id> threads;
    adapter_.OnReadFrameCanvas = [&](TFrameInputAdapter&, TFrameBitmap& canvas, PInputFrameInfo info) {
        threads.push_back(std::this_thread::get_id());
        canvas.Fill(std::uint32_t(info->FrameNumber));
        return info->FrameNumber <= 3 ? 0 : -1;
    };
    TFrameInputContext input(Params("r=30/1;s=4x4;bpp=32;t=canvas"));
    ASSERT_EQ(input.Open(), 0);
    // Read on the main thread itself: one frame at a time (drawing ahead would wait for itself).
    ASSERT_EQ(input.Read(), 64);
    EXPECT_EQ(mainThread.Pending(), 0u);
    EXPECT_EQ(threads.size(), 1u);
    // A worker reads the rest while this thread serves the calls.
    std::vector<int> pixels;
    auto reader = std::async(std::launch::async, [&] {
        int r;
        while ((r = input.Read()) > 0)
            pixels.push_back(input.Packet()->data[0]);
        return r;
    });
    while (reader.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        mainThread.Pump(std::chrono::milliseconds(5));
    EXPECT_EQ(reader.get(), -1);
    input.Close();
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(pixels, (std::vector<int>{2, 3}));
    ASSERT_EQ(threads.size(), 4u);
    for (std::thread::id id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}
