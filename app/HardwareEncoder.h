#pragma once
// The "use hardware encoder" choice of the H.264 and H.265 rows: a VAAPI encoder on a render
// node of the graphics chip. The probe runs when the job starts; whatever it finds, the job
// goes on (with the software encoder when the probe fails) and says why in one log line.

#include <string>

struct THardwareProbe {
    bool Usable = false;
    std::string Encoder;     // "h264_vaapi"
    std::string RenderNode;  // "/dev/dri/renderD128" when one was found
    std::string Reason;      // why it is not usable
};

// Checks, in this order: libavcodec has the encoder (the libraries must be loaded), driFolder
// holds a render node ("renderD" and a number), the first one opens for reading and writing,
// and VAAPI takes the encoder on it.
THardwareProbe ProbeVaapiEncoder(const std::string& encoder, const std::string& driFolder = "/dev/dri");

// The log line of the outcome: which encoder the job uses and, for the software one, why.
std::string HardwareProbeLine(const THardwareProbe& probe, const std::string& softwareEncoder);
