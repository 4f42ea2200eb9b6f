// Texts the engine writes: the quantiser digits and PSNR values of the progress line, the
// resampler's warning, and the information text of MPEG-TS programs and of the frame input.

#include "medialib/FFDecoder.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

TEST(EngineTexts, ProgressLineCarriesQuantiserDigitsAndPsnr) {
    TTempDir dir;
    TLogCapture log;
    TCustomFFmpeg job(1);
    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 8)));
    for (const auto& [name, value] :
         {std::pair{"vcodec", "mpeg4"}, {"r", "25"}, {"qscale", "4"}, {"qphist", ""}, {"psnr", "1"}})
        job.ApplyOption(name, value);
    ASSERT_EQ(job.OpenOutputFile(dir.File("q.mp4")), 1) << job.LastError;
    ASSERT_TRUE(job.Execute()) << job.ErrorMessage();
    // Eight frames at quantiser 4: log2(9) rounds to 3 in the fifth digit of 32.
    EXPECT_TRUE(log.Contains("q=4.0 L00003000000000000000000000000000PSNR=Y:"));
    EXPECT_TRUE(log.Contains(" U:"));
    EXPECT_TRUE(log.Contains(" *:"));
    EXPECT_FALSE(log.Contains("PSNR=Y:inf")) << "errors of the pictures were not read";
}

TEST(EngineTexts, ResamplingFromAnotherThanSixteenBitFormatWarns) {
    TTempDir dir;
    const std::string tone = dir.File("tone.wav");
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error -f lavfi -i \"sine=frequency=300:sample_rate=48000:duration=1\" "
                                 "-c:a pcm_f32le -y '" + tone + "'", &status);
    ASSERT_EQ(status, 0) << out;
    auto run = [&](const char* rate) {
        TLogCapture log;
        TCustomFFmpeg job(1);
        EXPECT_TRUE(job.OpenInputFile(tone)) << job.LastError;
        job.ApplyOption("acodec", "pcm_s16le");
        job.ApplyOption("ar", rate);
        EXPECT_GE(job.OpenOutputFile(dir.File(std::string(rate) + ".wav")), 0) << job.LastError;
        EXPECT_TRUE(job.Execute()) << job.ErrorMessage();
        return log.Contains("Warning, using s16 intermediate sample format for resampling");
    };
    EXPECT_TRUE(run("22050"));
    EXPECT_FALSE(run("48000")) << "a format conversion alone resamples nothing";
}

TEST(EngineTexts, InformationTextNamesTransportStreamProgramsAndTheFrameInputsSize) {
    TTempDir dir;
    const std::string ts = dir.File("p.ts");
    int status = 0;
    std::string out = RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25:duration=1 -c:v mpeg2video "
                                 "-metadata service_provider=Zemo -metadata service_name=Show -y '" + ts + "'", &status);
    ASSERT_EQ(status, 0) << out;
    TCustomFFmpeg job(2);
    ASSERT_TRUE(job.OpenInputFile(ts)) << job.LastError;
    TFFDecoder info;
    info.Attach(job.InputContext(0));
    std::string text = FileInfoText(info);
    EXPECT_NE(text.find("Program 1 Zemo@Show\n"), std::string::npos) << text;

    job.ApplyOption("f", TestFramesFormat);
    ASSERT_TRUE(job.OpenInputFile(TestFramesName(32, 32, 25, 5))) << job.LastError;
    info.Attach(job.InputContext(1));
    text = FileInfoText(info);
    EXPECT_NE(text.find("File Size: 0 Byte\n"), std::string::npos) << text;
}
