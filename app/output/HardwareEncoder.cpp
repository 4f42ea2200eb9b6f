#include "app/output/HardwareEncoder.h"

#include "engine/FFPtr.h"
#include "engine/FFmpegException.h"
#include "engine/HardwareFrames.h"
#include "medialib/CodecLock.h"
#include "medialib/FFLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {
// The size of the probe's one picture: small, and a multiple of every chip's block size.
constexpr int ProbeWidth = 256, ProbeHeight = 256;

// The first render node of the folder by number, or "" (with why in reason).
std::string FirstRenderNode(const std::string& folder, std::string& reason) {
    std::error_code ec;
    std::string best;
    long bestNumber = -1;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("renderD", 0) != 0 || name.size() == 7)
            continue;
        char* rest = nullptr;
        const long number = std::strtol(name.c_str() + 7, &rest, 10);
        if (*rest == '\0' && (bestNumber < 0 || number < bestNumber)) {
            bestNumber = number;
            best = it->path().string();
        }
    }
    if (best.empty())
        reason = "no render node in " + folder + (ec ? " (" + ec.message() + ")" : "");
    return best;
}

// Opens the encoder on a small pool of surfaces of the node and encodes one grey picture through
// it: what the job will do, in miniature. "" when a packet came out, else why not.
std::string EncodeOnePicture(const AVCodec* codec, const std::string& node) {
    try {
        THardwareFrames surfaces(AV_HWDEVICE_TYPE_VAAPI, node, ProbeWidth, ProbeHeight, AV_PIX_FMT_NV12, 4);
        TCodecContextPtr enc(ff::avcodec_alloc_context3(codec));
        TFramePtr picture = NewFrame();
        TPacketPtr packet = NewPacket();
        if (!enc)
            return "out of memory";
        enc->width = ProbeWidth;
        enc->height = ProbeHeight;
        enc->time_base = AVRational{1, 25};
        enc->framerate = AVRational{25, 1};
        enc->pix_fmt = AV_PIX_FMT_VAAPI;
        enc->hw_frames_ctx = ff::av_buffer_ref(surfaces.FramesContext());
        if (!enc->hw_frames_ctx)
            return "out of memory";
        TFFErrorCapture reasons;
        {
            TCodecLockGuard guard;
            const int r = guard.Locked() ? ff::avcodec_open2(enc.get(), codec, nullptr) : AVERROR(EBUSY);
            if (r < 0)
                return std::string(codec->name) + " does not open on " + node + ": " + HardwareErrorText(reasons, r);
        }
        picture->width = ProbeWidth;
        picture->height = ProbeHeight;
        picture->format = AV_PIX_FMT_NV12;
        if (ff::av_frame_get_buffer(picture.get(), 0) < 0)
            return "out of memory";
        std::memset(picture->data[0], 128, std::size_t(picture->linesize[0]) * ProbeHeight);
        std::memset(picture->data[1], 128, std::size_t(picture->linesize[1]) * ProbeHeight / 2);
        picture->pts = 0;
        AVFrame* surface = surfaces.Upload(picture.get());
        int r = ff::avcodec_send_frame(enc.get(), surface);
        if (r >= 0)
            r = ff::avcodec_send_frame(enc.get(), nullptr);
        while (r >= 0) {
            r = ff::avcodec_receive_packet(enc.get(), packet.get());
            if (r >= 0 && packet->size > 0)
                return "";
            ff::av_packet_unref(packet.get());
        }
        return std::string(codec->name) + " encoded nothing on " + node + ": " +
               (r == AVERROR_EOF ? std::string("no packet came out") : HardwareErrorText(reasons, r));
    } catch (const FFmpegException& e) {
        return e.what();
    }
}
} // namespace

THardwareProbe ProbeVaapiEncoder(const std::string& encoder, const std::string& driFolder) {
    THardwareProbe probe;
    probe.Encoder = encoder;
    const AVCodec* codec = ff::avcodec_find_encoder_by_name ? ff::avcodec_find_encoder_by_name(encoder.c_str()) : nullptr;
    if (!codec) {
        probe.Reason = "libavcodec has no " + encoder + " encoder";
        return probe;
    }
    if (std::string problem = HardwareDeviceProblem(AV_HWDEVICE_TYPE_VAAPI); !problem.empty()) {
        probe.Reason = problem;
        return probe;
    }
    probe.RenderNode = FirstRenderNode(driFolder, probe.Reason);
    if (probe.RenderNode.empty())
        return probe;
    const int fd = ::open(probe.RenderNode.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        probe.Reason = "cannot open " + probe.RenderNode + ": " + std::strerror(errno);
        return probe;
    }
    ::close(fd);
    probe.Reason = EncodeOnePicture(codec, probe.RenderNode);
    probe.Usable = probe.Reason.empty();
    return probe;
}

std::string HardwareEncoderOptions(const THardwareProbe& probe, int crf) {
    std::string lines = "vaapi_device=" + probe.RenderNode;
    if (crf >= 0)
        lines += "\nqp=" + std::to_string(crf);
    return lines;
}

std::string HardwareProbeLine(const THardwareProbe& probe, const std::string& softwareEncoder) {
    if (probe.Usable)
        return "Hardware encoder: " + probe.Encoder + " on " + probe.RenderNode;
    return "Hardware encoder " + probe.Encoder + " not used, encoding with " + softwareEncoder + ": " + probe.Reason;
}
