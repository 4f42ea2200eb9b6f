#include "effects/BmpFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

// Where the bitmap's bytes come from: a file read piece by piece, or contents in memory.
class TBmpSource {
public:
    virtual ~TBmpSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Exactly n bytes from offset, which lie within Size(); false when they cannot be read.
    virtual bool Read(std::uint64_t offset, std::uint8_t* to, std::size_t n) = 0;
};

class TMemorySource : public TBmpSource {
public:
    explicit TMemorySource(const std::vector<std::uint8_t>& data) : data_(data) {}
    std::uint64_t Size() const override { return data_.size(); }
    bool Read(std::uint64_t offset, std::uint8_t* to, std::size_t n) override {
        std::memcpy(to, data_.data() + offset, n);
        return true;
    }

private:
    const std::vector<std::uint8_t>& data_;
};

// The headers, the masks and a colour table of 256 entries all lie within this many bytes.
constexpr std::size_t kHeadBytes = 2048;

class TBmpDecoder {
public:
    TBmpDecoder(const std::string& fileName, TBmpSource& source) : name_(fileName), source_(source) {
        size_ = source.Size();
        data_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_, kHeadBytes)));
        if (!data_.empty() && !source.Read(0, data_.data(), data_.size()))
            Fail("the file cannot be read");
        ReadFileHeader();
        ReadInfoHeader();
        CheckFormat();
        ReadMasks();
        ReadPalette();
        CheckPixelData();
        row_.resize(static_cast<std::size_t>(stride_));
    }

    int Width() const { return static_cast<int>(width_); }
    int Height() const { return static_cast<int>(height_); }

    // Row y counted from the top, whichever way the file stores its rows.
    void ReadRow(int y, std::uint32_t* dst) {
        const std::uint64_t r = topDown_ ? std::uint64_t(y) : std::uint64_t(height_ - 1 - y);
        const std::uint64_t at = pixelOffset_ + r * stride_;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(stride_, size_ - at));
        if (!source_.Read(at, row_.data(), n))
            Fail("the pixel data cannot be read");
        DecodeRow(row_.data(), dst);
    }

    TFrameBitmap Decode() {
        TFrameBitmap bitmap;
        try {
            bitmap.SetSize(static_cast<int>(width_), static_cast<int>(height_));
        } catch (const std::bad_alloc&) {
            Fail("not enough memory for " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels");
        }
        for (int y = 0; y < bitmap.Height(); ++y)
            ReadRow(y, bitmap.Row(y));
        return bitmap;
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
        if (size_ == 0)
            Fail("the file is empty");
        if (size_ < kFileHeaderSize + 4)
            Fail("the file is too short to be a bitmap (" + std::to_string(size_) + " bytes)");
        if (data_[0] != 'B' || data_[1] != 'M')
            Fail("not a Windows bitmap (the file does not start with \"BM\")");
        pixelOffset_ = U32(10);
        headerSize_ = U32(kFileHeaderSize);
    }

    void ReadInfoHeader() {
        const std::uint32_t h = headerSize_;
        if (h != kCoreHeaderSize && h != kInfoHeaderSize && h != 52 && h != 56 && h != 108 && h != 124)
            Fail("unsupported bitmap header size " + std::to_string(h));
        if (kFileHeaderSize + h > size_)
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
            if (dataStart_ > size_)
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
        const std::uint64_t room = (std::min<std::uint64_t>(pixelOffset_, size_) - dataStart_) / entrySize;
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
        if (pixelOffset_ >= size_)
            Fail("the pixel data offset " + std::to_string(pixelOffset_) + " lies beyond the end of the file");
        const std::uint64_t available = size_ - pixelOffset_;
        if (available < needed)
            Fail("the pixel data is truncated (" + std::to_string(available) + " of " + std::to_string(needed) +
                 " bytes)");
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
    TBmpSource& source_;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> data_; // the first kHeadBytes of the file (fewer when it is shorter)
    std::vector<std::uint8_t> row_;
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

// The file read piece by piece: a bitmap is never held whole as file contents.
class TFileSource : public TBmpSource {
public:
    explicit TFileSource(const std::string& fileName) {
        const auto fail = [&](const std::string& reason) {
            throw TPictureError("Cannot read picture \"" + fileName + "\": " + reason);
        };
        std::error_code ec;
        if (std::filesystem::is_directory(fileName, ec))
            fail("it is a folder, not a file");
        file_.reset(std::fopen(fileName.c_str(), "rb"));
        if (!file_)
            fail(ErrnoText(errno));
        if (fseeko(file_.get(), 0, SEEK_END) != 0)
            fail(ErrnoText(errno));
        const off_t size = ftello(file_.get());
        if (size < 0)
            fail(ErrnoText(errno)); // an unseekable file
        if (size > kMaxFileSize)
            fail("the file is too large for a bitmap");
        size_ = std::uint64_t(size);
    }
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::uint8_t* to, std::size_t n) override {
        return fseeko(file_.get(), off_t(offset), SEEK_SET) == 0 && std::fread(to, 1, n, file_.get()) == n;
    }

private:
    TFilePtr file_;
    std::uint64_t size_ = 0;
};

void PutU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}

} // namespace

struct TBmpReader::TImpl {
    std::string Name;
    TFileSource Source;
    TBmpDecoder Decoder;
    explicit TImpl(const std::string& fileName) : Name(fileName), Source(fileName), Decoder(Name, Source) {}
};

TBmpReader::TBmpReader(const std::string& fileName) : impl_(std::make_unique<TImpl>(fileName)) {}
TBmpReader::~TBmpReader() = default;
int TBmpReader::Width() const { return impl_->Decoder.Width(); }
int TBmpReader::Height() const { return impl_->Decoder.Height(); }
void TBmpReader::ReadRow(int y, std::uint32_t* row) { impl_->Decoder.ReadRow(y, row); }

TFrameBitmap LoadBmpFile(const std::string& fileName) {
    TFileSource source(fileName);
    return TBmpDecoder(fileName, source).Decode();
}

TFrameBitmap DecodeBmp(const std::vector<std::uint8_t>& contents, const std::string& fileName) {
    TMemorySource source(contents);
    return TBmpDecoder(fileName, source).Decode();
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
