#include "app/clips/ClipFile.h"

#include "app/clips/ClipSource.h"
#include "app/pictures/FileKind.h"
#include "effects/BmpFile.h"
#include "medialib/FFLoad.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>

namespace {
std::string LowerExtension(const std::string& fileName) {
    const std::string ext = std::filesystem::path(fileName).extension().string();
    std::string lower;
    for (char c : ext.size() > 1 ? ext.substr(1) : std::string())
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Brands of ISO media files that hold still images, not video.
bool IsStillImageBrand(const unsigned char* brand) {
    static const char* const Still[] = {"heic", "heix", "heim", "heis", "mif1", "msf1", "avif", "avis", "jpeg"};
    for (const char* s : Still)
        if (std::memcmp(brand, s, 4) == 0)
            return true;
    return false;
}

enum TSniff { sniffPicture, sniffClip, sniffUnknown };

TSniff SniffContent(const std::string& fileName) {
    unsigned char head[16] = {};
    std::size_t got = 0;
    // Only a regular file is opened: a named pipe would block here until something writes to it.
    if (!NotAFileKind(fileName).empty())
        return sniffUnknown;
    if (std::FILE* f = std::fopen(fileName.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    if (got < 4)
        return sniffUnknown;
    if ((head[0] == 0xFF && head[1] == 0xD8) || (head[0] == 0x89 && head[1] == 'P' && head[2] == 'N') ||
        (head[0] == 'B' && head[1] == 'M'))
        return sniffPicture;
    if (got >= 12 && std::memcmp(head + 4, "ftyp", 4) == 0)
        return IsStillImageBrand(head + 8) ? sniffPicture : sniffClip;
    if (got >= 8 && (std::memcmp(head + 4, "moov", 4) == 0 || std::memcmp(head + 4, "mdat", 4) == 0 ||
                     std::memcmp(head + 4, "wide", 4) == 0))
        return sniffClip;
    if (head[0] == 0x1A && head[1] == 0x45 && head[2] == 0xDF && head[3] == 0xA3) // Matroska, WebM
        return sniffClip;
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0)
        return sniffClip;
    if (head[0] == 0 && head[1] == 0 && head[2] == 1 && (head[3] == 0xBA || head[3] == 0xB3)) // MPEG program/video
        return sniffClip;
    if (std::memcmp(head, "FLV", 3) == 0)
        return sniffClip;
    return sniffUnknown;
}

struct TCacheKey {
    std::string File;
    std::uintmax_t Size;
    std::filesystem::file_time_type Written;
    bool operator<(const TCacheKey& o) const {
        return std::tie(File, Size, Written) < std::tie(o.File, o.Size, o.Written);
    }
};
struct TCacheEntry {
    bool Ok;
    TClipInfo Info;
    std::string Why;
};

std::mutex cacheLock;
std::map<TCacheKey, TCacheEntry>& Cache() {
    static std::map<TCacheKey, TCacheEntry> cache;
    return cache;
}

// An index that points past the file's end: the file was cut short while it was written or copied.
std::string CutShortReason(TClipSource& source) {
    AVStream* st = source.Stream();
    const int count = ff::avformat_index_get_entries_count(st);
    if (count <= 0)
        return {};
    const std::int64_t size = source.Format()->pb ? ff::avio_size(source.Format()->pb) : -1;
    if (size <= 0)
        return {};
    std::int64_t end = 0;
    for (int i = count - 1; i >= 0 && i >= count - 8; --i)
        if (const AVIndexEntry* e = ff::avformat_index_get_entry(st, i))
            end = std::max(end, e->pos + std::int64_t(e->size));
    if (end <= size)
        return {};
    return "the file is cut short (" + std::to_string(size) + " bytes of the " + std::to_string(end) +
           " its index needs)";
}

TClipInfo Examine(const std::string& fileName) {
    if (!FFLoader().LibsLoaded(EncoderLibs) && !FFLoader().LoadLibs(EncoderLibs))
        throw TPictureError(ClipErrorText(fileName, "the media libraries cannot be loaded: " + FFLoader().LastErrMsg()));
    TClipSource source(fileName, 1);
    if (std::string why = CutShortReason(source); !why.empty())
        throw TPictureError(ClipErrorText(fileName, why));
    AVFrame* frame = ff::av_frame_alloc();
    if (!frame)
        throw TPictureError(ClipErrorText(fileName, "out of memory"));
    bool decoded = false;
    try {
        decoded = source.NextFrame(frame);
    } catch (...) {
        ff::av_frame_free(&frame);
        throw;
    }
    ff::av_frame_free(&frame);
    if (!decoded)
        throw TPictureError(ClipErrorText(fileName, "not one picture of it can be decoded"));
    TClipInfo info;
    info.Duration = source.Duration();
    info.Width = source.DisplayWidth();
    info.Height = source.DisplayHeight();
    info.Rotation = source.Rotation();
    info.Codec = ff::avcodec_get_name(source.Stream()->codecpar->codec_id);
    AVFormatContext* ic = source.Format();
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
            ff::avcodec_find_decoder(ic->streams[i]->codecpar->codec_id))
            info.HasAudio = true;
    if (!(info.Duration > 0))
        throw TPictureError(ClipErrorText(fileName, "its length is not known"));
    return info;
}
} // namespace

const std::vector<std::string>& ClipExtensions() {
    static const std::vector<std::string> extensions = {"mp4", "m4v", "mov", "qt",  "mkv", "webm", "avi",
                                                        "3gp", "3g2", "mts", "m2ts", "ts", "mpg", "mpeg",
                                                        "wmv", "flv", "ogv"};
    return extensions;
}

bool IsClipFile(const std::string& fileName) {
    switch (SniffContent(fileName)) {
    case sniffPicture:
        return false;
    case sniffClip:
        return true;
    case sniffUnknown:
        break;
    }
    const std::string ext = LowerExtension(fileName);
    const auto& known = ClipExtensions();
    return std::find(known.begin(), known.end(), ext) != known.end();
}

bool ProbeClip(const std::string& fileName, TClipInfo& info, std::string& why) {
    if (const std::string kind = NotAFileKind(fileName); !kind.empty()) {
        why = ClipErrorText(fileName, "it is " + kind + ", not a file");
        return false;
    }
    std::error_code ec;
    TCacheKey key{fileName, std::filesystem::file_size(fileName, ec), {}};
    if (ec) {
        why = ClipErrorText(fileName, std::filesystem::exists(fileName) ? "it cannot be read" : "there is no such file");
        return false;
    }
    key.Written = std::filesystem::last_write_time(fileName, ec);
    {
        std::lock_guard<std::mutex> lock(cacheLock);
        if (auto it = Cache().find(key); it != Cache().end()) {
            info = it->second.Info;
            why = it->second.Why;
            return it->second.Ok;
        }
    }
    TCacheEntry entry{true, {}, {}};
    try {
        entry.Info = Examine(fileName);
    } catch (const std::exception& e) {
        entry.Ok = false;
        entry.Why = e.what();
    }
    // Without the libraries nothing was learnt about the file: asked again, it is looked at again.
    if (FFLoader().LibsLoaded(EncoderLibs)) {
        std::lock_guard<std::mutex> lock(cacheLock);
        Cache()[key] = entry;
    }
    info = entry.Info;
    why = entry.Why;
    return entry.Ok;
}

TClipInfo ProbeClip(const std::string& fileName) {
    TClipInfo info;
    std::string why;
    if (!ProbeClip(fileName, info, why))
        throw TPictureError(why);
    return info;
}
