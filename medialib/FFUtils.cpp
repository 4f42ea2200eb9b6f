#include "medialib/FFUtils.h"

#include "medialib/FFApi.h"

#include <cstdio>
#include <sys/stat.h>
#include <memory>
#include <stdexcept>

namespace {
struct TCodeText {
    int Number; // the error number, positive
    const char* Text;
};

// FFmpeg's errors are negated error numbers; the numbers are those of this platform.
const TCodeText ErrnoTexts[] = {
    {1, "Operation not permitted"}, {2, "No such file or directory"}, {3, "No such process"},
    {4, "Interrupted function call"}, {5, "I/O error"}, {6, "No such device or address"},
    {7, "Argument list too long"}, {8, "Exec format error"}, {9, "Bad file number"},
    {10, "No child processes"}, {11, "Resource temporarily unavailable / Try again"},
    {12, "Not enough space / Out of memory"}, {13, "Permission denied"}, {14, "Bad address"},
    {15, "Block device required"}, {16, "Device or resource busy"}, {17, "File exists"},
    {18, "Cross-device link"}, {19, "No such device"}, {20, "Not a directory"}, {21, "Is a directory"},
    {22, "Invalid argument / Invalid data found when processing input"},
    {23, "Too many open files in system / File table overflow"}, {24, "Too many open files"},
    {25, "Inappropriate I/O control operation / Not a typewriter"}, {26, "Text file busy"},
    {27, "File too large"}, {28, "No space left on device"}, {29, "Illegal seek"},
    {30, "Read-only file system"}, {31, "Too many links"}, {32, "End of file"},
    {33, "Number syntax expected in filename"}, {34, "Math result not representable"},
    {35, "Resource deadlock would occur"}, {36, "File name too long"}, {37, "No record locks available"},
    {38, "Function not implemented"}, {39, "Directory not empty"}, {40, "Too many symbolic links encountered"},
    {42, "Unknown format"}, {43, "Identifier removed"}, {44, "Channel number out of range"},
    {45, "Level 2 not synchronized"}, {46, "Level 3 halted"}, {47, "Level 3 reset"},
    {48, "Link number out of range"}, {49, "Protocol driver not attached"}, {50, "No CSI structure available"},
    {51, "Level 2 halted"}, {52, "Invalid exchange"}, {53, "Invalid request descriptor"}, {54, "Exchange full"},
    {55, "No anode"}, {56, "Invalid request code"}, {57, "Invalid slot"}, {59, "Bad font file format"},
    {60, "Device not a stream"}, {61, "No data available"}, {62, "Timer expired"},
    {63, "Out of streams resources"}, {64, "Machine is not on the network"}, {65, "Package not installed"},
    {66, "Object is remote"}, {67, "Link has been severed"}, {68, "Advertise error"}, {69, "Srmount error"},
    {70, "Communication error on send"}, {71, "Protocol error"}, {72, "Multihop attempted"},
    {73, "RFS specific error"}, {74, "Not a data message"}, {75, "Value too large for defined data type"},
    {76, "Name not unique on network"}, {77, "File descriptor in bad state"}, {78, "Remote address changed"},
    {79, "Can not access a needed shared library"}, {80, "Accessing a corrupted shared library"},
    {81, ".lib section in a.out corrupted"}, {82, "Attempting to link in too many shared libraries"},
    {83, "Cannot exec a shared library directly"}, {84, "Illegal byte sequence"},
    {85, "Interrupted system call should be restarted"}, {86, "Streams pipe error"}, {87, "Too many users"},
    {88, "Socket operation on non-socket"}, {89, "Destination address required"}, {90, "Message too long"},
    {91, "Protocol wrong type for socket"}, {92, "Protocol not available"}, {93, "Protocol not supported"},
    {94, "Socket type not supported"}, {95, "Operation not supported on transport endpoint"},
    {96, "Protocol family not supported"}, {97, "Address family not supported by protocol"},
    {98, "Address already in use"}, {99, "Cannot assign requested address"}, {100, "Network is down"},
    {101, "Network is unreachable"}, {102, "Network dropped connection because of reset"},
    {103, "Software caused connection abort"}, {104, "Connection reset by peer"},
    {105, "No buffer space available"}, {106, "Transport endpoint is already connected"},
    {107, "Transport endpoint is not connected"}, {108, "Cannot send after transport endpoint shutdown"},
    {109, "Too many references: cannot splice"}, {110, "Connection timed out"}, {111, "Connection refused"},
    {112, "Host is down"}, {113, "No route to host"}, {114, "Operation already in progress"},
    {115, "Operation now in progress"}, {116, "Stale NFS file handle"}, {117, "Structure needs cleaning"},
    {118, "Not a XENIX named type file"}, {119, "No XENIX semaphores available"}, {120, "Is a named type file"},
    {121, "Remote I/O error"}, {122, "Quota exceeded"}, {123, "No medium found"}, {124, "Wrong medium type"},
    {125, "Operation Canceled"}, {126, "Required key not available"}, {127, "Key has expired"},
    {128, "Key has been revoked"}, {129, "Key was rejected by service"}, {130, "Owner died"},
    {131, "State not recoverable"},
};

// Socket error numbers that mean the same as an error number above.
struct TAlias {
    int Number;
    int SameAs;
};
const TAlias SocketAliases[] = {
    {10004, 4}, {10009, 9}, {10013, 13}, {10014, 14}, {10022, 22}, {10024, 24},
    {10036, 115}, {10037, 114}, {10038, 88}, {10039, 89}, {10040, 90}, {10041, 91},
    {10042, 92}, {10043, 93}, {10044, 94}, {10045, 95}, {10046, 96}, {10047, 97},
    {10048, 98}, {10049, 99}, {10050, 100}, {10051, 101}, {10052, 102}, {10053, 103},
    {10054, 104}, {10055, 105}, {10056, 106}, {10057, 107}, {10058, 108}, {10059, 109},
    {10060, 110}, {10061, 111}, {10062, 40}, {10063, 36}, {10064, 112}, {10065, 113},
    {10066, 39}, {10068, 87}, {10069, 122}, {10070, 116}, {10071, 66},
};

// Socket error numbers without an equivalent: their constant names.
const TCodeText SocketNames[] = {
    {10035, "WSAEWOULDBLOCK"}, {10067, "WSAEPROCLIM"}, {10091, "WSASYSNOTREADY"},
    {10092, "WSAVERNOTSUPPORTED"}, {10093, "WSANOTINITIALISED"}, {10101, "WSAEDISCON"},
    {10102, "WSAENOMORE"}, {10103, "WSAECANCELLED"}, {10104, "WSAEINVALIDPROCTABLE"},
    {10105, "WSAEINVALIDPROVIDER"}, {10106, "WSAEPROVIDERFAILEDINIT"}, {10107, "WSASYSCALLFAILURE"},
    {10108, "WSASERVICE_NOT_FOUND"}, {10109, "WSATYPE_NOT_FOUND"}, {10110, "WSA_E_NO_MORE"},
    {10111, "WSA_E_CANCELLED"}, {10112, "WSAEREFUSED"}, {11001, "WSAHOST_NOT_FOUND"},
    {11002, "WSATRY_AGAIN"}, {11003, "WSANO_RECOVERY"}, {11004, "WSANO_DATA"},
};

struct TTagText {
    int Code;
    const char* Text;
};

// FFmpeg's own tagged codes. The last two rows, end of file and invalid data, go beyond the
// list of tagged codes these texts were written for, and are kept on purpose: they used to be
// the error numbers 32 and 22, today's libraries report them as tags, and without these rows
// the two most common results of a read would print as "Error number ... occurred". The row
// of the immediate exit is the stop's own result.
const TTagText TagTexts[] = {
    {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
    {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
    {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg"},
    {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
    {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
    {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
    {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
    {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
    {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
    {AVERROR_EOF, "End of file"},
    {AVERROR_INVALIDDATA, "Invalid argument / Invalid data found when processing input"},
    // What a library call returns when the interrupt callback ended it (a stop).
    {AVERROR_EXIT, "Immediate exit requested"},
};

template <std::size_t N>
const char* Find(const TCodeText (&table)[N], int number) {
    for (const TCodeText& row : table)
        if (row.Number == number)
            return row.Text;
    return nullptr;
}

const char* KnownText(int code) {
    for (const TTagText& row : TagTexts)
        if (row.Code == code)
            return row.Text;
    if (code >= 0 || code == INT32_MIN)
        return nullptr;
    const int number = -code;
    if (const char* text = Find(ErrnoTexts, number))
        return text;
    for (const TAlias& alias : SocketAliases)
        if (alias.Number == number)
            return Find(ErrnoTexts, alias.SameAs);
    return Find(SocketNames, number);
}

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
} // namespace

std::string ErrorCodeText(int code) {
    if (const char* text = KnownText(code))
        return text;
    return "Error number " + std::to_string(code) + " occurred";
}

std::string ErrorText(const std::string& fileName, int code) { return fileName + ": " + ErrorCodeText(code); }

std::string DurationText(std::int64_t t) {
    if (t == AV_NOPTS_VALUE)
        return "N/A";
    const std::int64_t seconds = t / 1000000;
    char text[64];
    std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld.%.3lld", (long long)(seconds / 3600),
                  (long long)(seconds / 60 % 60), (long long)(seconds % 60), (long long)(t % 1000000 * 1000 / 1000000));
    return text;
}

std::string MediaTypeName(int type) {
    static const char* const Names[] = {"Video", "Audio", "Data", "Subtitle", "Attachment"};
    return type >= 0 && type < 5 ? Names[type] : "Unknown";
}

std::int64_t GuessCorrectPts(TPtsCorrection& state, std::int64_t dts, std::int64_t reorderedPts) {
    if (dts != AV_NOPTS_VALUE) {
        state.NumFaultyDts += dts <= state.LastDts;
        state.LastDts = dts;
    }
    if (reorderedPts != AV_NOPTS_VALUE) {
        state.NumFaultyPts += reorderedPts <= state.LastPts;
        state.LastPts = reorderedPts;
    }
    if (state.NumFaultyDts < state.NumFaultyPts && dts != AV_NOPTS_VALUE)
        return dts;
    return reorderedPts != AV_NOPTS_VALUE ? reorderedPts : dts;
}

int ReadWholeFile(const std::string& fileName, std::uint8_t** buffer, std::int64_t* size) {
    *buffer = nullptr;
    *size = 0;
    if (!ff::av_malloc)
        throw std::logic_error("ReadWholeFile needs the media libraries to be loaded");
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        return -1;
    // A name that opens but is no regular file (a folder, a pipe) cannot be measured: as unreadable
    // as a missing file.
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode) || std::fseek(file.get(), 0, SEEK_END) != 0)
        return -1;
    const long length = std::ftell(file.get());
    if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return -1;
    auto* data = static_cast<std::uint8_t*>(ff::av_malloc(std::size_t(length) + 1));
    if (!data)
        return -12;
    const std::size_t got = std::fread(data, 1, std::size_t(length), file.get());
    data[got] = 0;
    *buffer = data;
    *size = std::int64_t(got) + 1;
    return 0;
}
