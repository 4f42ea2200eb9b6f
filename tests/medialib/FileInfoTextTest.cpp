// The information text of an opened file: the container's bit rate in kilobits (1000 bits) per
// second, as the streams' own lines give theirs.

#include "medialib/FFDecoder.h"
#include "medialib/FFLoad.h"
#include "tests/medialib/TempFolder.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

namespace {
// The text of file, opened as the engine opens its inputs.
std::string InfoTextOf(const std::string& file) {
    AVFormatContext* ic = nullptr;
    if (ff::avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "cannot open " << file;
        return {};
    }
    std::string text;
    if (ff::avformat_find_stream_info(ic, nullptr) >= 0) {
        TFFDecoder decoder;
        decoder.Attach(ic);
        text = FileInfoText(decoder);
        decoder.Detach();
    }
    ff::avformat_close_input(&ic);
    return text;
}
} // namespace

TEST(FileInfoText, BitRateIsInThousandsOfBitsPerSecond) {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    TTempFolder folder;
    const struct {
        int Rate, Channels;
        const char* Line;
    } cases[] = {
        {44100, 2, "Bit Rate: 1411 kb/s\n"}, // 1 411 200 bits per second
        {8000, 1, "Bit Rate: 128 kb/s\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line);
        const std::string file = (folder.Path() / ("tone" + std::to_string(c.Rate) + ".wav")).string();
        WriteTestWav(file, 0.5, c.Rate, c.Channels);
        const std::string text = InfoTextOf(file);
        EXPECT_NE(text.find("Format Name: wav\n"), std::string::npos) << text;
        EXPECT_NE(text.find(c.Line), std::string::npos) << text;
    }
}
