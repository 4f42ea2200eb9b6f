#include "app/clips/ClipThumbnail.h"

#include "app/framing/FitRect.h"
#include "app/clips/ClipDecoder.h"
#include "app/clips/ClipFile.h"

#include <algorithm>

bool ClipFirstPicture(const std::string& fileName, int maxWidth, int maxHeight, TFrameBitmap& picture, std::string& why) {
    TClipInfo info;
    if (!ProbeClip(fileName, info, why))
        return false;
    const TRect fit = FitRect(TRect{0, 0, info.Width, info.Height}, TRect{0, 0, std::max(maxWidth, 1), std::max(maxHeight, 1)});
    TClipPlayback playback;
    playback.File = fileName;
    playback.Duration = info.Duration;
    playback.FrameWidth = std::max(fit.Right - fit.Left, 1);
    playback.FrameHeight = std::max(fit.Bottom - fit.Top, 1);
    playback.QueueFrames = 1;
    playback.Threads = 1;
    try {
        TClipDecoder decoder(playback);
        decoder.ShowAt(0, picture);
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
    return true;
}
