// The probe of the hardware encoder: what it finds on a machine's render nodes, and the one
// line that says why the software encoder runs instead.

#include "app/HardwareEncoder.h"
#include "medialib/FFLoad.h"
#include "tests/support/TestJpeg.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class HardwareEncoder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg(); }
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

TEST_F(HardwareEncoder, ProbeTakesTheFirstRenderNodeAndNeverFailsTheJob) {
    const std::string dri = dir.File("dri");
    std::filesystem::create_directory(dri);
    for (const char* name : {"renderD129", "renderD128", "renderD", "card1"})
        std::ofstream(dri + "/" + name) << "";
    const THardwareProbe probe = ProbeVaapiEncoder("h264_vaapi", dri);
    EXPECT_EQ(probe.RenderNode, dri + "/renderD128");
    EXPECT_FALSE(probe.Usable) << "the engine uploads no frames to the chip";
    EXPECT_NE(probe.Reason.find(dri + "/renderD128"), std::string::npos) << probe.Reason;
}

} // namespace
