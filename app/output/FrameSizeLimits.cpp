#include "app/output/FrameSizeLimits.h"

#include "app/output/CodecOptions.h"
#include "app/output/ContainerTable.h"

#include <charconv>
#include <algorithm>
#include <climits>
#include <cstdint>

namespace {
// Measured with the FFmpeg 5.1 encoders: MPEG-4 writes each side in 13 bits, FLV1 in 16 bits,
// WMV2 refuses an odd width ("width must be multiple of 2").
const TFrameSizeLimits Limits[] = {
    {"mp4", "mpeg4", 8191, 1, 1},
    {"swf", "flv1", 65535, 1, 1},
    {"flv", "flv1", 65535, 1, 1},
    {"wmv", "wmv2", 0, 2, 1},
    {"mov", "mpeg4", 8191, 1, 1},
    // The rows with a quality choice: their even-size rule comes with the row (CodecOptions).
    // Measured with Debian 12's encoders: libx264 ("invalid width x height") and libvpx-vp9
    // (its frame buffers cannot be made) take at most 16384 on each side; libx265 needs 16 on
    // each side ("Image size is too small") and, with a side below 32 (its coding blocks then
    // shrink to 16), at most 4216 on the other; SVT-AV1 1.4 needs 64 and takes at most 16384
    // wide and 8704 high ("bad parameter"). None refuses a frame for its area before FFmpeg's
    // own bound does (8192x8192 opens in libx264 and libx265).
    {"mp4-h264", "libx264", 16384, 1, 1},
    {"mp4-hevc", "libx265", 0, 1, 1, 16, 0, 32, 4216},
    {"webm-vp9", "libvpx-vp9", 16384, 1, 1},
    {"webm-av1", "libsvtav1", 16384, 1, 1, 64, 8704},
};

int SizePart(const std::string& part) {
    int value = 0;
    auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    return ec == std::errc() && end == part.data() + part.size() && !part.empty() ? value : 320;
}

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

// FFmpeg's av_image_check_size: (w + 128) x (h + 128) below INT_MAX / 8.
bool FitsImageCheck(int width, int height) {
    return (std::int64_t(width) + 128) * (std::int64_t(height) + 128) < INT_MAX / 8;
}
} // namespace

TFrameSize SlideshowFrameSize(const std::string& text) {
    const std::size_t x = text.find('x');
    TFrameSize size;
    size.Width = SizePart(x == std::string::npos ? text : text.substr(0, x));
    size.Height = SizePart(x == std::string::npos ? std::string() : text.substr(x + 1));
    return size;
}

bool ParseFrameSize(const std::string& text, TFrameSize& size) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const std::string t = text.substr(first, last - first + 1);
    const std::size_t x = t.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == t.size())
        return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (i != x && (t[i] < '0' || t[i] > '9'))
            return false;
    int w = 0, h = 0;
    const auto a = std::from_chars(t.data(), t.data() + x, w);
    const auto b = std::from_chars(t.data() + x + 1, t.data() + t.size(), h);
    if (a.ec != std::errc() || b.ec != std::errc())
        return false;
    size = {w, h};
    return true;
}

std::string TFrameSize::Text() const { return SizeText(Width, Height); }

const TFrameSizeLimits* FindFrameSizeLimits(const std::string& row) {
    for (const TFrameSizeLimits& limits : Limits)
        if (row == limits.Row)
            return &limits;
    return nullptr;
}

std::string FrameSizeRefusal(const TFrameSizeLimits* limits, int width, int height) {
    const std::string size = SizeText(width, height);
    if (width <= 0 || height <= 0)
        return "the frame size " + size + " is not valid: width and height must be above 0";
    if (!FitsImageCheck(width, height))
        return "the frame size " + size + " is too large for any video encoder";
    if (!limits)
        return "";
    const std::string encoder = limits->Encoder;
    if (limits->MinSide > 0 && (width < limits->MinSide || height < limits->MinSide))
        return "the frame size " + size + " is too small for the " + encoder + " encoder (at least " +
               std::to_string(limits->MinSide) + " on each side)";
    if (limits->MaxHeight > 0 && width <= limits->MaxSide && height > limits->MaxHeight)
        return "the frame size " + size + " is too large for the " + encoder + " encoder (at most " +
               std::to_string(limits->MaxSide) + " wide and " + std::to_string(limits->MaxHeight) + " high)";
    if (limits->MaxSide > 0 && (width > limits->MaxSide || height > limits->MaxSide))
        return "the frame size " + size + " is too large for the " + encoder + " encoder (at most " +
               (limits->MaxHeight > 0 ? std::to_string(limits->MaxSide) + " wide and " +
                                            std::to_string(limits->MaxHeight) + " high"
                                      : std::to_string(limits->MaxSide) + " on each side") +
               ")";
    if (limits->NarrowBelow > 0 && std::min(width, height) < limits->NarrowBelow &&
        std::max(width, height) > limits->NarrowLongest)
        return "the frame size " + size + " is too large for the " + encoder + " encoder (a side below " +
               std::to_string(limits->NarrowBelow) + " allows at most " + std::to_string(limits->NarrowLongest) +
               " on the other)";
    if (limits->WidthMultiple > 1 && width % limits->WidthMultiple != 0)
        return "the frame size " + size + " cannot be encoded by " + encoder + ": the width must be a multiple of " +
               std::to_string(limits->WidthMultiple);
    if (limits->HeightMultiple > 1 && height % limits->HeightMultiple != 0)
        return "the frame size " + size + " cannot be encoded by " + encoder + ": the height must be a multiple of " +
               std::to_string(limits->HeightMultiple);
    return "";
}

std::string FrameSizeRefusal(const std::string& row, const std::string& sizeText) {
    return FrameSizeRefusal(row, SlideshowFrameSize(sizeText));
}

std::string FrameSizeRefusal(const std::string& row, const TFrameSize& size) {
    std::string why = FrameSizeRefusal(FindFrameSizeLimits(row), size.Width, size.Height);
    // The rows with a quality choice carry their 4:2:0 rule with them.
    if (const TContainerRow* container = FindContainer(row); why.empty() && container)
        why = FrameSizeProblem(*container, size.Width, size.Height);
    return why;
}
