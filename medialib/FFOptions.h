#pragma once
// Generic options: any option name that libavcodec, libavformat or libswscale know.
//
// A job keeps one TOptionContext. SetGenericOption checks a name and value against contexts that
// only hold option values (one codec context per media type, a format context, a scaler context)
// and records it; ApplyGenericOptions later copies the recorded options into every real codec or
// format context the job opens. Options that only a codec's or a muxer's private class knows are
// recorded with their text and set on that private data.

#include "medialib/FFApi.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TOptionContext {
public:
    explicit TOptionContext(int scalerFlags = SWS_BICUBIC);
    ~TOptionContext();
    TOptionContext(const TOptionContext&) = delete;
    TOptionContext& operator=(const TOptionContext&) = delete;

    // Frees everything and starts again with fresh contexts and no recorded options.
    void InitOptions(int scalerFlags);
    void FreeOptions();

    struct TRecorded {
        std::string Name;
        std::optional<std::string> Value; // none: read the value back from the option contexts
        int MediaType = -1;               // the only kind of codec it is for; -1: every kind
    };
    const std::vector<TRecorded>& Recorded() const { return recorded_; }

    AVCodecContext* Codec(int mediaType) const; // 0 video .. 4 attachment; others: video
    AVFormatContext* Format() const { return format_.get(); }
    SwsContext* Scaler() const { return scaler_.get(); }

private:
    friend bool SetGenericOption(TOptionContext&, const char*, const char*);
    struct TCodecFree {
        void operator()(AVCodecContext* c) const;
    };
    struct TFormatFree {
        void operator()(AVFormatContext* f) const;
    };
    struct TScalerFree {
        void operator()(SwsContext* s) const;
    };
    std::unique_ptr<AVCodecContext, TCodecFree> codecs_[5];
    std::unique_ptr<AVFormatContext, TFormatFree> format_;
    std::unique_ptr<SwsContext, TScalerFree> scaler_;
    std::vector<TRecorded> recorded_;
};

// Checks and records one option. False for an empty name or a rejected option, with the reason
// in OptionErrorMsg() and in the log: "Invalid value "%s" for option "%s"" or
// "Unrecognized option "%s"". A name starting with "a", "v" or "s" that is known nowhere is tried
// without that letter on the audio, video or subtitle context ("ab" is the audio "b").
bool SetGenericOption(TOptionContext& ctx, const char* name, const char* value);

// Copies the recorded options whose flags contain all of flags into target, an AVCodecContext or
// an AVFormatContext; codec is the codec target will use (may be nullptr).
void ApplyGenericOptions(const TOptionContext& ctx, void* target, int flags, const AVCodec* codec);

// The text of the last option rejected on the calling thread.
const std::string& OptionErrorMsg();
