#include "medialib/FormatConverter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {
struct TLayoutRow {
    int Bits;        // as asked for
    int StoredBits;  // bits per pixel in memory
    AVPixelFormat Format;
};

const TLayoutRow LayoutTable[] = {
    {8, 8, AV_PIX_FMT_BGR8},
    {15, 16, AV_PIX_FMT_BGR555LE},
    {16, 16, AV_PIX_FMT_BGR565LE},
    {24, 24, AV_PIX_FMT_BGR24},
    {32, 32, AV_PIX_FMT_BGRA},
};

const TLayoutRow& LayoutOf(int bits) {
    for (const TLayoutRow& row : LayoutTable)
        if (row.Bits == bits)
            return row;
    throw std::invalid_argument("Invalid BitsPixel " + std::to_string(bits));
}

int PaddedRow(int width, int bits) { return int((std::int64_t(width) * bits + 31) / 32 * 4); }

TPicture PictureOf(const AVFrame* frame) {
    TPicture p;
    for (int i = 0; i < 4; ++i) {
        p.Data[i] = frame->data[i];
        p.LineSize[i] = frame->linesize[i];
    }
    return p;
}

constexpr int Bicubic = SWS_BICUBIC;
} // namespace

TFormatConverter::TFormatConverter() { Reset(); }

TFormatConverter::~TFormatConverter() = default;

AVPixelFormat TFormatConverter::BitmapPixelFormat() const { return LayoutOf(bitsPixel_).Format; }

void TFormatConverter::SetBitsPixel(int bits) {
    const TLayoutRow& row = LayoutOf(bits);
    if (row.Format == BitmapPixelFormat())
        return;
    bitsPixel_ = row.Bits;
    storedBits_ = row.StoredBits;
    Reset();
}

void TFormatConverter::Reset() {
    bitmapInfo_ = TBitmapInfo();
    converted_ = TPicture();
    current_ = TPicture();
    hasPicture_ = false;
    SetBitmapSize(bitmapWidth_, bitmapHeight_);
}

void TFormatConverter::SetBitmapSize(int width, int height) {
    int stride = PaddedRow(width, storedBits_);
    if (width == bitmapWidth_ && height == bitmapHeight_ && stride == bitmapStride_)
        return;
    bitmapWidth_ = width;
    bitmapHeight_ = height;
    bitmapStride_ = stride;
    bitmap_.assign(std::size_t(stride) * std::max(height, 0), 0);
}

SwsContext* TFormatConverter::Cached(TSwsContextPtr& slot, int width, int height, AVPixelFormat from,
                                     AVPixelFormat to) {
    // sws_getCachedContext frees the context it was given when it cannot reuse it.
    slot.reset(ff::sws_getCachedContext(slot.release(), width, height, from, width, height, to,
                                        Bicubic, nullptr, nullptr, nullptr));
    return slot.get();
}

bool TFormatConverter::ConvertToLayout(const TPicture& picture, AVPixelFormat pixelFormat, int height, int width) {
    AVPixelFormat layout = BitmapPixelFormat();
    int size = ff::av_image_get_buffer_size(layout, width, height, 1);
    if (size < 0) {
        hasPicture_ = false;
        lastErrMsg_ = "Invalid picture size " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    if (!buffer_ || bufferSize_ < size) {
        buffer_.reset();
        bufferSize_ = 0;
        buffer_.reset(static_cast<std::uint8_t*>(ff::av_malloc(size)));
        if (!buffer_) {
            hasPicture_ = false;
            lastErrMsg_ = "Cannot allocate the conversion buffer";
            return false;
        }
        bufferSize_ = size;
    }
    ff::av_image_fill_arrays(converted_.Data, converted_.LineSize, buffer_.get(), layout, width, height, 1);
    SwsContext* context = Cached(toBitmap_, width, height, pixelFormat, layout);
    if (!context) {
        hasPicture_ = false;
        lastErrMsg_ = "Cannot initialize the toRGB conversion context";
        return false;
    }
    ff::sws_scale(context, picture.Data, picture.LineSize, 0, height, converted_.Data, converted_.LineSize);
    current_ = converted_;
    return true;
}

bool TFormatConverter::ToRGB(const TPicture& picture, AVPixelFormat pixelFormat, bool copy, int height, int width) {
    SetBitmapSize(width, height);
    bool convert = pixelFormat != BitmapPixelFormat() || (width & 1) || (height & 1) ||
                   bitmapStride_ != picture.LineSize[0];
    if (convert) {
        if (!ConvertToLayout(picture, pixelFormat, height, width))
            return false;
    } else {
        current_ = picture;
    }
    hasPicture_ = true;
    // The description gives the bits a pixel takes in memory: a 15-bit pixel occupies 16, and a
    // reader that walks rows by bits per pixel would otherwise misplace every pixel.
    bitmapInfo_ = TBitmapInfo{0, width, height, current_.LineSize[0], 1, std::int16_t(storedBits_), current_.Data[0]};
    if (copy)
        CopyToBitmap();
    return true;
}

bool TFormatConverter::ToRGB(const AVFrame* frame, bool copy) {
    return ToRGB(PictureOf(frame), AVPixelFormat(frame->format), copy, frame->height, frame->width);
}

void TFormatConverter::RequireCurrent(const char* operation) const {
    if (!hasPicture_)
        throw std::logic_error(std::string("TFormatConverter::") + operation + " before a successful ToRGB");
}

void TFormatConverter::CopyToBitmap() {
    RequireCurrent("CopyToBitmap");
    int bytes = std::min(bitmapInfo_.WidthBytes, bitmapStride_);
    for (int y = 0; y < bitmapInfo_.Height; ++y)
        std::memcpy(bitmap_.data() + std::size_t(y) * bitmapStride_,
                    current_.Data[0] + std::ptrdiff_t(y) * current_.LineSize[0], bytes);
}

void TFormatConverter::CopyFromBitmap() {
    RequireCurrent("CopyFromBitmap");
    int bytes = std::min(bitmapInfo_.WidthBytes, bitmapStride_);
    for (int y = 0; y < bitmapInfo_.Height; ++y)
        std::memcpy(current_.Data[0] + std::ptrdiff_t(y) * current_.LineSize[0],
                    bitmap_.data() + std::size_t(y) * bitmapStride_, bytes);
}

bool TFormatConverter::FromRGB(const TPicture& picture, AVPixelFormat pixelFormat, int height, int width) {
    RequireCurrent("FromRGB");
    // When no conversion was needed the current picture is the target itself: scaling it onto
    // itself would read rows it is overwriting, and there is nothing to convert anyway.
    if (pixelFormat == BitmapPixelFormat() && picture.Data[0] == current_.Data[0] &&
        picture.LineSize[0] == current_.LineSize[0])
        return true;
    SwsContext* context = Cached(fromBitmap_, width, height, BitmapPixelFormat(), pixelFormat);
    if (!context) {
        lastErrMsg_ = "Cannot initialize the fromRGB conversion context";
        return false;
    }
    ff::sws_scale(context, current_.Data, current_.LineSize, 0, height, picture.Data, picture.LineSize);
    return true;
}

bool TFormatConverter::FromRGB(AVFrame* frame) {
    return FromRGB(PictureOf(frame), AVPixelFormat(frame->format), frame->height, frame->width);
}
