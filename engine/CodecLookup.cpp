#include "engine/CodecLookup.h"
#include "engine/FFmpegException.h"

bool FindCodecByName(const std::string& name, AVMediaType type, bool encoder, int strict,
                     const AVCodec*& codec, std::string& error) {
    codec = nullptr;
    if (name.empty())
        return true;
    const char* kind = encoder ? "encoder" : "decoder";
    const AVCodec* found = encoder ? ff::avcodec_find_encoder_by_name(name.c_str())
                                   : ff::avcodec_find_decoder_by_name(name.c_str());
    if (!found) {
        error = Fmt("Unknown %s '%s'", kind, name.c_str());
        return false;
    }
    if (found->type != type) {
        error = Fmt("Invalid %s type '%s'", kind, name.c_str());
        return false;
    }
    if ((found->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strict > FF_COMPLIANCE_EXPERIMENTAL) {
        error = Fmt("%s '%s' is experimental and might produce bad results.\r\n"
                    "Add '-strict experimental' if you want to use it.",
                    kind, name.c_str());
        const AVCodec* other = encoder ? ff::avcodec_find_encoder(found->id) : ff::avcodec_find_decoder(found->id);
        if (other && !(other->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
            error += Fmt("\r\nOr use the non experimental %s '%s'.", kind, other->name);
        return false;
    }
    codec = found;
    return true;
}
