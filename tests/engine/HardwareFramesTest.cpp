// Encoders on the graphics chip (VAAPI): the device and surface pool the engine makes for them,
// and a run that cannot make its device ends with the reason instead of encoding nothing. These
// machines have no chip: a render node here is /dev/null behind the name, or nothing at all.

#include "engine/HardwareFrames.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
std::string FakeRenderNode(const TTempDir& dir) {
    const std::string node = dir.File("renderD128");
    std::filesystem::create_symlink("/dev/null", node);
    return node;
}
} // namespace

TEST(EngineHardwareFrames, ADeviceThatCannotBeMadeIsNamedWithItsReason) {
    TTempDir dir;
    AVPixelFormat layout = AV_PIX_FMT_NONE;
    EXPECT_EQ(HardwareDeviceFor(AV_PIX_FMT_VAAPI, layout), AV_HWDEVICE_TYPE_VAAPI);
    EXPECT_EQ(layout, AV_PIX_FMT_NV12);
    EXPECT_EQ(HardwareDeviceFor(AV_PIX_FMT_YUV420P, layout), AV_HWDEVICE_TYPE_NONE);
    EXPECT_EQ(HardwareDeviceFor(AV_PIX_FMT_CUDA, layout), AV_HWDEVICE_TYPE_NONE);

    // libva says why only in its verbose lines for a node that is no chip; a missing node is
    // named by the library's error line.
    const std::string fake = FakeRenderNode(dir), missing = dir.File("renderD129");
    const std::pair<std::string, std::string> cases[] = {
        {fake, "Generic error in an external library (libva found no display with a driver there)"},
        {missing, "No VA display found for device " + missing + "."},
    };
    for (const auto& [node, reason] : cases) {
        SCOPED_TRACE(node);
        try {
            THardwareFrames frames(AV_HWDEVICE_TYPE_VAAPI, node, 64, 48, AV_PIX_FMT_NV12, 4);
            ADD_FAILURE() << "a device on no chip";
        } catch (const FFmpegException& e) {
            EXPECT_EQ(std::string(e.what()), "cannot create a VAAPI device on " + node + ": " + reason);
        }
    }
    EXPECT_EQ(HardwareDeviceProblem(AV_HWDEVICE_TYPE_MEDIACODEC),
              "the loaded libavutil was built without MEDIACODEC devices");
}

TEST(EngineHardwareFrames, AChipEncoderWithoutItsDeviceEndsTheRunWithTheReason) {
    TTempDir dir;
    const std::string fake = FakeRenderNode(dir);
    struct TCase {
        const char* Encoder;
        std::string Node;     // "" : the engine's default node
        std::string Expected; // where the message says the device failed
    };
    const TCase cases[] = {
        {"h264_vaapi", fake, fake},
        {"hevc_vaapi", "", DefaultRenderNode},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Encoder);
        if (std::filesystem::exists(DefaultRenderNode) && c.Node.empty())
            continue; // a machine with a chip: the default node may well work
        TCustomFFmpeg job(1);
        job.ApplyOption("f", TestFramesFormat);
        ASSERT_TRUE(job.OpenInputFile(TestFramesName(64, 48, 25, 5))) << job.LastError;
        job.ApplyOption("vcodec", c.Encoder);
        if (!c.Node.empty())
            job.ApplyOption("vaapi_device", c.Node);
        job.ApplyOption("pix_fmt", "yuv420p"); // the chip's encoder takes its own format instead
        ASSERT_EQ(job.OpenOutputFile(dir.File(std::string(c.Encoder) + ".mp4")), 1) << job.LastError;
        EXPECT_FALSE(job.Execute());
        const std::string start =
            std::string("Encoder ") + c.Encoder + " cannot be used: cannot create a VAAPI device on " + c.Expected + ": ";
        EXPECT_EQ(job.ErrorMessage().rfind(start, 0), 0u) << job.ErrorMessage();
    }
}
