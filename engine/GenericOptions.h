#pragma once
// The generic option store of one job: any option name that libavcodec, libavformat or
// libswscale know is checked and recorded here, and handed to the codec and format contexts
// that the job creates later.

#include "medialib/FFApi.h"

#include <string>
#include <vector>

class TGenericOptions {
public:
    TGenericOptions();
    ~TGenericOptions();
    TGenericOptions(const TGenericOptions&) = delete;
    TGenericOptions& operator=(const TGenericOptions&) = delete;

    // Forgets every recorded option and starts from the library defaults.
    void Reset();
    // Checks and records one option; false with ErrorMsg() set when it is rejected.
    bool Set(const std::string& name, const std::string& value);
    const std::string& ErrorMsg() const { return errorMsg_; }

    // Copies the recorded codec options of that media type whose flags hold all of `flags`
    // into target; options private to some codec go to privateOpts (for avcodec_open2).
    void ApplyToCodec(AVCodecContext* target, AVMediaType type, int flags, AVDictionary** privateOpts) const;
    // The recorded format options (generic and private) as a dictionary.
    void FormatOptions(int flags, AVDictionary** opts) const;
    // Current value of an integer codec option of that media type ("b", "strict", ...).
    int64_t CodecInt(AVMediaType type, const char* name) const;
    // The scaler flags ("sws_flags").
    int ScalerFlags() const;

private:
    enum TTarget { tgVideo, tgAudio, tgSubtitle, tgFormat, tgScaler, tgPrivate };
    struct TRecorded {
        std::string Name;
        std::string Value; // the raw text for private options
        TTarget Target;
    };
    void Free();
    void* Holder(TTarget target) const;
    int SetIn(TTarget target, const std::string& name, const std::string& value, bool& found);
    bool IsPrivateOption(const std::string& name) const;

    AVCodecContext* codec_[3] = {};
    AVFormatContext* format_ = nullptr;
    SwsContext* scaler_ = nullptr;
    std::vector<TRecorded> recorded_;
    std::string errorMsg_;
};
