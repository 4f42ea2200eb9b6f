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

// Checks, in this order: libavcodec has the encoder (the libraries must be loaded), libavutil
// makes VAAPI devices, driFolder holds a render node ("renderD" and a number), the first one opens
// for reading and writing, a VAAPI device comes up on it, and the encoder opens there and turns
// one small picture uploaded to the chip into a packet.
THardwareProbe ProbeVaapiEncoder(const std::string& encoder, const std::string& driFolder = "/dev/dri");

// The engine's option lines for a usable probe: the render node, and the constant quality (crf,
// below 0 for none) as the chip's fixed quantiser. The software encoder's own options (preset,
// crf) mean nothing to the chip's encoder and are left out by the engine.
std::string HardwareEncoderOptions(const THardwareProbe& probe, int crf);

// The log line of the outcome: which encoder the job uses and, for the software one, why.
std::string HardwareProbeLine(const THardwareProbe& probe, const std::string& softwareEncoder);
