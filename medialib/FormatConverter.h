#pragma once
// Converts FFmpeg pictures of any pixel format to a bitmap program code can read and draw on,
// and the bitmap's pixels back into a picture of the source format (the video hook round trip:
// ToRGB with copy, draw on the bitmap, CopyFromBitmap, FromRGB).
//
// The bitmap side has one of five layouts chosen by SetBitsPixel:
//   8 BGR8, 15 BGR555LE, 16 BGR565LE, 24 BGR24 (default), 32 BGRA.
// Bitmap rows are top-down and padded to a multiple of 32 bits.

#include "medialib/FFApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A picture: up to four planes with their line sizes (AVFrame's first four).
struct TPicture {
    std::uint8_t* Data[4] = {};
    int LineSize[4] = {};
};

// Describes the current converted picture (a Windows BITMAP record's fields). BitsPixel is the
// size of a pixel in memory: 16 for the 15-bit layout.
struct TBitmapInfo {
    std::int32_t Type = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t WidthBytes = 0;
    std::int16_t Planes = 0;
    std::int16_t BitsPixel = 0;
    std::uint8_t* Bits = nullptr;
};

class TFormatConverter {
public:
    TFormatConverter();
    ~TFormatConverter();
    TFormatConverter(const TFormatConverter&) = delete;
    TFormatConverter& operator=(const TFormatConverter&) = delete;

    // 8, 15, 16, 24 or 32; anything else throws std::invalid_argument("Invalid BitsPixel %d").
    // A different layout resets the state.
    void SetBitsPixel(int bits);
    int BitsPixel() const { return bitsPixel_; }
    AVPixelFormat BitmapPixelFormat() const;

    // Makes the picture the current one, converted to the bitmap layout when its format, an odd
    // size or its line size calls for it; with copy, also copies it into the bitmap. False with
    // LastErrMsg when no scaler can be made.
    bool ToRGB(const TPicture& picture, AVPixelFormat pixelFormat, bool copy, int height, int width);
    bool ToRGB(const AVFrame* frame, bool copy);
    // Current picture -> bitmap and back, row by row. Need a successful ToRGB (std::logic_error).
    void CopyToBitmap();
    void CopyFromBitmap();
    // Converts the current picture into picture of the given format. Needs a successful ToRGB.
    bool FromRGB(const TPicture& picture, AVPixelFormat pixelFormat, int height, int width);
    bool FromRGB(AVFrame* frame);

    // The bitmap: BitmapHeight() rows of BitmapStride() bytes, top row first.
    int BitmapWidth() const { return bitmapWidth_; }
    int BitmapHeight() const { return bitmapHeight_; }
    int BitmapStride() const { return bitmapStride_; }
    std::uint8_t* BitmapBits() { return bitmap_.data(); }
    const std::uint8_t* BitmapBits() const { return bitmap_.data(); }

    const TBitmapInfo& BitmapInfo() const { return bitmapInfo_; }
    // The converted picture laid over the conversion buffer (empty when none was needed).
    const TPicture& ConvertedPicture() const { return converted_; }
    bool HasPicture() const { return hasPicture_; }
    // Whether the current picture is the caller's own (no conversion was needed).
    bool PictureIsCallers() const { return hasPicture_ && current_.Data[0] != converted_.Data[0]; }
    const std::string& LastErrMsg() const { return lastErrMsg_; }

private:
    struct TSwsFree {
        void operator()(SwsContext* c) const { ff::sws_freeContext(c); }
    };
    struct TAvFree {
        void operator()(std::uint8_t* p) const { ff::av_free(p); }
    };
    using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsFree>;
    using TBufferPtr = std::unique_ptr<std::uint8_t, TAvFree>;

    void Reset();
    void SetBitmapSize(int width, int height);
    bool ConvertToLayout(const TPicture& picture, AVPixelFormat pixelFormat, int height, int width);
    void RequireCurrent(const char* operation) const;
    static SwsContext* Cached(TSwsContextPtr& slot, int width, int height, AVPixelFormat from, AVPixelFormat to);

    int bitsPixel_ = 24;
    int storedBits_ = 24;
    int bitmapWidth_ = 0, bitmapHeight_ = 0, bitmapStride_ = 0;
    std::vector<std::uint8_t> bitmap_;
    TBitmapInfo bitmapInfo_;
    TBufferPtr buffer_;
    int bufferSize_ = 0;
    TPicture converted_;
    TPicture current_;
    bool hasPicture_ = false;
    TSwsContextPtr toBitmap_, fromBitmap_;
    std::string lastErrMsg_;
};
