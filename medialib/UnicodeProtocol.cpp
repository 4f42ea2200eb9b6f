#include "medialib/UnicodeProtocol.h"

#include "medialib/InterruptCB.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <stdexcept>

namespace {
const char KnownPrefixes[] = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
const char URLHead[] = "unicode:utf8:";
constexpr std::size_t URLHeadLength = sizeof URLHead - 1;
constexpr std::size_t PreparedSize = 2048;
constexpr int IOBufferSize = 32768;

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Text in the locale's narrow character set; false when it cannot spell the text.
bool ToNarrow(const std::wstring& text, std::string& narrow) {
    std::mbstate_t state{};
    const wchar_t* src = text.c_str();
    std::size_t n = std::wcsrtombs(nullptr, &src, 0, &state);
    if (n == std::size_t(-1))
        return false;
    narrow.assign(n, '\0');
    src = text.c_str();
    state = {};
    std::wcsrtombs(narrow.data(), &src, n, &state);
    return true;
}

bool FromNarrow(const std::string& narrow, std::wstring& text) {
    std::mbstate_t state{};
    const char* src = narrow.c_str();
    std::size_t n = std::mbsrtowcs(nullptr, &src, 0, &state);
    if (n == std::size_t(-1))
        return false;
    text.assign(n, L'\0');
    src = narrow.c_str();
    state = {};
    std::mbsrtowcs(text.data(), &src, n, &state);
    return true;
}

// AVIOContext callbacks over a TUnicodeFile (the context's opaque).
int IORead(void* opaque, std::uint8_t* buffer, int size) {
    int n = static_cast<TUnicodeFile*>(opaque)->Read(buffer, size);
    return n > 0 ? n : n == 0 ? AVERROR_EOF : AVERROR(EIO);
}

int IOWrite(void* opaque, std::uint8_t* buffer, int size) {
    int n = static_cast<TUnicodeFile*>(opaque)->Write(buffer, size);
    return n < 0 ? AVERROR(EIO) : n;
}

std::int64_t IOSeek(void* opaque, std::int64_t position, int whence) {
    std::int64_t result = static_cast<TUnicodeFile*>(opaque)->Seek(position, whence & ~AVSEEK_FORCE);
    return result < 0 ? AVERROR(EIO) : result;
}

bool IsOurs(const AVIOContext* pb) { return pb->seek == &IOSeek; }
} // namespace

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        AppendUtf8(out, std::uint32_t(c));
    return out;
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = std::uint8_t(text[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        std::uint32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + std::size_t(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = std::uint8_t(text[i + std::size_t(k)]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        out += wchar_t(c);
        i += std::size_t(extra) + 1;
    }
    return out;
}

bool NeedsUnicodeName(const std::wstring& name) {
    std::size_t colon = name.find(L':');
    std::string prefix;
    if (colon != std::wstring::npos && ToNarrow(L":" + name.substr(0, colon) + L":", prefix) &&
        std::strstr(KnownPrefixes, prefix.c_str()))
        return false;
    std::string narrow;
    std::wstring back;
    return !ToNarrow(name, narrow) || !FromNarrow(narrow, back) || back != name;
}

std::string MakeUnicodeURL(const std::wstring& name) { return URLHead + WideToUtf8(name); }

bool IsUnicodeURL(const char* url) {
    return url && std::strlen(url) > URLHeadLength && std::strncmp(url, URLHead, URLHeadLength) == 0;
}

std::wstring DecodeUnicodeURL(const char* url) {
    std::wstring text = Utf8ToWide(url ? url : "");
    for (int field = 0; field < 2; ++field) {
        std::size_t colon = text.find(L':');
        text.erase(0, colon == std::wstring::npos ? text.size() : colon + 1);
    }
    return text;
}

const char* PrepareFileName(const std::wstring& name) {
    thread_local char prepared[PreparedSize];
    std::string text;
    // A name behind a known protocol is never wrapped, even when the narrow character set cannot
    // spell all of it; it then goes over as UTF-8, the form the system's own names and URLs take,
    // rather than as an empty name that would fail with a misleading error.
    if (NeedsUnicodeName(name))
        text = MakeUnicodeURL(name);
    else if (!ToNarrow(name, text))
        text = WideToUtf8(name);
    if (text.size() >= PreparedSize)
        throw std::length_error("File name too long: " + WideToUtf8(name));
    std::memset(prepared, 0, sizeof prepared);
    std::memcpy(prepared, text.data(), text.size());
    return prepared;
}

const char* PrepareFileName(const std::string& utf8Name) { return PrepareFileName(Utf8ToWide(utf8Name)); }

std::wstring URLToFileName(const char* url) {
    if (IsUnicodeURL(url))
        return DecodeUnicodeURL(url);
    std::wstring name;
    if (!FromNarrow(url ? url : "", name))
        name = Utf8ToWide(url ? url : "");
    return name;
}

TUnicodeFile::~TUnicodeFile() { Close(); }

int TUnicodeFile::Open(const char* url, int mode) {
    Close();
    const std::string file = WideToUtf8(DecodeUnicodeURL(url));
    int how = mode == uoReadWrite ? O_RDWR | O_CREAT | O_TRUNC : mode == uoWrite ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
    fd_ = ::open(file.c_str(), how | O_CLOEXEC, 0666);
    return fd_ < 0 ? -2 : 0;
}

int TUnicodeFile::Read(std::uint8_t* buffer, int size) {
    ssize_t n;
    do
        n = ::read(fd_, buffer, std::size_t(size));
    while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : int(n);
}

int TUnicodeFile::Write(const std::uint8_t* buffer, int size) {
    int done = 0;
    while (done < size) { // a short write is not a failure: finish it
        ssize_t n = ::write(fd_, buffer + done, std::size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        done += int(n);
    }
    return done;
}

std::int64_t TUnicodeFile::Seek(std::int64_t position, int whence) {
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return fstat(fd_, &st) == 0 ? std::int64_t(st.st_size) : -1;
    }
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return -1;
    off_t result = ::lseek(fd_, off_t(position), whence);
    return result < 0 ? -1 : std::int64_t(result);
}

int TUnicodeFile::Close() {
    if (fd_ < 0)
        return 0;
    int result = ::close(fd_);
    fd_ = -1;
    return result;
}

int OpenFileIO(AVIOContext** pb, const char* url, int avioFlags) {
    *pb = nullptr;
    if (!IsUnicodeURL(url)) {
        AVIOInterruptCB interrupt =
            avioFlags & AVIO_FLAG_WRITE ? OutputInterruptCallbackRecord() : InterruptCallbackRecord();
        return ff::avio_open2(pb, url, avioFlags, &interrupt, nullptr);
    }
    const bool writing = avioFlags & AVIO_FLAG_WRITE;
    const int mode = (avioFlags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE ? uoReadWrite : writing ? uoWrite : uoRead;
    auto file = std::make_unique<TUnicodeFile>();
    if (int status = file->Open(url, mode); status < 0)
        return status;
    auto* buffer = static_cast<std::uint8_t*>(ff::av_malloc(IOBufferSize));
    if (!buffer)
        return AVERROR(ENOMEM);
    *pb = ff::avio_alloc_context(buffer, IOBufferSize, writing ? 1 : 0, file.get(), &IORead,
                                 writing ? &IOWrite : nullptr, &IOSeek);
    if (!*pb) {
        ff::av_free(buffer);
        return AVERROR(ENOMEM);
    }
    file.release(); // owned by the context from here on, freed by CloseFileIO
    return 0;
}

void CloseFileIO(AVIOContext** pb) {
    if (!pb || !*pb)
        return;
    if (!IsOurs(*pb)) {
        ff::avio_closep(pb);
        return;
    }
    AVIOContext* io = *pb;
    if (io->write_flag)
        ff::avio_flush(io);
    delete static_cast<TUnicodeFile*>(io->opaque);
    ff::av_freep(&io->buffer);
    ff::avio_context_free(pb);
}

int OpenInputFile(AVFormatContext** ctx, const char* url, const AVInputFormat* format, AVDictionary** options) {
    *ctx = ff::avformat_alloc_context();
    if (!*ctx)
        return AVERROR(ENOMEM);
    (*ctx)->interrupt_callback = InterruptCallbackRecord();
    AVIOContext* custom = nullptr;
    if (IsUnicodeURL(url)) {
        if (int status = OpenFileIO(&custom, url, AVIO_FLAG_READ); status < 0) {
            ff::avformat_free_context(*ctx);
            *ctx = nullptr;
            return status;
        }
        (*ctx)->pb = custom;
        (*ctx)->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    const int status = ff::avformat_open_input(ctx, url, format, options);
    if (status < 0) // libavformat freed the context but leaves custom I/O to its owner
        CloseFileIO(&custom);
    return status;
}

void CloseInputFile(AVFormatContext** ctx) {
    if (!ctx || !*ctx)
        return;
    AVIOContext* custom = ((*ctx)->flags & AVFMT_FLAG_CUSTOM_IO) ? (*ctx)->pb : nullptr;
    ff::avformat_close_input(ctx);
    CloseFileIO(&custom);
}
