#pragma once
// File names handed to FFmpeg: plain, or "unicode:utf8:" followed by the UTF-8 name.
//
// A name that the narrow character set of the current locale cannot spell is wrapped as
// "unicode:utf8:" + UTF-8; names whose text before the first colon is a known protocol
// ("unicode", "stream", "gopher", "http", "pipe", "rtp", "tcp", "udp") are never wrapped.
// libavformat can no longer register protocols, so a wrapped name is opened through a custom
// AVIOContext (OpenFileIO) whose callbacks are the file routines of TUnicodeFile.

#include "medialib/FFApi.h"

#include <cstdint>
#include <memory>
#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text); // invalid sequences become U+FFFD

bool NeedsUnicodeName(const std::wstring& name);
std::string MakeUnicodeURL(const std::wstring& name);
// At least 14 bytes, the first 13 being "unicode:utf8:".
bool IsUnicodeURL(const char* url);
// The file name behind a URL: the text after its second colon.
std::wstring DecodeUnicodeURL(const char* url);

// The name to hand to FFmpeg, in a 2048-byte buffer of the calling thread, valid until that
// thread's next call. A name that does not fit throws std::length_error naming the file.
const char* PrepareFileName(const std::wstring& name);
const char* PrepareFileName(const std::string& utf8Name);
// The file name behind a name FFmpeg holds.
std::wstring URLToFileName(const char* url);

// One open file of the protocol. Open modes follow the protocol's values.
enum TUnicodeOpenMode { uoRead = 0, uoWrite = 1, uoReadWrite = 2 };

class TUnicodeFile {
public:
    TUnicodeFile() = default;
    ~TUnicodeFile();
    TUnicodeFile(const TUnicodeFile&) = delete;
    TUnicodeFile& operator=(const TUnicodeFile&) = delete;

    // Reading needs an existing file; writing creates or truncates it. 0, or -2 on failure.
    int Open(const char* url, int mode);
    int Read(std::uint8_t* buffer, int size);        // bytes read, or -1
    int Write(const std::uint8_t* buffer, int size); // bytes written, or -1
    // whence 0, 1, 2 from the start, the current position or the end; AVSEEK_SIZE gives the file
    // size. The new position, or -1.
    std::int64_t Seek(std::int64_t position, int whence);
    int Close();

private:
    int fd_ = -1;
};

// Opens any name FFmpeg may be given: a "unicode:utf8:" URL through TUnicodeFile, anything else
// with avio_open2 and the process-wide interrupt callback. avioFlags: AVIO_FLAG_READ, _WRITE or
// _READ_WRITE. 0 or a negative AVERROR. Close with CloseFileIO, which flushes written data.
int OpenFileIO(AVIOContext** pb, const char* url, int avioFlags);
void CloseFileIO(AVIOContext** pb);

// Opens an input file for demuxing: a "unicode:utf8:" URL through OpenFileIO as the context's
// custom I/O, any other name by libavformat itself; either way with the process-wide interrupt
// callback. Arguments and result as avformat_open_input (*ctx is nullptr on failure). Close with
// CloseInputFile, which also releases the custom I/O.
int OpenInputFile(AVFormatContext** ctx, const char* url, const AVInputFormat* format, AVDictionary** options);
void CloseInputFile(AVFormatContext** ctx);

struct TFileIOCloser {
    void operator()(AVIOContext* pb) const { CloseFileIO(&pb); }
};
using TFileIOPtr = std::unique_ptr<AVIOContext, TFileIOCloser>;
