#include "tests/support/TestClip.h"

#include "tests/support/RunCommand.h"

#include <cstdio>

namespace {
template <class Sample> int ReadCounter(Sample sample, int left, int top, int width, int height) {
    int value = 0;
    const int y = top + height / 4;
    for (int bit = 0; bit < 8; ++bit) {
        const int x = left + (2 * bit + 1) * width / 16;
        const int v = sample(x, y);
        if (v > 170)
            value |= 1 << bit;
        else if (v > 85)
            return -1;
    }
    return value;
}
} // namespace

bool MakeTestClip(const std::string& file, const TTestClip& clip, std::string& error) {
    const std::string size = std::to_string(clip.Width) + "x" + std::to_string(clip.Height);
    const std::string column = "floor(X*8/W)";
    const std::string lum = "if(lt(Y,H/2),255*mod(floor(N/pow(2," + column + ")),2),128)";
    std::string command = "ffmpeg -v error -f lavfi -i \"color=black:s=" + size + ":r=" + std::to_string(clip.Rate) +
                          ":d=" + std::to_string(clip.Seconds) + ",format=gray,geq=lum='" + lum + "'" + clip.Filter +
                          "\"";
    if (clip.Tone)
        command += " -f lavfi -i \"sine=frequency=1000:sample_rate=44100:duration=" + std::to_string(clip.Seconds) + "\"";
    command += " -c:v " + clip.Codec + " -pix_fmt yuv420p";
    if (clip.Codec == "libx264")
        command += " -preset ultrafast -g 15";
    if (clip.Tone)
        command += " -c:a aac";
    command += " " + clip.Extra + " -y '" + file + "' 2>&1";
    TRunResult r = RunShell(command);
    error = r.Output;
    if (r.Status != 0 || clip.Rotate == 0)
        return r.Status == 0;
    // Encoding drops the tag; a copy of the streams writes it as the file's display matrix.
    const std::string plain = file + ".plain" + file.substr(file.rfind('.'));
    std::rename(file.c_str(), plain.c_str());
    r = RunShell("ffmpeg -v error -i '" + plain + "' -c copy -metadata:s:v:0 rotate=" + std::to_string(clip.Rotate) +
                 " -y '" + file + "' 2>&1");
    std::remove(plain.c_str());
    error = r.Output;
    return r.Status == 0;
}

int ReadClipCounter(const TFrameBitmap& frame, int left, int top, int width, int height) {
    return ReadCounter([&](int x, int y) { return int((frame.Pixel(x, y) >> 8) & 0xFF); }, left, top, width, height);
}

int ReadClipCounter(const std::uint8_t* grey, int stride, int left, int top, int width, int height) {
    return ReadCounter([&](int x, int y) { return int(grey[std::size_t(y) * stride + x]); }, left, top, width, height);
}
