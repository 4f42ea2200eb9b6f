#include "effects/BmpFile.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kJpeg = 4;
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitFields = 6;

// Limits that keep a lying header from making us allocate gigabytes: the largest side a
// bitmap may have and the largest pixel count (512 MiB of frame memory).
constexpr std::int64_t kMaxSide = 1 << 16;
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 27;
// A bitmap file larger than this is refused before it is read.
constexpr std::int64_t kMaxFileSize = std::int64_t(1) << 31;

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

class TBmpDecoder {
public:
    TBmpDecoder(const std::string& fileName, const std::vector<std::uint8_t>& data)
        : name_(fileName), data_(data) {}

    TFrameBitmap Decode() {
        ReadFileHeader();
        ReadInfoHeader();
        CheckFormat();
        ReadMasks();
        ReadPalette();
        CheckPixelData();
        return DecodePixels();
    }

private:
    // One colour channel of a 16- or 32-bit pixel: where it sits and how to widen it to 8 bits.
    struct TChannel {
        std::uint32_t Mask = 0;
        int Shift = 0;
        int Bits = 0;

        void Set(std::uint32_t mask) {
            Mask = mask;
            Shift = mask ? std::countr_zero(mask) : 0;
            Bits = mask ? std::bit_width(mask >> Shift) : 0;
        }
        std::uint32_t Value(std::uint32_t pixel) const {
            if (Bits == 0)
                return 0;
            std::uint32_t v = (pixel & Mask) >> Shift;
            if (Bits >= 8)
                return v >> (Bits - 8);
            std::uint32_t max = (1u << Bits) - 1;
            return (v * 255 + max / 2) / max;
        }
    };

    [[noreturn]] void Fail(const std::string& reason) const {
        throw TPictureError("Cannot read picture \"" + name_ + "\": " + reason);
    }

    std::uint16_t U16(std::size_t at) const { return std::uint16_t(data_[at] | (data_[at + 1] << 8)); }
    std::uint32_t U32(std::size_t at) const {
        return std::uint32_t(data_[at]) | (std::uint32_t(data_[at + 1]) << 8) |
               (std::uint32_t(data_[at + 2]) << 16) | (std::uint32_t(data_[at + 3]) << 24);
    }
    std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }

    void ReadFileHeader() {
        if (data_.empty())
            Fail("the file is empty");
        if (data_.size() < kFileHeaderSize + 4)
            Fail("the file is too short to be a bitmap (" + std::to_string(data_.size()) + " bytes)");
        if (data_[0] != 'B' || data_[1] != 'M')
            Fail("not a Windows bitmap (the file does not start with \"BM\")");
        pixelOffset_ = U32(10);
        headerSize_ = U32(kFileHeaderSize);
    }

    void ReadInfoHeader() {
        const std::uint32_t h = headerSize_;
        if (h != kCoreHeaderSize && h != kInfoHeaderSize && h != 52 && h != 56 && h != 108 && h != 124)
            Fail("unsupported bitmap header size " + std::to_string(h));
        if (kFileHeaderSize + h > data_.size())
            Fail("the bitmap header is truncated");
        const std::size_t p = kFileHeaderSize + 4;
        std::int64_t height = 0;
        if (h == kCoreHeaderSize) {
            width_ = U16(p);
            height = U16(p + 2);
            planes_ = U16(p + 4);
            bitCount_ = U16(p + 6);
        } else {
            width_ = I32(p);
            height = I32(p + 4);
            planes_ = U16(p + 8);
            bitCount_ = U16(p + 10);
            compression_ = U32(p + 12);
            colorsUsed_ = U32(p + 28);
        }
        topDown_ = height < 0;
        height_ = topDown_ ? -height : height;
        dataStart_ = kFileHeaderSize + h;
    }

    void CheckFormat() {
        if (planes_ != 1)
            Fail("invalid number of colour planes " + std::to_string(planes_));
        if (width_ <= 0 || height_ <= 0)
            Fail("invalid picture size " + std::to_string(width_) + " x " +
                 std::to_string(topDown_ ? -height_ : height_));
        if (width_ > kMaxSide || height_ > kMaxSide || width_ * height_ > kMaxPixels)
            Fail("the picture is too large (" + std::to_string(width_) + " x " + std::to_string(height_) + ")");
        switch (compression_) {
        case kRgb:
        case kBitFields:
        case kAlphaBitFields:
            break;
        case kRle8:
        case kRle4:
            Fail("run-length compressed bitmaps (RLE) are not supported");
        case kJpeg:
        case kPng:
            Fail("bitmaps holding JPEG or PNG data are not supported");
        default:
            Fail("unknown bitmap compression " + std::to_string(compression_));
        }
        const bool core = headerSize_ == kCoreHeaderSize;
        bool depthOk = false;
        if (compression_ != kRgb)
            depthOk = bitCount_ == 16 || bitCount_ == 32;
        else if (core)
            depthOk = bitCount_ == 1 || bitCount_ == 4 || bitCount_ == 8 || bitCount_ == 24;
        else
            depthOk = bitCount_ == 1 || bitCount_ == 4 || bitCount_ == 8 || bitCount_ == 16 || bitCount_ == 24 ||
                      bitCount_ == 32;
        if (!depthOk)
            Fail("unsupported bit depth " + std::to_string(bitCount_) +
                 (compression_ != kRgb ? " for a bitmap with colour masks" : ""));
    }

    void ReadMasks() {
        if (compression_ == kRgb) {
            if (bitCount_ == 16)
                SetMasks(0x7C00, 0x03E0, 0x001F);
            else if (bitCount_ == 32)
                SetMasks(0xFF0000, 0x00FF00, 0x0000FF);
            return;
        }
        std::size_t at = kFileHeaderSize + kInfoHeaderSize;
        if (headerSize_ == kInfoHeaderSize) {
            // The masks follow a plain info header and come before the colour table.
            dataStart_ += compression_ == kAlphaBitFields ? 16 : 12;
            if (dataStart_ > data_.size())
                Fail("the colour masks are truncated");
        }
        SetMasks(U32(at), U32(at + 4), U32(at + 8));
        if (red_.Mask == 0 && green_.Mask == 0 && blue_.Mask == 0)
            Fail("the colour masks are all zero");
    }

    void SetMasks(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        red_.Set(r);
        green_.Set(g);
        blue_.Set(b);
    }

    void ReadPalette() {
        if (pixelOffset_ < dataStart_)
            Fail("the pixel data offset " + std::to_string(pixelOffset_) + " lies inside the headers");
        if (bitCount_ > 8)
            return;
        const std::uint32_t maxColors = 1u << bitCount_;
        const bool core = headerSize_ == kCoreHeaderSize;
        const std::uint32_t entrySize = core ? 3 : 4;
        std::uint32_t declared = (core || colorsUsed_ == 0) ? maxColors : colorsUsed_;
        if (declared > maxColors)
            declared = maxColors; // more entries than indices: the extra ones are never used
        const std::uint64_t room = (std::min<std::uint64_t>(pixelOffset_, data_.size()) - dataStart_) / entrySize;
        if (room < declared)
            Fail("the colour table is too short (" + std::to_string(room) + " of " + std::to_string(declared) +
                 " entries)");
        palette_.assign(256, 0u);
        for (std::uint32_t i = 0; i < declared; ++i) {
            const std::size_t e = dataStart_ + std::size_t(i) * entrySize;
            palette_[i] = TFrameBitmap::MakePixel(data_[e + 2], data_[e + 1], data_[e]);
        }
    }

    void CheckPixelData() {
        const std::uint64_t rowBits = std::uint64_t(width_) * bitCount_;
        stride_ = ((rowBits + 31) / 32) * 4;
        // The last row need not carry its padding.
        const std::uint64_t needed = stride_ * std::uint64_t(height_ - 1) + (rowBits + 7) / 8;
        if (pixelOffset_ >= data_.size())
            Fail("the pixel data offset " + std::to_string(pixelOffset_) + " lies beyond the end of the file");
        const std::uint64_t available = data_.size() - pixelOffset_;
        if (available < needed)
            Fail("the pixel data is truncated (" + std::to_string(available) + " of " + std::to_string(needed) +
                 " bytes)");
    }

    TFrameBitmap DecodePixels() {
        TFrameBitmap bitmap;
        try {
            bitmap.SetSize(static_cast<int>(width_), static_cast<int>(height_));
        } catch (const std::bad_alloc&) {
            Fail("not enough memory for " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels");
        }
        for (std::int64_t r = 0; r < height_; ++r) {
            const std::uint8_t* src = data_.data() + pixelOffset_ + std::size_t(r) * stride_;
            const int y = static_cast<int>(topDown_ ? r : height_ - 1 - r);
            DecodeRow(src, bitmap.Row(y));
        }
        return bitmap;
    }

    void DecodeRow(const std::uint8_t* src, std::uint32_t* dst) const {
        const int w = static_cast<int>(width_);
        switch (bitCount_) {
        case 1:
        case 4:
        case 8: {
            const int perByte = 8 / bitCount_;
            const unsigned mask = (1u << bitCount_) - 1;
            for (int x = 0; x < w; ++x) {
                const int shift = 8 - bitCount_ * (x % perByte + 1);
                dst[x] = palette_[(src[x / perByte] >> shift) & mask];
            }
            break;
        }
        case 16:
            for (int x = 0; x < w; ++x)
                dst[x] = MaskedPixel(std::uint32_t(src[2 * x]) | (std::uint32_t(src[2 * x + 1]) << 8));
            break;
        case 24:
            for (int x = 0; x < w; ++x)
                dst[x] = TFrameBitmap::MakePixel(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
        case 32:
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* s = src + 4 * x;
                const std::uint32_t v =
                    std::uint32_t(s[0]) | (std::uint32_t(s[1]) << 8) | (std::uint32_t(s[2]) << 16) |
                    (std::uint32_t(s[3]) << 24);
                dst[x] = MaskedPixel(v);
            }
            break;
        }
    }

    std::uint32_t MaskedPixel(std::uint32_t v) const {
        return (red_.Value(v) << 16) | (green_.Value(v) << 8) | blue_.Value(v);
    }

    const std::string& name_;
    const std::vector<std::uint8_t>& data_;
    std::uint32_t pixelOffset_ = 0;
    std::uint32_t headerSize_ = 0;
    std::size_t dataStart_ = 0; // first byte after the headers and masks
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;
    bool topDown_ = false;
    int planes_ = 0;
    int bitCount_ = 0;
    std::uint32_t compression_ = kRgb;
    std::uint32_t colorsUsed_ = 0;
    std::uint64_t stride_ = 0;
    TChannel red_, green_, blue_;
    std::vector<std::uint32_t> palette_;
};

std::string ErrnoText(int err) { return std::strerror(err); }

std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName) {
    const auto fail = [&](const std::string& reason) {
        throw TPictureError("Cannot read picture \"" + fileName + "\": " + reason);
    };
    TFilePtr file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        fail(ErrnoText(errno));
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        fail(ErrnoText(errno));
    const long size = std::ftell(file.get());
    if (size < 0)
        fail(ErrnoText(errno)); // a folder or an unseekable file
    if (size > kMaxFileSize)
        fail("the file is too large for a bitmap");
    std::rewind(file.get());
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (!data.empty() && std::fread(data.data(), 1, data.size(), file.get()) != data.size())
        fail(std::ferror(file.get()) ? ErrnoText(errno) : "the file changed while it was read");
    return data;
}

void PutU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}

} // namespace

TFrameBitmap LoadBmpFile(const std::string& fileName) {
    return DecodeBmp(ReadWholeFile(fileName), fileName);
}

TFrameBitmap DecodeBmp(const std::vector<std::uint8_t>& contents, const std::string& fileName) {
    return TBmpDecoder(fileName, contents).Decode();
}

void SaveBmpFile(const TFrameBitmap& bitmap, const std::string& fileName) {
    const auto fail = [&](const std::string& reason) {
        throw TPictureError("Cannot write picture \"" + fileName + "\": " + reason);
    };
    if (bitmap.Empty())
        fail("the bitmap is empty");
    const std::uint64_t imageSize = std::uint64_t(bitmap.Width()) * bitmap.Height() * 4;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    if (imageSize + offset > 0xFFFFFFFFu)
        fail("the bitmap is too large for a bitmap file");

    std::uint8_t header[kFileHeaderSize + kInfoHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header + 2, std::uint32_t(imageSize + offset));
    PutU32(header + 10, offset);
    std::uint8_t* info = header + kFileHeaderSize;
    PutU32(info, kInfoHeaderSize);
    PutU32(info + 4, std::uint32_t(bitmap.Width()));
    PutU32(info + 8, std::uint32_t(bitmap.Height())); // positive: bottom-up
    PutU16(info + 12, 1);
    PutU16(info + 14, 32);
    PutU32(info + 16, kRgb);
    PutU32(info + 20, std::uint32_t(imageSize));
    PutU32(info + 24, 2835); // 72 dots per inch
    PutU32(info + 28, 2835);

    TFilePtr file(std::fopen(fileName.c_str(), "wb"));
    if (!file)
        fail(ErrnoText(errno));
    bool ok = std::fwrite(header, 1, sizeof header, file.get()) == sizeof header;
    std::vector<std::uint8_t> row(std::size_t(bitmap.Width()) * 4);
    for (int y = bitmap.Height() - 1; ok && y >= 0; --y) {
        const std::uint32_t* src = bitmap.Row(y);
        // The fourth byte is written as zero: some viewers take it for alpha.
        for (int x = 0; x < bitmap.Width(); ++x)
            PutU32(row.data() + 4 * x, src[x] & 0x00FFFFFFu);
        ok = std::fwrite(row.data(), 1, row.size(), file.get()) == row.size();
    }
    const int writeErr = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!ok || !closed) {
        std::remove(fileName.c_str());
        fail(ErrnoText(ok ? errno : writeErr));
    }
}
