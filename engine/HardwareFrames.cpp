#include "engine/HardwareFrames.h"

#include "engine/FFmpegException.h"
#include "medialib/FFLog.h"
#include "medialib/FFUtils.h"

#include <cctype>

namespace {
// "VAAPI": the library's name of the kind of device, as people write it.
std::string DeviceName(AVHWDeviceType type) {
    const char* name = ff::av_hwdevice_get_type_name ? ff::av_hwdevice_get_type_name(type) : nullptr;
    std::string text = name ? name : "hardware";
    if (name)
        for (char& c : text)
            c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

// The library's own reason when it logged one as an error, else the library's text of the code
// (the device calls return codes the engine's own table of texts does not list).
std::string HardwareErrorText(const TFFErrorCapture& capture, int code) {
    if (!capture.Text().empty())
        return capture.Text();
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (ff::av_strerror(code, text, sizeof text) < 0)
        return ErrorCodeText(code);
    return text;
}

std::string HardwareDeviceProblem(AVHWDeviceType type) {
    if (!ff::av_hwdevice_ctx_create || !ff::av_hwdevice_iterate_types || !ff::av_hwframe_ctx_alloc ||
        !ff::av_hwframe_ctx_init || !ff::av_hwframe_get_buffer || !ff::av_hwframe_transfer_data)
        return "the loaded libavutil has no functions for hardware devices";
    for (AVHWDeviceType t = ff::av_hwdevice_iterate_types(AV_HWDEVICE_TYPE_NONE); t != AV_HWDEVICE_TYPE_NONE;
         t = ff::av_hwdevice_iterate_types(t))
        if (t == type)
            return "";
    if (type == AV_HWDEVICE_TYPE_VAAPI)
        return "the loaded libavutil was built without VAAPI (libva)";
    return std::string("the loaded libavutil was built without ") + DeviceName(type) + " devices";
}

AVHWDeviceType HardwareDeviceFor(AVPixelFormat encoderFormat, AVPixelFormat& softwareFormat) {
    if (encoderFormat == AV_PIX_FMT_VAAPI) {
        softwareFormat = AV_PIX_FMT_NV12; // what every VAAPI encoder takes for 8-bit 4:2:0
        return AV_HWDEVICE_TYPE_VAAPI;
    }
    softwareFormat = AV_PIX_FMT_NONE;
    return AV_HWDEVICE_TYPE_NONE;
}

THardwareFrames::THardwareFrames(AVHWDeviceType type, const std::string& node, int width, int height,
                                 AVPixelFormat softwareFormat, int poolSize)
    : softwareFormat_(softwareFormat) {
    if (std::string problem = HardwareDeviceProblem(type); !problem.empty())
        throw FFmpegException(problem);
    const std::string name = DeviceName(type);
    const char* kind = name.c_str();
    TFFErrorCapture reasons;
    AVBufferRef* device = nullptr;
    if (int r = ff::av_hwdevice_ctx_create(&device, type, node.c_str(), nullptr, 0); r < 0) {
        std::string why = HardwareErrorText(reasons, r);
        // libva says why only in its verbose lines: a node that is no graphics chip, or one
        // without a driver, both end as an error of the external library.
        if (type == AV_HWDEVICE_TYPE_VAAPI && r == AVERROR_EXTERNAL && reasons.Text().empty())
            why += " (libva found no display with a driver there)";
        throw FFmpegException(Fmt("cannot create a %s device on %s: %s", kind, node.c_str(), why.c_str()));
    }
    device_.reset(device);
    frames_.reset(ff::av_hwframe_ctx_alloc(device_.get()));
    if (!frames_)
        throw FFmpegException(Fmt("cannot make a pool of %s surfaces on %s: out of memory", kind, node.c_str()));
    auto* frames = reinterpret_cast<AVHWFramesContext*>(frames_->data);
    frames->format = type == AV_HWDEVICE_TYPE_VAAPI ? AV_PIX_FMT_VAAPI : AV_PIX_FMT_NONE;
    frames->sw_format = softwareFormat;
    frames->width = width;
    frames->height = height;
    frames->initial_pool_size = poolSize;
    if (int r = ff::av_hwframe_ctx_init(frames_.get()); r < 0) {
        const char* layout = ff::av_get_pix_fmt_name(softwareFormat);
        throw FFmpegException(Fmt("cannot make a pool of %dx%d %s surfaces on %s: %s", width, height,
                                  layout ? layout : "unknown", node.c_str(), HardwareErrorText(reasons, r).c_str()));
    }
    uploaded_ = NewFrame();
}

AVFrame* THardwareFrames::Upload(const AVFrame* picture) {
    AVFrame* surface = uploaded_.get();
    ff::av_frame_unref(surface);
    TFFErrorCapture reasons;
    if (int r = ff::av_hwframe_get_buffer(frames_.get(), surface, 0); r < 0)
        throw FFmpegException("Cannot get a surface for the picture: " + HardwareErrorText(reasons, r));
    if (int r = ff::av_hwframe_transfer_data(surface, picture, 0); r < 0) {
        ff::av_frame_unref(surface);
        throw FFmpegException("Cannot upload the picture to the graphics chip: " + HardwareErrorText(reasons, r));
    }
    if (ff::av_frame_copy_props(surface, picture) < 0) {
        ff::av_frame_unref(surface);
        throw FFmpegException("Cannot upload the picture to the graphics chip: out of memory");
    }
    return surface;
}
