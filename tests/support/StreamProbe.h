#pragma once
// What ffprobe tells about one stream of a media file.

#include <map>
#include <string>

struct TStreamProbe {
    std::string Codec;
    int SampleRate = 0, Channels = 0;
    int Packets = -1;  // packets read (nb_read_packets)
    double Start = 0;  // start_time, seconds
    double End = 0;    // end of the last packet, seconds
};

// The first stream of a kind ("a" or "v") of file.
TStreamProbe ProbeStream(const std::string& file, const char* kind);

// The "key=value" lines of ffprobe's output (-of default=noprint_wrappers=1), by key.
std::map<std::string, std::string> ProbeEntries(const std::string& output);
