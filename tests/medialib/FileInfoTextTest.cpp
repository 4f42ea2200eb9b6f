// The information text of an opened file: the container's bit rate in kilobits (1000 bits) per
// second, as the streams' own lines give theirs.

#include "medialib/FFDecoder.h"
#include "medialib/FFLoad.h"
#include "tests/medialib/TempFolder.h"
#include "tests/support/TestWav.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(FileInfoText, VideoStreamsShowTheCodecTimeBaseTheirDecoderReads) {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    TTempFolder folder;
    const struct {
        const char* Name;
        const char* Options;
        const char* Rates; // what follows the codec description; tbc absent where none is known
    } cases[] = {
        {"h264.mp4", "-r 25 -c:v libx264", ", 25 fps, 25 tbr, 12800 tbn, 50 tbc,"},         // a tick per field
        {"ntsc.mp4", "-r 30000/1001 -c:v libx264", ", 29.97 fps, 29.97 tbr, 30k tbn, 59.94 tbc,"},
        {"one.mp4", "-r 25 -c:v libx264 -frames:v 1", ", 25 fps, 25 tbr, 12800 tbn, 50 tbc,"}, // decoded at its end
        {"mpeg2.mpg", "-r 25 -c:v mpeg2video", ", 25 fps, 25 tbr, 90k tbn, 50 tbc,"},
        {"mpeg4.avi", "-r 25 -c:v mpeg4", ", 25 fps, 25 tbr, 25 tbn, 25 tbc,"},            // its time resolution
        {"vp9.webm", "-r 25 -c:v libvpx-vp9", ", 25 fps, 25 tbr, 1k tbn, "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = (folder.Path() / c.Name).string();
        const std::string command = std::string("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 ") +
                                    "-frames:v 6 " + c.Options + " '" + file + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string text = InfoTextOf(file);
        EXPECT_NE(text.find(c.Rates), std::string::npos) << text;
        if (!std::string(c.Rates).ends_with("tbc,")) {
            EXPECT_EQ(text.find(" tbc"), std::string::npos) << text;
        }
    }
}
