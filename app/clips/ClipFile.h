#pragma once
// Telling video clips from pictures, and what a clip file holds.

#include "app/clips/ClipError.h"

#include <cstdint>
#include <string>
#include <vector>

// True for a file the slideshow plays as a video clip rather than reads as a picture. The
// file's first bytes decide (JPEG, PNG and bitmap signatures are pictures; an ISO media file
// that is no still image, Matroska/WebM, AVI, MPEG, Ogg, FLV are clips); a file whose first
// bytes are none of these (or that cannot be read) by its extension.
bool IsClipFile(const std::string& fileName);
// The extensions a clip is known by, lower case without the dot (for file dialogs).
const std::vector<std::string>& ClipExtensions();

struct TClipInfo {
    double Duration = 0;     // seconds of the whole clip (its video stream)
    int Width = 0;           // the size as shown: after the rotation and the pixel aspect
    int Height = 0;
    int Rotation = 0;        // 0, 90, 180 or 270: clockwise turn that makes the picture upright
    bool HasAudio = false;   // an audio stream the soundtrack can lay over the music
    std::string Codec;       // the video codec's name
};

// Opens the clip, finds its video stream and decoder, decodes its first frame and checks that
// the file is not cut short where its index says so. Results are remembered per file (name,
// size and time written), so asking again costs nothing. Loads the media libraries when they
// are not loaded. Throws TPictureError naming the file and the reason.
TClipInfo ProbeClip(const std::string& fileName);
// The same without throwing: false with the reason in why.
bool ProbeClip(const std::string& fileName, TClipInfo& info, std::string& why);
