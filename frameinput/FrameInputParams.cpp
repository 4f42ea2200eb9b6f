#include "frameinput/FrameInputParams.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>

namespace {
std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    std::size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

// Reads a whole decimal integer (surrounding blanks allowed, optional sign).
int ReadInt(const std::string& raw, const std::string& key, int& value, std::string& error) {
    std::string text = Trim(raw);
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || end != last) {
        error = "'" + raw + "' is not a valid integer value for " + key + "\n";
        return AVERROR(EINVAL);
    }
    return 0;
}

// Splits at the first separator after turning the first alternative separator into it.
void SplitPair(std::string value, char alternative, char separator, std::string& before,
               std::string& after) {
    if (std::size_t p = value.find(alternative); p != std::string::npos)
        value[p] = separator;
    std::size_t p = value.find(separator);
    before = value.substr(0, p);
    after = p == std::string::npos ? std::string() : value.substr(p + 1);
}

TFrameInputType InputTypeOf(const std::string& value) {
    std::string v = Lower(value);
    if (v == "dc")
        return itDC;
    if (v == "data")
        return itData;
    if (v == "canvas")
        return itCanvas;
    return itYUV;
}

enum TParamKey { pkAdapter, pkFrameRate, pkFrameSize, pkBitsPerPixel, pkInputType, pkPixelFormat, pkKeySpan, pkUnknown };

struct TKeyRow {
    const char* Name;
    const char* Short;
    TParamKey Key;
};

const TKeyRow KeyTable[] = {
    {"adapter", "a", pkAdapter},
    {"framerate", "r", pkFrameRate},
    {"framesize", "s", pkFrameSize},
    {"bitsperpixel", "bpp", pkBitsPerPixel},
    {"inputtype", "t", pkInputType},
    {"pixelformat", "pf", pkPixelFormat},
    {"keyspan", "ks", pkKeySpan},
};

TParamKey KeyOf(const std::string& key) {
    std::string k = Lower(key);
    for (const TKeyRow& row : KeyTable)
        if (k == row.Name || k == row.Short)
            return row.Key;
    return pkUnknown;
}

int ApplyItem(TParamKey key, const std::string& name, const std::string& value,
              TFrameInputParams& params, std::string& error) {
    std::string before, after;
    switch (key) {
    case pkAdapter:
        return ReadInt(value, name, params.AdapterId, error);
    case pkFrameRate: {
        SplitPair(value, ':', '/', before, after);
        int num = 0, den = 0;
        if (int rc = ReadInt(before, name, num, error); rc < 0)
            return rc;
        if (int rc = ReadInt(after, name, den, error); rc < 0)
            return rc;
        params.TimeBase = AVRational{den, num}; // one frame lasts den/num seconds
        return 0;
    }
    case pkFrameSize: {
        SplitPair(value, 'x', '*', before, after);
        if (int rc = ReadInt(before, name, params.Width, error); rc < 0)
            return rc;
        return ReadInt(after, name, params.Height, error);
    }
    case pkBitsPerPixel:
        return ReadInt(value, name, params.BitsPerPixel, error);
    case pkInputType:
        params.InputType = InputTypeOf(value);
        return 0;
    case pkPixelFormat: {
        AVPixelFormat format = ff::av_get_pix_fmt(Lower(value).c_str());
        if (format == AV_PIX_FMT_NONE) {
            error = "Unknown pixel format requested\n";
            return AVERROR(EINVAL);
        }
        params.PixelFormat = format;
        return 0;
    }
    case pkKeySpan:
        return ReadInt(value, name, params.KeySpanSeconds, error);
    case pkUnknown:
        break;
    }
    return 0;
}

struct TDepthRow {
    int BitsPerPixel;
    AVPixelFormat PixelFormat;
};

// Stream pixel formats of the bitmap input types.
const TDepthRow DepthTable[] = {
    {8, AV_PIX_FMT_PAL8},
    {16, AV_PIX_FMT_RGB555LE},
    {24, AV_PIX_FMT_BGR24},
    {32, AV_PIX_FMT_BGRA},
};
} // namespace

int ParseFrameInputParams(const std::string& text, TFrameInputParams& params, std::string& error) {
    params = TFrameInputParams();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(start, end - start);
        start = end + 1;
        std::size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        if (int rc = ApplyItem(KeyOf(key), key, value, params, error); rc < 0)
            return rc;
    }
    return 0;
}

int ValidateFrameInputParams(TFrameInputParams& params, std::string& error) {
    if (params.AdapterId == 0) {
        error = "Invalid FrameInputAdapter\n";
        return AVERROR(EINVAL);
    }
    // A negative rate would run the clock backwards: refused like a zero one.
    if (params.TimeBase.num <= 0 || params.TimeBase.den <= 0) {
        error = "Invalid frame rate\n";
        return AVERROR(EINVAL);
    }
    if (params.Width <= 0 || params.Height <= 0) {
        error = "Invalid frame size\n";
        return AVERROR(EINVAL);
    }
    // A day per span at most: the span in microseconds stays far inside 64 bits.
    if (params.KeySpanSeconds < 0 || params.KeySpanSeconds > 86400) {
        error = "Invalid key span\n";
        return AVERROR(EINVAL);
    }
    if (params.InputType == itYUV)
        return 0;
    const TDepthRow* row = std::find_if(std::begin(DepthTable), std::end(DepthTable),
                                        [&](const TDepthRow& r) { return r.BitsPerPixel == params.BitsPerPixel; });
    if (row == std::end(DepthTable)) {
        error = "Invalid BitsPerPixel\n";
        return AVERROR(EINVAL);
    }
    params.PixelFormat = row->PixelFormat;
    // Every packet is one frame of FrameSize bytes, a 32-bit count; the canvas is 32-bit.
    std::int64_t canvasBytes = std::int64_t(params.Width) * 4 * params.Height;
    if (canvasBytes > INT_MAX) {
        error = "Invalid frame size\n";
        return AVERROR(EINVAL);
    }
    return 0;
}

int PaddedLineSize(int width, int bitsPerPixel) {
    return int((std::int64_t(width) * bitsPerPixel + 31) / 32 * 4);
}

std::string FrameInputParamString(int adapterId, const std::string& frameRate,
                                  const std::string& frameSize, int bitsPerPixel,
                                  const std::string& inputType) {
    std::string rate = frameRate, size = frameSize;
    if (std::size_t p = rate.find(':'); p != std::string::npos)
        rate[p] = '/';
    if (std::size_t p = size.find('x'); p != std::string::npos)
        size[p] = '*';
    return "a=" + std::to_string(adapterId) + ";r=" + rate + ";s=" + size +
           ";bpp=" + std::to_string(bitsPerPixel) + ";t=" + inputType;
}

std::string HeldFrameInputParamString(int adapterId, const std::string& frameRate,
                                      const std::string& frameSize, int keySpanSeconds) {
    std::string text = FrameInputParamString(adapterId, frameRate, frameSize);
    if (keySpanSeconds > 0)
        text += ";ks=" + std::to_string(keySpanSeconds);
    return text;
}
