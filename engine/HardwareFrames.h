#pragma once
// Pictures on the graphics chip for an encoder that takes nothing else (the VAAPI encoders):
// the device on a render node, a pool of surfaces of the encoder's size, and the upload of each
// converted picture just before it is encoded. The converter keeps working in memory; only the
// surface's layout (NV12 for VAAPI) changes what it converts to.

#include "engine/FFPtr.h"
#include "medialib/FFLog.h"

#include <string>

class THardwareFrames {
public:
    // The device of that type on node, and poolSize surfaces of width x height holding
    // softwareFormat pictures. Throws FFmpegException naming what failed and why; nothing made
    // up to then stays behind.
    THardwareFrames(AVHWDeviceType type, const std::string& node, int width, int height, AVPixelFormat softwareFormat,
                    int poolSize);

    // The pool, for an encoder's hw_frames_ctx (the caller takes its own reference).
    AVBufferRef* FramesContext() const { return frames_.get(); }
    // The layout of the pictures the surfaces take.
    AVPixelFormat SoftwareFormat() const { return softwareFormat_; }
    // A surface holding picture's pixels, with picture's properties (time, picture type). It stays
    // valid until the next upload; an encoder that keeps it takes its own reference.
    AVFrame* Upload(const AVFrame* picture);

private:
    AVPixelFormat softwareFormat_;
    TBufferRefPtr device_;
    TBufferRefPtr frames_;
    TFramePtr uploaded_;
};

// Where the VAAPI encoders look for the graphics chip when the job names no render node.
inline constexpr const char* DefaultRenderNode = "/dev/dri/renderD128";

// Why the loaded libavutil cannot make a device of that type ("" when it can): the functions
// for devices are missing, or it was built without that kind of device.
std::string HardwareDeviceProblem(AVHWDeviceType type);

// Why a call about devices, surfaces or an encoder on the chip failed: the library's own error
// lines caught while it ran, else the library's text of the code.
std::string HardwareErrorText(const TFFErrorCapture& capture, int code);

// The layout the engine converts to for an encoder whose pictures live on a device of that
// pixel format (AV_PIX_FMT_VAAPI), and the device type; AV_HWDEVICE_TYPE_NONE when the engine
// cannot feed such an encoder.
AVHWDeviceType HardwareDeviceFor(AVPixelFormat encoderFormat, AVPixelFormat& softwareFormat);
