#include "frameinput/FrameInputFormat.h"

#include "frameinput/FrameBuffer.h"
#include "frameinput/FrameInputAdapter.h"
#include "frameinput/FrameInputParams.h"
#include "medialib/MainThread.h"

#include <cassert>
#include <memory>
#include <new>

namespace {
constexpr std::int64_t MicrosPerSecond = 1000000;

PInputFrameInfo InfoOf(AVFormatContext* s) { return static_cast<PInputFrameInfo>(s->priv_data); }

// a / b rounded to the nearest integer, halves to the even neighbour; b > 0.
std::int64_t DivRoundEven(__int128 a, __int128 b) {
    __int128 q = a / b, r = a % b;
    if (r < 0) { // floor division, so the remainder is in [0, b)
        q -= 1;
        r += b;
    }
    __int128 twice = 2 * r;
    if (twice > b || (twice == b && (q & 1) != 0))
        q += 1;
    return std::int64_t(q);
}

// TimeBase x Clock: the time stamp of the frame the clock stands at.
std::int64_t ClockToPts(const TInputFrameInfo& info) {
    return DivRoundEven(__int128(info.Clock) * info.TimeBase.num, info.TimeBase.den);
}

std::int64_t PtsToClock(const TInputFrameInfo& info, std::int64_t pts) {
    return DivRoundEven(__int128(pts) * info.TimeBase.den, info.TimeBase.num);
}

void CopyParams(const TFrameInputParams& p, TInputFrameInfo& info) {
    info.AdapterId = p.AdapterId;
    info.TimeBase = p.TimeBase;
    info.Width = p.Width;
    info.Height = p.Height;
    info.BitsPerPixel = p.BitsPerPixel;
    info.InputType = p.InputType;
    info.PixelFormat = p.PixelFormat;
}

int Fail(AVFormatContext* s, int level, const std::string& message, int code) {
    ff::av_log(s, level, "%s", message.c_str());
    return code;
}

// Makes the frame buffer of the bitmap types; the YUV handler writes into the packet itself.
int PrepareBuffer(AVFormatContext* s, TInputFrameInfo& info, std::unique_ptr<TFrameBuffer>& buffer) {
    info.LineSize = PaddedLineSize(info.Width, info.BitsPerPixel);
    if (info.InputType == itYUV) {
        int size = ff::av_image_get_buffer_size(AVPixelFormat(info.PixelFormat), info.Width, info.Height, 1);
        if (size < 0)
            return Fail(s, AV_LOG_ERROR, "avpicture_get_size() failed\n", AVERROR(EIO));
        info.FrameSize = size;
        return 0;
    }
    info.FrameSize = info.LineSize * info.Height;
    try {
        buffer = std::make_unique<TFrameBuffer>(info.InputType, info.Width, info.Height,
                                                info.BitsPerPixel, info.LineSize);
    } catch (const std::bad_alloc&) {
        return Fail(s, AV_LOG_ERROR, "Cannot allocate the frame buffer\n", AVERROR(ENOMEM));
    }
    info.Bits = buffer->Bits();
    info.Canvas = info.InputType == itCanvas ? &buffer->Canvas() : nullptr;
    info.DC = info.InputType == itDC ? &buffer->DC() : nullptr;
    return 0;
}

int CreateStream(AVFormatContext* s, const TInputFrameInfo& info) {
    AVStream* st = ff::avformat_new_stream(s, nullptr);
    if (!st)
        return AVERROR(ENOMEM);
    st->time_base = AVRational{1, int(MicrosPerSecond)};
    st->avg_frame_rate = st->r_frame_rate = AVRational{info.TimeBase.den, info.TimeBase.num};
    st->start_time = 0;
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->width = info.Width;
    par->height = info.Height;
    par->format = info.PixelFormat;
    // The bit rate of the raw frames: FrameSize x 8 bits per frame duration.
    par->bit_rate = DivRoundEven(__int128(info.FrameSize) * 8 * info.TimeBase.den, info.TimeBase.num);
    s->flags |= AVFMT_FLAG_NOPARSE;
    return 0;
}

void ReleaseBuffer(TInputFrameInfo& info) {
    delete info.Buffer;
    info.Buffer = nullptr;
    info.Bits = nullptr;
    info.Canvas = nullptr;
    info.DC = nullptr;
}

// Frees the packet unless the read succeeds.
struct TPacketGuard {
    AVPacket* Packet;
    TInputFrameInfo& Info;
    ~TPacketGuard() {
        Info.Packet = nullptr;
        if (Packet)
            ff::av_packet_unref(Packet);
    }
};

int RaiseFrameEvent(AVFormatContext* s, TFrameInputAdapter& adapter, TInputFrameInfo& info, AVPacket* pkt) {
    int result = -1;
    switch (info.InputType) {
    case itYUV:
        result = adapter.ReadFrameYUV(pkt->data, &info);
        if (result < 0)
            ff::av_log(s, AV_LOG_INFO, "reading frame (YUV) return\n");
        return result;
    case itDC:
        result = adapter.ReadFrameDC(*info.DC, &info);
        if (result < 0)
            ff::av_log(s, AV_LOG_INFO, "reading frame (DC) return %d\n", result);
        return result;
    case itData:
        result = adapter.ReadFrameData(info.Bits, &info);
        if (result < 0)
            ff::av_log(s, AV_LOG_ERROR, "reading frame (Data) return %d\n", result);
        return result;
    case itCanvas:
        result = adapter.ReadFrameCanvas(*info.Canvas, &info);
        if (result < 0)
            ff::av_log(s, AV_LOG_INFO, "reading frame (Canvas) return %d\n", result);
        return result;
    }
    return -1;
}

int AttachPalette(AVPacket* pkt) {
    auto* palette = reinterpret_cast<std::uint32_t*>(
        ff::av_packet_new_side_data(pkt, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE));
    if (!palette)
        return AVERROR(ENOMEM);
    TFrameBuffer::FillPalette(palette);
    return 0;
}

// The packet memory of a bitmap frame: the previous packet's pixels again for a repeat, else a
// pooled buffer the frame is copied into. nullptr when no memory can be had.
AVBufferRef* BitmapPacketData(TInputFrameInfo& info) {
    TFrameBuffer& buffer = *info.Buffer;
    AVBufferRef* data = nullptr;
    if (info.Repeat && buffer.LastPacket())
        data = ff::av_buffer_ref(buffer.LastPacket());
    if (!data) {
        data = buffer.NewPacketBuffer(info.FrameSize);
        if (!data)
            return nullptr;
        buffer.CopyTo(data->data);
    }
    buffer.SetLastPacket(data);
    return data;
}

// The packet of a bitmap frame; a frame drawn ahead brings its memory along.
int FillBitmapPacket(TInputFrameInfo& info, AVPacket* pkt) {
    AVBufferRef* data = info.Buffer->TakeStaged();
    if (!data)
        data = BitmapPacketData(info);
    if (!data)
        return AVERROR(ENOMEM);
    pkt->buf = data;
    pkt->data = data->data;
    pkt->size = info.FrameSize;
    return 0;
}

// Draws ahead only canvas frames, and only where the reading thread is not the one that would
// have to draw (a reader on the user-interface thread would wait for itself).
bool DrawsAhead(const TFrameInputAdapter& adapter, const TInputFrameInfo& info) {
    if (!adapter.DrawAhead || info.InputType != itCanvas || !info.Buffer || !info.Canvas)
        return false;
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    return !(adapter.TriggerEventInMainThread && dispatcher && dispatcher->IsMainThread());
}

// Raises the next frame's canvas event on the input's thread with the record as a read would
// prepare it; the next read collects the result. The adapter is looked up again by the call:
// one destroyed meanwhile ends the input.
void StartFrameAhead(TInputFrameInfo& info) {
    info.PTS = ClockToPts(info);
    info.Repeat = 0;
    info.Packet = nullptr;
    PInputFrameInfo record = &info;
    const int id = info.AdapterId;
    info.Buffer->Ahead().Start([record, id] {
        TFrameInputAdapter* adapter = TFrameInputAdapter::Find(id);
        int result = adapter ? adapter->ReadFrameCanvas(*record->Canvas, record) : -1;
        // The copy into the packet memory is done here as well, beside the engine's work.
        if (result >= 0)
            record->Buffer->SetStaged(BitmapPacketData(*record));
        return result;
    });
}

// A handler may move the time stamp forward; the clock then continues from there.
void TakeHandlerPts(AVFormatContext* s, TInputFrameInfo& info, AVPacket* pkt) {
    if (info.PTS == pkt->pts)
        return;
    if (info.PTS > info.LastPTS) {
        pkt->pts = pkt->dts = info.PTS;
        info.Clock = PtsToClock(info, info.PTS);
    } else {
        ff::av_log(s, AV_LOG_WARNING, "invalid pts %lld\n", static_cast<long long>(info.PTS));
    }
}
} // namespace

int FrameInputReadHeader(AVFormatContext* s) {
    TInputFrameInfo& info = *InfoOf(s);
    TFrameInputParams params;
    std::string error;
    int rc = ParseFrameInputParams(s->url ? s->url : "", params, error);
    // An id that names no live adapter is as bad as none.
    TFrameInputAdapter* adapter = rc >= 0 ? TFrameInputAdapter::Find(params.AdapterId) : nullptr;
    if (!adapter)
        params.AdapterId = 0;
    if (rc >= 0)
        rc = ValidateFrameInputParams(params, error);
    if (rc < 0)
        return Fail(s, AV_LOG_ERROR, error, rc);
    CopyParams(params, info);

    std::unique_ptr<TFrameBuffer> buffer;
    if ((rc = PrepareBuffer(s, info, buffer)) < 0 || (rc = CreateStream(s, info)) < 0) {
        info.Bits = nullptr;
        info.Canvas = nullptr;
        info.DC = nullptr;
        return rc;
    }
    info.Buffer = buffer.release();
    info.LastPTS = AV_NOPTS_VALUE;
    // Only the bitmap types share a repeat's pixels; the YUV handler writes every packet anew.
    info.KeySpan = info.InputType == itYUV ? 0 : std::int64_t(params.KeySpanSeconds) * MicrosPerSecond;
    info.DeliveredPTS = info.LeftOutPTS = AV_NOPTS_VALUE;
    info.EndResult = 0;
    info.FrameNumber = 1;
    info.Clock = 0;
    info.Adapter = adapter;
    try {
        adapter->ReadHeader(&info);
    } catch (...) { // the input is not open: nobody would close it
        ReleaseBuffer(info);
        throw;
    }
    return 0;
}

namespace {
int ReadFrame(AVFormatContext* s, TFrameInputAdapter& adapter, TInputFrameInfo& info, AVPacket* pkt) {
    // The YUV handler writes into the packet; the bitmap types get theirs after the event.
    const bool bitmap = info.InputType != itYUV;
    if (!bitmap && ff::av_new_packet(pkt, info.FrameSize) < 0)
        return AVERROR(ENOMEM);
    TPacketGuard guard{pkt, info};
    pkt->stream_index = 0;
    pkt->pts = pkt->dts = ClockToPts(info);

    int result = 0;
    if (info.Buffer && info.Buffer->HasAhead() && info.Buffer->Ahead().Pending()) {
        // Drawn while the engine encoded the previous frame, with this frame's record.
        result = info.Buffer->Ahead().Collect();
        info.Packet = pkt;
        if (result < 0)
            ff::av_log(s, AV_LOG_INFO, "reading frame (Canvas) return %d\n", result);
    } else {
        info.Packet = pkt;
        info.PTS = pkt->pts;
        info.Repeat = 0;
        result = RaiseFrameEvent(s, adapter, info, pkt);
    }
    if (result < 0)
        return result;
    if (bitmap) {
        if (FillBitmapPacket(info, pkt) < 0)
            return AVERROR(ENOMEM);
        if (info.PixelFormat == AV_PIX_FMT_PAL8 && AttachPalette(pkt) < 0)
            return AVERROR(ENOMEM);
    }
    pkt->flags |= AV_PKT_FLAG_KEY; // every raw frame stands alone, YUV ones included
    TakeHandlerPts(s, info, pkt);
    info.Clock += MicrosPerSecond;
    info.FrameNumber += 1;
    info.LastPTS = pkt->pts;
    guard.Packet = nullptr;
    return info.FrameSize;
}
} // namespace

namespace {
// A repeat within the span of the packet delivered last is left out: the packet before then
// lasts until the next one delivered. The first repeat of a new span is delivered (a seek into
// the span needs a picture to start from), and so is everything but a repeat.
bool LeftOut(const TInputFrameInfo& info, const AVPacket* pkt, bool repeat) {
    if (info.KeySpan <= 0 || !repeat || info.DeliveredPTS == AV_NOPTS_VALUE || !info.Buffer ||
        !info.Buffer->LastPacket())
        return false;
    return pkt->pts / info.KeySpan == info.DeliveredPTS / info.KeySpan;
}

// The last repeat left out before the end, delivered after all: the stream then lasts as long
// as the frames read, its last picture included.
int DeliverLeftOut(TInputFrameInfo& info, AVPacket* pkt) {
    AVBufferRef* data = ff::av_buffer_ref(info.Buffer->LastPacket());
    if (!data)
        return AVERROR(ENOMEM);
    pkt->buf = data;
    pkt->data = data->data;
    pkt->size = info.FrameSize;
    pkt->stream_index = 0;
    pkt->pts = pkt->dts = info.LeftOutPTS;
    pkt->flags |= AV_PKT_FLAG_KEY;
    if (info.PixelFormat == AV_PIX_FMT_PAL8 && AttachPalette(pkt) < 0) {
        ff::av_packet_unref(pkt);
        return AVERROR(ENOMEM);
    }
    info.DeliveredPTS = info.LastPTS = pkt->pts;
    info.LeftOutPTS = AV_NOPTS_VALUE;
    return info.FrameSize;
}
} // namespace

int FrameInputReadPacket(AVFormatContext* s, AVPacket* pkt) {
    TInputFrameInfo& info = *InfoOf(s);
    if (info.EndResult < 0)
        return info.EndResult; // the frames ended; the adapter is not asked again
    TFrameInputAdapter* adapter = TFrameInputAdapter::Find(info.AdapterId);
    info.Adapter = adapter;
    if (!adapter)
        return Fail(s, AV_LOG_ERROR, "The FrameInputAdapter no longer exists\n", -1);
    for (;;) {
        int size = ReadFrame(s, *adapter, info, pkt);
        if (size < 0) {
            if (info.KeySpan <= 0)
                return size;
            info.EndResult = size;
            return info.LeftOutPTS != AV_NOPTS_VALUE ? DeliverLeftOut(info, pkt) : size;
        }
        // Decided before the next frame is drawn ahead: that drawing sets the last packet.
        const bool leftOut = LeftOut(info, pkt, info.Repeat != 0);
        if (leftOut) {
            info.LeftOutPTS = pkt->pts;
            ff::av_packet_unref(pkt);
        } else {
            info.DeliveredPTS = pkt->pts;
            info.LeftOutPTS = AV_NOPTS_VALUE;
        }
        // Only once the packet is complete: from here on the next frame's event owns the record.
        if (DrawsAhead(*adapter, info))
            StartFrameAhead(info);
        if (!leftOut)
            return size;
    }
}

int FrameInputReadClose(AVFormatContext* s) {
    TInputFrameInfo& info = *InfoOf(s);
    if (info.Buffer && info.Buffer->HasAhead())
        info.Buffer->Ahead().Discard(); // a frame drawn for nobody
    ReleaseBuffer(info);
    if (TFrameInputAdapter* adapter = TFrameInputAdapter::Find(info.AdapterId))
        adapter->ReadClose(&info);
    info.Adapter = nullptr;
    return 0;
}

const TVirtualInputFormat& FrameInputFormat() {
    static const TVirtualInputFormat format{
        "frameinput", "Frame input", int(sizeof(TInputFrameInfo)),
        FrameInputReadHeader, FrameInputReadPacket, FrameInputReadClose,
    };
    return format;
}

void RegisterFrameInputFormat() {
    bool registered = RegisterInputFormatOnce(FrameInputFormat());
    assert(registered && "another \"frameinput\" format is registered");
    (void)registered;
}
