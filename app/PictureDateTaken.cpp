#include "app/PictureDateTaken.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace {
constexpr unsigned TagDateTime = 0x0132;
constexpr unsigned TagExifDirectory = 0x8769;
constexpr unsigned TagDateTimeOriginal = 0x9003;
constexpr unsigned TypeAscii = 2;
constexpr unsigned TypeLong = 4;
constexpr std::size_t DateLength = 19; // "YYYY:MM:DD HH:MM:SS"

class TTiffReader {
public:
    TTiffReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Open() {
        if (size_ < 8)
            return false;
        if (data_[0] == 'I' && data_[1] == 'I')
            little_ = true;
        else if (data_[0] == 'M' && data_[1] == 'M')
            little_ = false;
        else
            return false;
        return U16(2) == 42;
    }
    std::uint32_t FirstDirectory() const { return U32(4); }

    // The entry of tag in the directory at offset; 0 when there is none (offset 0 is never an entry).
    std::size_t Find(std::uint32_t directory, unsigned tag) const {
        if (directory < 8 || directory > size_ || size_ - directory < 2)
            return 0;
        const unsigned entries = U16(directory);
        for (unsigned i = 0; i < entries; ++i) {
            const std::size_t entry = directory + 2 + std::size_t(i) * 12;
            if (entry + 12 > size_)
                return 0;
            if (U16(entry) == tag)
                return entry;
        }
        return 0;
    }
    std::uint32_t Long(std::size_t entry) const {
        return U16(entry + 2) == TypeLong && U32(entry + 4) == 1 ? U32(entry + 8) : 0;
    }
    // An ASCII value of the date's shape (its 20 bytes lie outside the entry).
    std::string Date(std::size_t entry) const {
        if (!entry || U16(entry + 2) != TypeAscii || U32(entry + 4) < DateLength)
            return {};
        const std::uint32_t at = U32(entry + 8);
        if (at > size_ || size_ - at < DateLength)
            return {};
        std::string text(reinterpret_cast<const char*>(data_ + at), DateLength);
        // Digits where the digits go, the separators where they go; cameras write blanks for unknown dates.
        for (std::size_t i = 0; i < DateLength; ++i) {
            const char c = text[i];
            const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
            if (separator ? (c != (i == 10 ? ' ' : ':')) : (c < '0' || c > '9'))
                return {};
        }
        return text == "0000:00:00 00:00:00" ? std::string() : text;
    }

private:
    unsigned U16(std::size_t at) const {
        if (at + 2 > size_)
            return 0;
        return little_ ? data_[at] | data_[at + 1] << 8 : data_[at] << 8 | data_[at + 1];
    }
    std::uint32_t U32(std::size_t at) const {
        if (at + 4 > size_)
            return 0;
        return little_ ? std::uint32_t(U16(at)) | std::uint32_t(U16(at + 2)) << 16
                       : std::uint32_t(U16(at)) << 16 | std::uint32_t(U16(at + 2));
    }
    const std::uint8_t* data_;
    std::size_t size_;
    bool little_ = true;
};
} // namespace

std::string ExifDateTaken(const std::uint8_t* app1, std::size_t size) {
    static const std::uint8_t Signature[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (!app1 || size < 6 || std::memcmp(app1, Signature, 6) != 0)
        return {};
    TTiffReader tiff(app1 + 6, size - 6);
    if (!tiff.Open())
        return {};
    const std::uint32_t first = tiff.FirstDirectory();
    if (const std::size_t pointer = tiff.Find(first, TagExifDirectory)) {
        const std::string original = tiff.Date(tiff.Find(tiff.Long(pointer), TagDateTimeOriginal));
        if (!original.empty())
            return original;
    }
    return tiff.Date(tiff.Find(first, TagDateTime));
}

std::string PictureDateTaken(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    unsigned char soi[2] = {};
    if (!in.read(reinterpret_cast<char*>(soi), 2) || soi[0] != 0xFF || soi[1] != 0xD8)
        return {};
    // The segments before the picture data; the EXIF segment is one of the first.
    for (int segments = 0; segments < 64; ++segments) {
        unsigned char marker[4] = {};
        if (!in.read(reinterpret_cast<char*>(marker), 4) || marker[0] != 0xFF)
            return {};
        const unsigned kind = marker[1];
        const std::size_t length = std::size_t(marker[2]) << 8 | marker[3];
        if (kind == 0xDA || kind == 0xD9 || length < 2)
            return {}; // the picture data starts: no EXIF before it
        if (kind == 0xE1) {
            std::vector<std::uint8_t> payload(length - 2);
            if (!in.read(reinterpret_cast<char*>(payload.data()), std::streamsize(payload.size())))
                return {};
            const std::string date = ExifDateTaken(payload.data(), payload.size());
            if (!date.empty())
                return date;
        } else if (!in.seekg(std::streamoff(length - 2), std::ios::cur)) {
            return {};
        }
    }
    return {};
}
