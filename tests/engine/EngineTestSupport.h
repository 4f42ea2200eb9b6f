#pragma once
// Shared pieces of the engine tests: a temporary folder, ffprobe queries, a captured log and a
// small virtual input format that delivers generated BGRA pictures.

#include "engine/CustomFFmpeg.h"

#include <filesystem>
#include <string>
#include <vector>

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Output of a shell command (stdout and stderr), and its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);

// A file made by the ffmpeg command with ARGS (inputs and options) in dir; the test fails when
// ffmpeg does.
std::string MakeWithFfmpeg(const TTempDir& dir, const std::string& name, const std::string& args);
// The message an option raises, or "(accepted)".
std::string OptionError(TCustomFFmpeg& job, const std::string& name, const std::string& value);

struct TProbe {
    std::string Codec;
    int Width = 0, Height = 0;
    std::string FrameRate;   // r_frame_rate, "30/1"
    int Packets = -1;        // nb_read_packets
    double Duration = -1;    // of the container
    double Start = 0;        // start_time of the stream, seconds
};
// The first video stream of a file as ffprobe sees it.
TProbe ProbeVideo(const std::string& file);
// What "ffmpeg -v error -i FILE -f null -" prints: empty for a clean file.
std::string DecodeErrors(const std::string& file);

// Every frame of a video file as packed RGB rows, decoded by ffmpeg (through a file in dir).
std::string DecodedRgb(const TTempDir& dir, const std::string& file);
struct TRgb {
    int R, G, B;
};
// Pixel (x, y) of a frame in such decoded frames of width x height; -1s past the end.
TRgb PixelAt(const std::string& rgb, int width, int height, int frame, int x, int y);
// Each channel within the loss of colour conversion and encoding.
void ExpectNear(const TRgb& got, const TRgb& want, const char* where);

// Name of the virtual test format. Its file name is "WxH@RATE:FRAMES:END:HOLD": FRAMES pictures
// of WxH at RATE per second, then the read answers END (a negative error code). HOLD 0 gives a
// moving gradient; above 0, plain pictures that alternate red and blue every HOLD frames.
extern const char* const TestFramesFormat;
// The colours of the still pictures (HOLD above 0): groups alternate red and blue.
constexpr TRgb TestRed{220, 40, 30}, TestBlue{30, 40, 220};
std::string TestFramesName(int width, int height, int rate, int frames, int endCode = AVERROR_EOF, int hold = 0);

// Log lines written through FFmpeg's log while it lives.
class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    bool Contains(const std::string& text) const;
};
