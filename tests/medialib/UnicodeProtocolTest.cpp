#include "medialib/FFLoad.h"
#include "medialib/InterruptCB.h"
#include "medialib/UnicodeProtocol.h"
#include "tests/medialib/TempFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>

namespace {
// Runs a test body under one character set of the C library, restoring the previous one.
class TLocale {
public:
    explicit TLocale(const char* name) : old_(std::setlocale(LC_CTYPE, nullptr)) { ok_ = std::setlocale(LC_CTYPE, name); }
    ~TLocale() { std::setlocale(LC_CTYPE, old_.c_str()); }
    bool Ok() const { return ok_; }

private:
    std::string old_;
    bool ok_;
};

const std::wstring Greek = L"\u03C0\u03B9\u03BD\u03B1\u03BA\u03B1\u03C2"; // "πινακας"
const std::string GreekUtf8 = "\xCF\x80\xCE\xB9\xCE\xBD\xCE\xB1\xCE\xBA\xCE\xB1\xCF\x82";
} // namespace

TEST(UnicodeNames, WrapOnlyWhatTheNarrowCharacterSetCannotSpell) {
    TLocale ascii("C");
    ASSERT_TRUE(ascii.Ok());
    EXPECT_FALSE(NeedsUnicodeName(L"/tmp/plain name.bmp"));
    EXPECT_STREQ(PrepareFileName(L"/tmp/plain name.bmp"), "/tmp/plain name.bmp");
    const std::wstring name = L"/tmp/" + Greek + L".bmp";
    EXPECT_TRUE(NeedsUnicodeName(name));
    EXPECT_EQ(std::string(PrepareFileName(name)), "unicode:utf8:/tmp/" + GreekUtf8 + ".bmp");
    EXPECT_FALSE(NeedsUnicodeName(L"pipe:" + Greek)) << "a known protocol is never wrapped";
    EXPECT_EQ(std::string(PrepareFileName(L"http://host/" + Greek)), "http://host/" + GreekUtf8)
        << "an unwrapped name the character set cannot spell keeps every character";
    EXPECT_FALSE(NeedsUnicodeName(L"http://host/" + Greek));
    EXPECT_TRUE(NeedsUnicodeName(L"Pipe:" + Greek)) << "prefixes compare with case";
    EXPECT_TRUE(NeedsUnicodeName(L"c:" + Greek)) << "a drive-like prefix is no protocol";

    TLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.Ok());
    EXPECT_FALSE(NeedsUnicodeName(name)) << "a UTF-8 locale spells every name";
    EXPECT_EQ(std::string(PrepareFileName(name)), "/tmp/" + GreekUtf8 + ".bmp");
}

TEST(UnicodeNames, URLsRoundTrip) {
    EXPECT_FALSE(IsUnicodeURL("unicode:utf8:")) << "the bare head names no file";
    EXPECT_TRUE(IsUnicodeURL("unicode:utf8:a"));
    EXPECT_FALSE(IsUnicodeURL("unicode:utf7:a"));
    EXPECT_FALSE(IsUnicodeURL(nullptr));
    const std::wstring name = L"/data/" + Greek + L" \U0001F600:x.mp4"; // a colon inside the name survives
    EXPECT_EQ(DecodeUnicodeURL(MakeUnicodeURL(name).c_str()), name);
    EXPECT_EQ(URLToFileName(MakeUnicodeURL(name).c_str()), name);
    EXPECT_EQ(URLToFileName("/plain/name.mp4"), L"/plain/name.mp4");
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), L"\uFFFD\uFFFD") << "a sequence cut short";
}

TEST(UnicodeNames, NamesTooLongForTheBufferAreRefused) {
    TLocale ascii("C");
    EXPECT_NO_THROW(PrepareFileName(std::wstring(2047, L'a')));
    EXPECT_THROW(PrepareFileName(std::wstring(2048, L'a')), std::length_error);
    EXPECT_THROW(PrepareFileName(std::wstring(2030, L'a') + Greek), std::length_error) << "the wrapped form counts";
}

TEST(UnicodeFile, OpensReadsWritesSeeksAndReportsFailures) {
    TTempFolder folder;
    const std::wstring path = Utf8ToWide(folder.Path().string()) + L"/" + Greek + L".bin";
    const std::string url = MakeUnicodeURL(path);
    TUnicodeFile file;
    EXPECT_EQ(file.Open(url.c_str(), uoRead), -2) << "reading needs an existing file";
    ASSERT_EQ(file.Open(url.c_str(), uoWrite), 0) << "writing creates it";
    const std::uint8_t data[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(file.Write(data, 6), 6);
    EXPECT_EQ(file.Close(), 0);
    ASSERT_EQ(file.Open(url.c_str(), uoRead), 0);
    EXPECT_EQ(file.Seek(0, AVSEEK_SIZE), 6);
    EXPECT_EQ(file.Seek(-2, SEEK_END), 4);
    std::uint8_t got[8] = {};
    EXPECT_EQ(file.Read(got, 8), 2);
    EXPECT_EQ(got[0], 5);
    EXPECT_EQ(file.Read(got, 8), 0);
    EXPECT_EQ(file.Seek(-1, SEEK_SET), -1);
    EXPECT_EQ(file.Write(data, 1), -1) << "opened for reading only";
    std::ifstream check(WideToUtf8(path), std::ios::binary);
    EXPECT_TRUE(check.good()) << "the file carries its real name on disk";
}

TEST(UnicodeFile, WritingAgainReplacesTheWholeFile) {
    TTempFolder folder;
    const std::string url = MakeUnicodeURL(Utf8ToWide(folder.Path().string()) + L"/" + Greek + L".bin");
    const std::string disk = WideToUtf8(DecodeUnicodeURL(url.c_str()));
    const std::uint8_t data[] = {1, 2, 3, 4, 5, 6, 7, 8};
    TUnicodeFile file;
    for (int mode : {uoWrite, uoReadWrite}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(file.Open(url.c_str(), mode), 0);
        EXPECT_EQ(file.Write(data, 8), 8);
        EXPECT_EQ(file.Close(), 0);
        ASSERT_EQ(file.Open(url.c_str(), mode), 0);
        EXPECT_EQ(file.Write(data, 3), 3);
        EXPECT_EQ(file.Close(), 0);
        EXPECT_EQ(std::filesystem::file_size(disk), 3u) << "the tail of the longer file is left behind";
    }
}

TEST(UnicodeFile, FFmpegWritesAndReadsBackAFileWithANonAsciiName) {
    FFLoader().LibraryPath.clear();
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    TTempFolder folder;
    const std::string url = MakeUnicodeURL(Utf8ToWide(folder.Path().string()) + L"/" + Greek + L".txt");
    const std::string text(100000, 'z'); // more than one buffer of the I/O context

    AVIOContext* raw = nullptr;
    ASSERT_EQ(OpenFileIO(&raw, url.c_str(), AVIO_FLAG_READ), AVERROR(ENOENT));
    ASSERT_EQ(OpenFileIO(&raw, url.c_str(), AVIO_FLAG_WRITE), 0);
    TFileIOPtr out(raw);
    ff::avio_write(out.get(), reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    out.reset(); // flushes

    ASSERT_EQ(OpenFileIO(&raw, url.c_str(), AVIO_FLAG_READ), 0);
    TFileIOPtr in(raw);
    EXPECT_EQ(ff::avio_size(in.get()), std::int64_t(text.size()));
    std::string back(text.size() + 10, '\0');
    const int n = ff::avio_read(in.get(), reinterpret_cast<unsigned char*>(back.data()), int(back.size()));
    EXPECT_EQ(n, int(text.size()));
    back.resize(std::size_t(std::max(n, 0)));
    EXPECT_EQ(back, text);
    EXPECT_EQ(ff::avio_seek(in.get(), 5, SEEK_SET), 5);

    // A plain name goes through FFmpeg's own file protocol and is closed the same way.
    const std::string plain = (folder.Path() / "plain.txt").string();
    ASSERT_EQ(OpenFileIO(&raw, plain.c_str(), AVIO_FLAG_WRITE), 0);
    TFileIOPtr plainOut(raw);
    ff::avio_write(plainOut.get(), reinterpret_cast<const unsigned char*>("ok"), 2);
    plainOut.reset();
    EXPECT_EQ(std::filesystem::file_size(plain), 2u);
}

namespace {
// A short 16-bit mono WAV file, which libavformat recognises by its content.
std::string WavFile(int sampleRate, int samples) {
    auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    const std::uint32_t data = std::uint32_t(samples) * 2;
    return "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(std::uint32_t(sampleRate)) +
           u32(std::uint32_t(sampleRate) * 2) + u16(2) + u16(16) + "data" + u32(data) + std::string(data, '\0');
}
} // namespace

TEST(UnicodeFile, FFmpegDemuxesAnInputOpenedByItsUnicodeName) {
    FFLoader().LibraryPath.clear();
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    TTempFolder folder;
    const std::wstring path = Utf8ToWide(folder.Path().string()) + L"/" + Greek + L".wav";
    std::ofstream(WideToUtf8(path), std::ios::binary) << WavFile(8000, 800);
    const std::string url = MakeUnicodeURL(path);

    AVFormatContext* input = nullptr;
    ASSERT_EQ(OpenInputFile(&input, url.c_str(), nullptr, nullptr), 0);
    ASSERT_EQ(input->nb_streams, 1u);
    EXPECT_EQ(input->streams[0]->codecpar->sample_rate, 8000);
    EXPECT_EQ(input->interrupt_callback.callback, InterruptCallbackRecord().callback);
    CloseInputFile(&input);
    EXPECT_EQ(input, nullptr);

    const std::string missing = MakeUnicodeURL(Utf8ToWide(folder.Path().string()) + L"/" + Greek + L".none");
    EXPECT_EQ(OpenInputFile(&input, missing.c_str(), nullptr, nullptr), AVERROR(ENOENT));
    EXPECT_EQ(input, nullptr);
    std::ofstream(WideToUtf8(path), std::ios::binary) << "not a media file at all";
    EXPECT_LT(OpenInputFile(&input, url.c_str(), nullptr, nullptr), 0) << "a failed open releases the custom I/O";
    EXPECT_EQ(input, nullptr);
}
