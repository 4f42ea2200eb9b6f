#include "medialib/FFOptions.h"

#include "medialib/FFLog.h"

#include <cstring>
#include <stdexcept>

namespace {
thread_local std::string optionErrorMsg;

// Option flags that select the options of each media type; 0 matches every option.
const int TypeMasks[5] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0, AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Options that libavcodec flags for audio too, although they are the video's: the audio's own
// value has a name of its own ("ab" for "b"). Set without the prefix they set the video only.
bool VideoOnly(const char* name) { return std::strcmp(name, "b") == 0; }

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    const char* blanks = " \t\r\n";
    std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

struct TSetResult {
    const AVOption* Found = nullptr;
    int Status = 0;
};

// Sets name on obj when obj's class knows it (constants of named units never count).
TSetResult TrySet(void* obj, const char* name, const char* value, int flags = 0) {
    TSetResult r;
    r.Found = ff::av_opt_find(obj, name, nullptr, flags, 0);
    if (r.Found)
        r.Status = ff::av_opt_set(obj, name, value, 0);
    return r;
}

bool KnownToAPrivateClass(const char* name) {
    void* it = nullptr;
    while (const AVCodec* codec = ff::av_codec_iterate(&it))
        if (codec->priv_class && ff::av_opt_find(const_cast<const AVClass**>(&codec->priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            return true;
    it = nullptr;
    while (const AVOutputFormat* muxer = ff::av_muxer_iterate(&it))
        if (muxer->priv_class && ff::av_opt_find(const_cast<const AVClass**>(&muxer->priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            return true;
    return false;
}

bool Reject(const std::string& text) {
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", text.c_str());
    optionErrorMsg = text;
    return false;
}

bool ClassIs(void* obj, const char* name) {
    const AVClass* cls = obj ? *static_cast<const AVClass**>(obj) : nullptr;
    return cls && cls->class_name && std::strcmp(cls->class_name, name) == 0;
}
} // namespace

void TOptionContext::TCodecFree::operator()(AVCodecContext* c) const {
    if (ff::avcodec_free_context)
        ff::avcodec_free_context(&c);
}
void TOptionContext::TFormatFree::operator()(AVFormatContext* f) const {
    if (ff::avformat_free_context)
        ff::avformat_free_context(f);
}
void TOptionContext::TScalerFree::operator()(SwsContext* s) const {
    if (ff::sws_freeContext)
        ff::sws_freeContext(s);
}

TOptionContext::TOptionContext(int scalerFlags) { InitOptions(scalerFlags); }

TOptionContext::~TOptionContext() { FreeOptions(); }

void TOptionContext::InitOptions(int scalerFlags) {
    FreeOptions();
    if (!ff::avcodec_alloc_context3 || !ff::avformat_alloc_context || !ff::sws_alloc_context)
        throw std::logic_error("Option contexts need the media libraries to be loaded");
    for (int type = 0; type < 5; ++type) {
        codecs_[type].reset(ff::avcodec_alloc_context3(nullptr));
        if (codecs_[type])
            codecs_[type]->codec_type = AVMediaType(type);
    }
    format_.reset(ff::avformat_alloc_context());
    scaler_.reset(ff::sws_alloc_context());
    if (scaler_)
        ff::av_opt_set_int(scaler_.get(), "sws_flags", scalerFlags, 0);
    if (!format_ || !scaler_ || !codecs_[4])
        throw std::bad_alloc();
}

void TOptionContext::FreeOptions() {
    for (auto& c : codecs_)
        c.reset();
    format_.reset();
    scaler_.reset();
    recorded_.clear();
}

AVCodecContext* TOptionContext::Codec(int mediaType) const {
    return codecs_[mediaType >= 0 && mediaType < 5 ? mediaType : 0].get();
}

bool SetGenericOption(TOptionContext& ctx, const char* name, const char* value) {
    if (Trimmed(name).empty())
        return false;
    value = value ? value : "";
    TSetResult r;
    const bool videoOnly = VideoOnly(name);
    for (int type = 0; type < (videoOnly ? 1 : 5) && r.Status >= 0; ++type)
        if (const AVOption* o = ff::av_opt_find(ctx.Codec(0), name, nullptr, TypeMasks[type], 0)) {
            r.Found = o;
            r.Status = ff::av_opt_set(ctx.Codec(type), name, value, 0);
        }
    if (!r.Found)
        r = TrySet(ctx.Format(), name, value);
    if (!r.Found)
        r = TrySet(ctx.Scaler(), name, value);
    if (!r.Found && name[1] != '\0') {
        const int type = name[0] == 'a' ? 1 : name[0] == 'v' ? 0 : name[0] == 's' ? 3 : -1;
        if (type >= 0)
            r = TrySet(ctx.Codec(type), name + 1, value);
    }
    if (r.Found && r.Status < 0)
        return Reject(std::string("Invalid value \"") + value + "\" for option \"" + name + "\"");
    if (!r.Found && !KnownToAPrivateClass(name))
        return Reject(std::string("Unrecognized option \"") + name + "\"");

    if (r.Found)
        ctx.recorded_.push_back({r.Found->name, std::nullopt, videoOnly ? int(AVMEDIA_TYPE_VIDEO) : -1});
    else
        ctx.recorded_.push_back({name, std::string(value)});
    if (ctx.Codec(0)->debug || ctx.Format()->debug)
        GetFFLogger().SetLogLevel(llDebug);
    return true;
}

void ApplyGenericOptions(const TOptionContext& ctx, void* target, int flags, const AVCodec* codec) {
    void* values = nullptr;  // the option context of the same kind as target
    void* priv = nullptr;    // target's private options, when its codec or muxer has any
    int mediaType = -1;      // of a codec target
    if (ClassIs(target, "AVCodecContext")) {
        auto* c = static_cast<AVCodecContext*>(target);
        mediaType = c->codec_type;
        values = ctx.Codec(c->codec_type);
        if (codec && codec->priv_class && c->priv_data)
            priv = c->priv_data;
    } else if (ClassIs(target, "AVFormatContext")) {
        auto* f = static_cast<AVFormatContext*>(target);
        values = ctx.Format();
        if (f->oformat && f->oformat->priv_class && f->priv_data)
            priv = f->priv_data;
    } else {
        return;
    }
    for (const TOptionContext::TRecorded& option : ctx.Recorded()) {
        if (option.MediaType >= 0 && option.MediaType != mediaType)
            continue;
        const char* name = option.Name.c_str();
        std::uint8_t* text = nullptr;
        if (ff::av_opt_get(values, name, 0, &text) >= 0 && text) {
            if (ff::av_opt_find(values, name, nullptr, flags, 0))
                ff::av_opt_set(target, name, reinterpret_cast<const char*>(text), 0);
            ff::av_free(text);
        } else if (priv && option.Value && ff::av_opt_find(priv, name, nullptr, 0, 0)) {
            ff::av_opt_set(priv, name, option.Value->c_str(), 0);
        }
    }
}

const std::string& OptionErrorMsg() { return optionErrorMsg; }
