#pragma once
// Decoding a sound file's first audio stream into interleaved float samples at a chosen rate and
// channel count (libswresample converts), for the soundtrack builder.

#include <functional>
#include <string>
#include <vector>

struct TDecodedAudio {
    std::vector<float> Samples; // interleaved, Channels per sample frame
    int Rate = 0;
    int Channels = 0;
    long long Frames() const { return Channels > 0 ? (long long)(Samples.size()) / Channels : 0; }
    double Seconds() const { return Rate > 0 ? double(Frames()) / Rate : 0; }
};

struct TDecodeRequest {
    std::string File;
    int Rate = 0;          // 0: the file's own rate
    int Channels = 2;
    double Start = 0;      // seconds into the file
    double Duration = -1;  // seconds from Start; below 0: to the end
    // Decodes the rest after Duration all the same (keeping nothing of it): a file cut short or
    // damaged beyond the part taken is refused as it is when the whole is taken.
    bool CheckWhole = false;
    // Asked between packets; true gives up with the error "stopped".
    std::function<bool()> Cancelled;
};

// Decodes what request asks for into out. False with error naming the file when it cannot be
// opened, holds no audio, cannot be decoded, or ends clearly before the length it states.
// The avformat, avcodec, avutil and swresample functions must be bound.
bool DecodeAudio(const TDecodeRequest& request, TDecodedAudio& out, std::string& error);
