#include "app/clips/ClipSource.h"

#include "app/clips/ClipError.h"
#include "app/pictures/FileKind.h"
#include "effects/BmpFile.h"
#include "medialib/CodecLock.h"
#include "medialib/FFUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace {
// Damaged packets tolerated in a row before the clip counts as unreadable: a phone clip with
// one broken packet still plays, a file of noise does not go on for ever.
constexpr int MaxBadPackets = 32;

std::string TagText(std::uint32_t tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((tag >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}
} // namespace

TClipSource::TClipSource(const std::string& fileName, int threads, std::function<bool()> stop)
    : file_(fileName), stop_(std::move(stop)) {
    if (const std::string kind = NotAFileKind(file_); !kind.empty())
        Fail("it is " + kind + ", not a file");
    AVFormatContext* ic = ff::avformat_alloc_context();
    if (!ic)
        Fail("out of memory");
    ic->interrupt_callback.callback = &TClipSource::Interrupt;
    ic->interrupt_callback.opaque = this;
    // avformat_open_input frees the context itself when it fails.
    if (int r = ff::avformat_open_input(&ic, file_.c_str(), nullptr, nullptr); r < 0)
        Fail("cannot open it", r);
    input_.reset(ic);
    if (int r = ff::avformat_find_stream_info(ic, nullptr); r < 0)
        Fail("cannot read its streams", r);
    const int index = ff::av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        Fail("it has no video stream");
    stream_ = ic->streams[index];
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        ic->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVCodecParameters* par = stream_->codecpar;
    const AVCodec* codec = ff::avcodec_find_decoder(par->codec_id);
    if (!codec) {
        const char* name = par->codec_id != AV_CODEC_ID_NONE ? ff::avcodec_get_name(par->codec_id) : nullptr;
        Fail(std::string("its video codec ") +
             (name ? std::string(name) : "\"" + TagText(par->codec_tag) + "\"") + " cannot be decoded here");
    }
    decoder_.reset(ff::avcodec_alloc_context3(codec));
    if (!decoder_)
        Fail("out of memory");
    if (int r = ff::avcodec_parameters_to_context(decoder_.get(), par); r < 0)
        Fail("cannot set up its decoder", r);
    decoder_->pkt_timebase = stream_->time_base;
    decoder_->thread_count = std::max(threads, 1);
    decoder_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    {
        TCodecLockGuard guard;
        if (int r = ff::avcodec_open2(decoder_.get(), codec, nullptr); r < 0)
            Fail(std::string("cannot open its ") + codec->name + " decoder", r);
    }
    packet_.reset(ff::av_packet_alloc());
    if (!packet_)
        Fail("out of memory");

    const std::uint8_t* matrix = ff::av_stream_get_side_data(stream_, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    rotation_ = RotationOfDisplayMatrix(reinterpret_cast<const std::int32_t*>(matrix));
    const AVRational tb = stream_->time_base;
    start_ = stream_->start_time != AV_NOPTS_VALUE ? double(stream_->start_time) * tb.num / tb.den : 0;
    if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0)
        duration_ = double(stream_->duration) * tb.num / tb.den;
    else if (ic->duration != AV_NOPTS_VALUE && ic->duration > 0)
        duration_ = double(ic->duration) / AV_TIME_BASE;
    int w = par->width, h = par->height;
    const AVRational sar = par->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
        w = int(std::lround(double(w) * sar.num / sar.den));
    if (rotation_ == 90 || rotation_ == 270)
        std::swap(w, h);
    displayWidth_ = w;
    displayHeight_ = h;
    if (w <= 0 || h <= 0)
        Fail("its video stream has no picture size");
}

TClipSource::~TClipSource() = default;

int TClipSource::Interrupt(void* self) {
    auto* source = static_cast<TClipSource*>(self);
    if (source->stop_ && source->stop_()) {
        source->stopped_ = true;
        return 1;
    }
    return 0;
}

void TClipSource::Fail(const std::string& reason) const { throw TPictureError(ClipErrorText(file_, reason)); }

void TClipSource::Fail(const std::string& what, int code) const {
    Fail(what + " (" + ErrorCodeText(code) + ")");
}

void TClipSource::SeekTo(double seconds) {
    if (!(seconds > 0))
        return;
    const std::int64_t target = std::int64_t((start_ + seconds) * AV_TIME_BASE);
    // A seek the container cannot do leaves the reading at the start: the frames before the
    // in point are then decoded and passed over, which is slower but the same picture.
    if (ff::avformat_seek_file(input_.get(), -1, std::numeric_limits<std::int64_t>::min(), target, target, 0) >= 0)
        ff::avcodec_flush_buffers(decoder_.get());
}

bool TClipSource::NextFrame(AVFrame* frame) {
    for (;;) {
        int r = ff::avcodec_receive_frame(decoder_.get(), frame);
        if (r >= 0)
            return true;
        if (r == AVERROR_EOF) {
            ended_ = true;
            return false;
        }
        if (r != AVERROR(EAGAIN))
            Fail("a picture cannot be decoded", r);
        if (ended_)
            return false;
        if (draining_) {
            // Sent the end already and the decoder asks for more: nothing more comes.
            ended_ = true;
            return false;
        }
        r = ff::av_read_frame(input_.get(), packet_.get());
        if (r < 0) {
            if (stopped_ || (stop_ && stop_())) {
                stopped_ = true;
                ended_ = true;
                return false;
            }
            if (r != AVERROR_EOF && r != AVERROR(EIO) && r != AVERROR_INVALIDDATA)
                Fail("it cannot be read on", r);
            // The end of the file, also a cut-short one: what the decoder holds comes out first.
            draining_ = true;
            ff::avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index != stream_->index) {
            ff::av_packet_unref(packet_.get());
            continue;
        }
        r = ff::avcodec_send_packet(decoder_.get(), packet_.get());
        ff::av_packet_unref(packet_.get());
        if (r < 0 && r != AVERROR(EAGAIN)) {
            if (++badPackets_ > MaxBadPackets)
                Fail("its pictures cannot be decoded", r);
        } else {
            badPackets_ = 0;
        }
    }
}

double TClipSource::FrameSeconds(const AVFrame* frame) const {
    const std::int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
        return std::numeric_limits<double>::quiet_NaN();
    const AVRational tb = stream_->time_base;
    return double(pts) * tb.num / tb.den - start_;
}

int RotationOfDisplayMatrix(const std::int32_t* matrix) {
    if (!matrix)
        return 0;
    const double angle = ff::av_display_rotation_get(matrix);
    if (!std::isfinite(angle))
        return 0;
    // The matrix turns counter-clockwise by angle; upright needs the opposite turn, to the
    // nearest quarter.
    int clockwise = int(std::lround(-angle / 90.0)) * 90;
    clockwise %= 360;
    if (clockwise < 0)
        clockwise += 360;
    return clockwise;
}
