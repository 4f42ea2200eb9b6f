#include "app/HardwareEncoder.h"

#include "medialib/FFApi.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {
// The first render node of the folder by number, or "" (with why in reason).
std::string FirstRenderNode(const std::string& folder, std::string& reason) {
    std::error_code ec;
    std::string best;
    long bestNumber = -1;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("renderD", 0) != 0 || name.size() == 7)
            continue;
        char* rest = nullptr;
        const long number = std::strtol(name.c_str() + 7, &rest, 10);
        if (*rest == '\0' && (bestNumber < 0 || number < bestNumber)) {
            bestNumber = number;
            best = it->path().string();
        }
    }
    if (best.empty())
        reason = "no render node in " + folder + (ec ? " (" + ec.message() + ")" : "");
    return best;
}
} // namespace

THardwareProbe ProbeVaapiEncoder(const std::string& encoder, const std::string& driFolder) {
    THardwareProbe probe;
    probe.Encoder = encoder;
    if (!ff::avcodec_find_encoder_by_name || !ff::avcodec_find_encoder_by_name(encoder.c_str())) {
        probe.Reason = "libavcodec has no " + encoder + " encoder";
        return probe;
    }
    probe.RenderNode = FirstRenderNode(driFolder, probe.Reason);
    if (probe.RenderNode.empty())
        return probe;
    const int fd = ::open(probe.RenderNode.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        probe.Reason = "cannot open " + probe.RenderNode + ": " + std::strerror(errno);
        return probe;
    }
    ::close(fd);
    // Frames reach a VAAPI encoder only as surfaces on the chip; the engine hands its encoders
    // frames in memory, so a usable node still leaves the job with the software encoder.
    probe.Reason = "the engine hands " + encoder + " no frames on " + probe.RenderNode +
                   " (uploading to the graphics chip is not supported)";
    return probe;
}

std::string HardwareProbeLine(const THardwareProbe& probe, const std::string& softwareEncoder) {
    if (probe.Usable)
        return "Hardware encoder: " + probe.Encoder + " on " + probe.RenderNode;
    return "Hardware encoder " + probe.Encoder + " not used, encoding with " + softwareEncoder + ": " + probe.Reason;
}
