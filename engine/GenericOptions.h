#pragma once
// The generic option store of one job: any option name that libavcodec, libavformat or
// libswscale know is checked and recorded, and handed to the codec and format contexts that
// the job creates later.

#include "medialib/FFOptions.h"

#include <string>

class TGenericOptions {
public:
    // Forgets every recorded option and starts from the library defaults.
    void Reset() { ctx_.InitOptions(SWS_BICUBIC); }
    // Checks and records one option; false with ErrorMsg() set when it is rejected.
    bool Set(const std::string& name, const std::string& value) {
        return SetGenericOption(ctx_, name.c_str(), value.c_str());
    }
    const std::string& ErrorMsg() const { return OptionErrorMsg(); }

    // Copies the recorded options whose flags hold all of `flags` into a codec context (of its
    // own media type) that will use codec, private options included.
    void ApplyToCodec(AVCodecContext* target, const AVCodec* codec, int flags) const {
        ApplyGenericOptions(ctx_, target, flags, codec);
    }
    // The same for a format context (an output's private options included).
    void ApplyToFormat(AVFormatContext* target, int flags) const { ApplyGenericOptions(ctx_, target, flags, nullptr); }
    // Current value of an integer codec option of that media type ("b", "strict", ...).
    int64_t CodecInt(AVMediaType type, const char* name) const {
        int64_t v = 0;
        ff::av_opt_get_int(ctx_.Codec(type), name, 0, &v);
        return v;
    }
    // The scaler flags ("sws_flags").
    int ScalerFlags() const {
        int64_t v = SWS_BICUBIC;
        ff::av_opt_get_int(ctx_.Scaler(), "sws_flags", 0, &v);
        return int(v);
    }

private:
    TOptionContext ctx_;
};
