#pragma once
// The engine's own registry of virtual input formats.
//
// libavformat can no longer register demuxers, so an input whose forced format names a virtual
// format is opened by the engine itself: it allocates an AVFormatContext (avformat_alloc_context),
// sets url to the file name, iformat to the registry's descriptor (only public fields set),
// priv_data to PrivDataSize zeroed bytes (av_mallocz; freed by avformat_free_context), then calls
// ReadHeader, which creates the stream(s). Packets come from ReadPacket instead of av_read_frame;
// at the end the engine calls ReadClose and then avformat_free_context. Such a context is never
// handed to avformat_open_input, av_read_frame or avformat_close_input.

#include "medialib/FFApi.h"

#include <string>

struct TVirtualInputFormat {
    const char* Name = nullptr;
    const char* LongName = nullptr;
    int PrivDataSize = 0;
    int (*ReadHeader)(AVFormatContext* s) = nullptr;               // 0 or a negative AVERROR
    int (*ReadPacket)(AVFormatContext* s, AVPacket* pkt) = nullptr; // packet size or negative
    int (*ReadClose)(AVFormatContext* s) = nullptr;                 // 0
};

// Registers the format unless one of the same name is known already. Thread-safe.
// Returns false when another format with that name but different routines is registered.
bool RegisterInputFormatOnce(const TVirtualInputFormat& format);

// The registered format of that name (case-sensitive, like libavformat's names), or nullptr.
const TVirtualInputFormat* FindVirtualInputFormat(const std::string& name);

// The descriptor to put in AVFormatContext::iformat for a registered format: name, long name
// and AVFMT_NOFILE set, everything else zero. nullptr for an unknown name.
const AVInputFormat* VirtualInputDescriptor(const std::string& name);
