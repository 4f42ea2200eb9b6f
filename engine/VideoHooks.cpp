// Video hooks: every decoded picture through the job's frame hook modules, on a bitmap of the
// hook converter. The modules see one packed layout whatever the decoder delivers, and what
// they draw is converted back into the picture that the output streams then encode.

#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

void TTranscoder::RunFrameHooks(const TInputStream& ist, AVFrame* picture) {
    // The decoder may still refer to this picture (a reference for the next ones): the hooks
    // work on a copy of their own then.
    if (ff::av_frame_make_writable(picture) < 0) {
        EngineLog(llError, "hook buf malloc error.");
        return;
    }
    TFormatConverter& conv = hookConverter_;
    if (!conv.ToRGB(picture, true)) {
        EngineLog(llError, conv.LastErrMsg());
        return;
    }
    TPicture bitmap;
    bitmap.Data[0] = conv.BitmapBits();
    bitmap.LineSize[0] = conv.BitmapStride();
    job_.frameHooks_.Process(&bitmap, conv.BitmapPixelFormat(), conv.BitmapWidth(), conv.BitmapHeight(), ist.Pts);
    conv.CopyFromBitmap();
    if (!conv.FromRGB(picture))
        EngineLog(llError, conv.LastErrMsg());
}
