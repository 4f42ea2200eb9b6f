// The probe of the hardware encoder: what it finds on a machine's render nodes, and the one
// line that says why the software encoder runs instead. These machines have no graphics chip:
// a render node that is no device (/dev/null behind the name) gets as far as making the VAAPI
// device, and the job then goes on with the software encoder.

#include "app/output/HardwareEncoder.h"
#include "app/SlideshowJob.h"
#include "engine/HardwareFrames.h"
#include "frameinput/FrameInputFormat.h"
#include "medialib/FFLoad.h"
#include "medialib/MainThread.h"
#include "tests/support/RunCommand.h"
#include "tests/support/StreamProbe.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>

namespace {

class HardwareEncoder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg(); }
    // A folder with one render node that opens but is no graphics chip.
    std::string FakeDriFolder(const std::string& name = "fake-dri") {
        const std::string dri = dir.File(name);
        std::filesystem::create_directory(dri);
        std::filesystem::create_symlink("/dev/null", dri + "/renderD128");
        return dri;
    }
    TTempDir dir;
};

TEST_F(HardwareEncoder, ProbeNamesWhatIsMissing) {
    const std::string none = dir.File("dri");
    THardwareProbe probe = ProbeVaapiEncoder("h264_vaapi", none);
    EXPECT_FALSE(probe.Usable);
    EXPECT_EQ(probe.Reason, "no render node in " + none + " (No such file or directory)");
    EXPECT_EQ(HardwareProbeLine(probe, "libx264"),
              "Hardware encoder h264_vaapi not used, encoding with libx264: " + probe.Reason);

    std::filesystem::create_directory(none);
    std::ofstream(none + "/card0") << "";
    EXPECT_EQ(ProbeVaapiEncoder("hevc_vaapi", none).Reason, "no render node in " + none);

    probe = ProbeVaapiEncoder("nosuch_vaapi", none);
    EXPECT_EQ(probe.Reason, "libavcodec has no nosuch_vaapi encoder");
}

TEST_F(HardwareEncoder, ProbeTakesTheFirstRenderNodeAndNamesWhyTheDeviceFails) {
    const std::string dri = dir.File("dri");
    std::filesystem::create_directory(dri);
    for (const char* name : {"renderD129", "renderD128", "renderD", "card1"})
        std::ofstream(dri + "/" + name) << "";
    THardwareProbe probe = ProbeVaapiEncoder("h264_vaapi", dri);
    EXPECT_EQ(probe.RenderNode, dri + "/renderD128");
    EXPECT_FALSE(probe.Usable);
    EXPECT_EQ(probe.Reason.rfind("cannot create a VAAPI device on " + dri + "/renderD128: ", 0), 0u) << probe.Reason;

    const std::string fake = FakeDriFolder() + "/renderD128";
    probe = ProbeVaapiEncoder("hevc_vaapi", dir.File("fake-dri"));
    EXPECT_FALSE(probe.Usable);
    const std::string start = "cannot create a VAAPI device on " + fake + ": ";
    ASSERT_EQ(probe.Reason.rfind(start, 0), 0u) << probe.Reason;
    EXPECT_GT(probe.Reason.size(), start.size()) << "the library's reason follows";
}

// The probe's answer when the loaded libavutil lacks what the hardware path needs.
AVHWDeviceType NoDeviceTypes(AVHWDeviceType) { return AV_HWDEVICE_TYPE_NONE; }

TEST_F(HardwareEncoder, ALibavutilWithoutVaapiOrDevicesIsNamed) {
    const std::string dri = FakeDriFolder();
    const auto iterate = ff::av_hwdevice_iterate_types;
    ff::av_hwdevice_iterate_types = &NoDeviceTypes;
    THardwareProbe probe = ProbeVaapiEncoder("h264_vaapi", dri);
    ff::av_hwdevice_iterate_types = iterate;
    EXPECT_EQ(probe.Reason, "the loaded libavutil was built without VAAPI (libva)");

    const auto create = ff::av_hwdevice_ctx_create;
    ff::av_hwdevice_ctx_create = nullptr;
    probe = ProbeVaapiEncoder("h264_vaapi", dri);
    ff::av_hwdevice_ctx_create = create;
    EXPECT_EQ(probe.Reason, "the loaded libavutil has no functions for hardware devices");
    EXPECT_FALSE(probe.Usable);

    EXPECT_EQ(HardwareDeviceProblem(AV_HWDEVICE_TYPE_VAAPI), "") << "Debian's libavutil makes VAAPI devices";
}

TEST_F(HardwareEncoder, ChipOptionsNameTheNodeAndTheQuality) {
    THardwareProbe probe;
    probe.RenderNode = "/dev/dri/renderD129";
    EXPECT_EQ(HardwareEncoderOptions(probe, 23), "vaapi_device=/dev/dri/renderD129\nqp=23");
    EXPECT_EQ(HardwareEncoderOptions(probe, -1), "vaapi_device=/dev/dri/renderD129");
}

TEST_F(HardwareEncoder, WithoutAUsableChipTheJobFinishesWithTheSoftwareEncoder) {
    TSlideshowSettings settings;
    WriteTestJpeg(dir.File("a.jpg"), 64, 48, [](int x, int y) { return std::uint32_t(x * 3 + y) << 8; });
    settings.Pictures = {dir.File("a.jpg")};
    settings.OutDir = dir.File("out");
    std::filesystem::create_directory(settings.OutDir);
    settings.Format = "mp4-h264";
    settings.FrameSize = "64x48";
    settings.FrameRate = {10, 1};
    settings.HoldSeconds = 0.5;
    settings.TransitionSeconds = 0.2;
    settings.HardwareEncoder = true;
    settings.ConstantFrameRate = true; // every frame, counted below
    TFFEncoder encoder;
    TQueueMainThread mainThread;
    SetMainThreadDispatcher(&mainThread);
    TSlideshowJob job(encoder);
    job.DriFolder = FakeDriFolder();
    ASSERT_TRUE(job.PrepareSequencer(settings)) << job.LastError;
    ASSERT_TRUE(job.BuildTask(settings)) << job.LastError;
    ASSERT_EQ(job.Notices.size(), 1u);
    EXPECT_EQ(job.Notices[0].rfind("Hardware encoder h264_vaapi not used, encoding with libx264: cannot create a VAAPI "
                                   "device on " + job.DriFolder + "/renderD128: ", 0),
              0u)
        << job.Notices[0];
    EXPECT_EQ(encoder.Task(job.TaskIndex()).OutputRecord(0).VideoCodec, "libx264");
    EXPECT_EQ(encoder.Task(job.TaskIndex()).OutputRecord(0).ExtOptions.find("vaapi"), std::string::npos);
    std::atomic<bool> ended{false}, failed{false};
    encoder.OnTerminate = [&](TCustomEncoder&, const TTerminateInfo& info) {
        failed = failed || info.Failed;
        ended = ended || info.TaskIndex < 0;
    };
    job.Start(false);
    while (!ended)
        mainThread.Pump(std::chrono::milliseconds(10));
    encoder.ClearTasks();
    SetMainThreadDispatcher(nullptr);
    ASSERT_FALSE(failed);
    const TStreamProbe video = ProbeStream(job.OutputFile(), "v");
    EXPECT_EQ(video.Codec, "h264");
    EXPECT_EQ(video.Packets, (5 + 2) + 2 + 2); // one picture of 5 + 2 frames, a transition, the ends
}

} // namespace
