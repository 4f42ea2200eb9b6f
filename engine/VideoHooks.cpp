// Video hooks: every decoded picture through the job's frame hook modules, and the application's
// video input and output hooks on bitmaps of their converters. The modules work on the decoded
// picture itself, in the decoder's own pixel format and size; what they draw is what the output
// streams then encode, and a picture they leave alone reaches the encoders unchanged, bit for bit.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

void TTranscoder::RunFrameHooks(const TInputStream& ist, AVFrame* picture) {
    // The decoder may still refer to this picture (a reference for the next ones): the hooks
    // work on a copy of their own then.
    if (ff::av_frame_make_writable(picture) < 0) {
        EngineLog(llError, "hook buf malloc error.");
        return;
    }
    TPicture planes;
    for (int i = 0; i < 4; ++i) {
        planes.Data[i] = picture->data[i];
        planes.LineSize[i] = picture->linesize[i];
    }
    job_.frameHooks_.Process(&planes, AVPixelFormat(picture->format), picture->width, picture->height, ist.Pts);
}

void TTranscoder::RunVideoInputHook(const TInputStream& ist, AVFrame* picture) {
    if (ff::av_frame_make_writable(picture) < 0) {
        EngineLog(llError, "hook buf malloc error.");
        return;
    }
    CallVideoHook(job_.OnVideoInputHook, hookConverter_, picture, ist.Pts, ist.FrameCounter - 1);
}

// The hook draws on a copy: the picture itself may be the decoded one that other output streams
// still encode, or the scaled one that is reused while the input holds still. Returns the
// picture to encode: the copy when the hook updated it, else the picture unchanged.
AVFrame* TTranscoder::RunVideoOutputHook(TOutputStream& ost, AVFrame* picture, int64_t time) {
    if (!ost.HookPicture)
        ost.HookPicture = NewFrame();
    AVFrame* copy = ost.HookPicture.get();
    // The encoder may still hold the previous copy.
    if (!copy->buf[0] || !ff::av_frame_is_writable(copy) || copy->width != picture->width ||
        copy->height != picture->height || copy->format != picture->format) {
        ff::av_frame_unref(copy);
        copy->width = picture->width;
        copy->height = picture->height;
        copy->format = picture->format;
        if (ff::av_frame_get_buffer(copy, 0) < 0) {
            EngineLog(llError, "hook buf malloc error.");
            return picture;
        }
    }
    ff::av_image_copy(copy->data, copy->linesize, const_cast<const uint8_t**>(picture->data), picture->linesize,
                      AVPixelFormat(picture->format), picture->width, picture->height);
    if (ff::av_frame_copy_props(copy, picture) < 0) {
        EngineLog(llError, "hook buf malloc error.");
        return picture;
    }
    return CallVideoHook(job_.OnVideoOutputHook, outputHookConverter_, copy, time, ost.FrameNumber) ? copy : picture;
}

// One call of a video hook on picture (writable). True when the hook's bitmap was written back
// into the picture. A failed conversion either way disconnects the hook, as its stop request
// does; an exception of the hook leaves the picture as it was.
bool TTranscoder::CallVideoHook(TVideoHookSlot& slot, TFormatConverter& conv, AVFrame* picture, int64_t time,
                                int64_t frameNumber) {
    if (conv.BitsPixel() != job_.HookPixelBits)
        conv.SetBitsPixel(job_.HookPixelBits);
    if (!conv.ToRGB(picture, true)) {
        EngineLog(llError, conv.LastErrMsg());
        slot = nullptr;
        return false;
    }
    TBitmapInfo bitmap{0, conv.BitmapWidth(), conv.BitmapHeight(), conv.BitmapStride(), 1, conv.BitmapInfo().BitsPixel,
                       conv.BitmapBits()};
    bool update = true, stopHook = false;
    try {
        slot(job_, bitmap, time, int(frameNumber), update, stopHook);
    } catch (const std::exception& e) {
        EngineLog(llError, std::string("Error occurs VideoHook event: ") + e.what());
        update = false;
    }
    if (stopHook)
        slot = nullptr;
    if (!update)
        return false;
    conv.CopyFromBitmap();
    if (!conv.FromRGB(picture)) {
        EngineLog(llError, conv.LastErrMsg());
        slot = nullptr;
        return false;
    }
    return true;
}
