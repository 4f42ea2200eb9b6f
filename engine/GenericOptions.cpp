#include "engine/GenericOptions.h"
#include "engine/EngineSupport.h"
#include "engine/FFmpegException.h"

namespace {
const int TypeMask[3] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, AV_OPT_FLAG_SUBTITLE_PARAM};
const AVMediaType TypeOf[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    std::size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}
} // namespace

TGenericOptions::TGenericOptions() { Reset(); }

TGenericOptions::~TGenericOptions() { Free(); }

void TGenericOptions::Free() {
    for (AVCodecContext*& c : codec_)
        ff::avcodec_free_context(&c);
    ff::avformat_free_context(format_);
    format_ = nullptr;
    ff::sws_freeContext(scaler_);
    scaler_ = nullptr;
    recorded_.clear();
}

void TGenericOptions::Reset() {
    Free();
    for (int t = 0; t < 3; ++t) {
        codec_[t] = ff::avcodec_alloc_context3(nullptr);
        if (!codec_[t])
            throw FFmpegException("avcodec_alloc_context3 failed");
        codec_[t]->codec_type = TypeOf[t];
    }
    format_ = ff::avformat_alloc_context();
    scaler_ = ff::sws_alloc_context();
    if (!format_ || !scaler_)
        throw FFmpegException("option contexts could not be allocated");
}

void* TGenericOptions::Holder(TTarget target) const {
    switch (target) {
    case tgVideo: case tgAudio: case tgSubtitle: return codec_[target];
    case tgFormat: return format_;
    case tgScaler: return scaler_;
    default: return nullptr;
    }
}

int TGenericOptions::SetIn(TTarget target, const std::string& name, const std::string& value, bool& found) {
    void* obj = Holder(target);
    int mask = target <= tgSubtitle ? TypeMask[target] : 0;
    if (!ff::av_opt_find(obj, name.c_str(), nullptr, mask, 0))
        return 0;
    found = true;
    return ff::av_opt_set(obj, name.c_str(), value.c_str(), 0);
}

bool TGenericOptions::IsPrivateOption(const std::string& name) const {
    void* it = nullptr;
    while (const AVCodec* c = ff::av_codec_iterate(&it))
        if (c->priv_class && ff::av_opt_find(const_cast<AVClass**>(&c->priv_class), name.c_str(), nullptr, 0,
                                             AV_OPT_SEARCH_FAKE_OBJ))
            return true;
    it = nullptr;
    while (const AVOutputFormat* f = ff::av_muxer_iterate(&it))
        if (f->priv_class && ff::av_opt_find(const_cast<AVClass**>(&f->priv_class), name.c_str(), nullptr, 0,
                                             AV_OPT_SEARCH_FAKE_OBJ))
            return true;
    return false;
}

bool TGenericOptions::Set(const std::string& rawName, const std::string& value) {
    std::string name = Trim(rawName);
    if (name.empty())
        return false;
    bool found = false;
    int result = 0;
    std::vector<TTarget> hits;
    for (TTarget t : {tgVideo, tgAudio, tgSubtitle}) {
        bool here = false;
        result = SetIn(t, name, value, here);
        if (here)
            hits.push_back(t);
        found = found || here;
        if (result < 0)
            break;
    }
    std::string recordName = name;
    for (TTarget t : {tgFormat, tgScaler})
        if (!found) {
            result = SetIn(t, name, value, found);
            if (found)
                hits.push_back(t);
        }
    // "vb", "ab", "sb": the codec option without its first letter, for that media type.
    const std::string prefixes = "avs";
    const TTarget prefixTarget[3] = {tgAudio, tgVideo, tgSubtitle};
    if (!found && name.size() > 1 && prefixes.find(name[0]) != std::string::npos) {
        TTarget t = prefixTarget[prefixes.find(name[0])];
        recordName = name.substr(1);
        result = SetIn(t, recordName, value, found);
        if (found)
            hits.push_back(t);
    }
    if (found && result < 0) {
        errorMsg_ = Fmt("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str());
        EngineLog(elError, errorMsg_);
        return false;
    }
    if (!found) {
        if (!IsPrivateOption(name)) {
            errorMsg_ = Fmt("Unrecognized option \"%s\"", name.c_str());
            EngineLog(elError, errorMsg_);
            return false;
        }
        recorded_.push_back({name, value, tgPrivate});
        return true;
    }
    for (TTarget t : hits)
        recorded_.push_back({recordName, {}, t});
    return true;
}

void TGenericOptions::ApplyToCodec(AVCodecContext* target, AVMediaType type, int flags,
                                   AVDictionary** privateOpts) const {
    TTarget kind = type == AVMEDIA_TYPE_AUDIO ? tgAudio : type == AVMEDIA_TYPE_SUBTITLE ? tgSubtitle : tgVideo;
    for (const TRecorded& r : recorded_) {
        if (r.Target == tgPrivate) {
            if (privateOpts)
                ff::av_dict_set(privateOpts, r.Name.c_str(), r.Value.c_str(), 0);
            continue;
        }
        if (r.Target != kind)
            continue;
        const AVOption* o = ff::av_opt_find(codec_[kind], r.Name.c_str(), nullptr, 0, 0);
        if (!o || (o->flags & flags) != flags)
            continue;
        uint8_t* text = nullptr;
        if (ff::av_opt_get(codec_[kind], r.Name.c_str(), 0, &text) >= 0 && text)
            ff::av_opt_set(target, r.Name.c_str(), reinterpret_cast<char*>(text), 0);
        ff::av_free(text);
    }
}

void TGenericOptions::FormatOptions(int flags, AVDictionary** opts) const {
    for (const TRecorded& r : recorded_) {
        if (r.Target == tgPrivate) {
            ff::av_dict_set(opts, r.Name.c_str(), r.Value.c_str(), 0);
            continue;
        }
        if (r.Target != tgFormat)
            continue;
        const AVOption* o = ff::av_opt_find(format_, r.Name.c_str(), nullptr, 0, 0);
        if (!o || (o->flags & flags) != flags)
            continue;
        uint8_t* text = nullptr;
        if (ff::av_opt_get(format_, r.Name.c_str(), 0, &text) >= 0 && text)
            ff::av_dict_set(opts, r.Name.c_str(), reinterpret_cast<char*>(text), 0);
        ff::av_free(text);
    }
}

int64_t TGenericOptions::CodecInt(AVMediaType type, const char* name) const {
    int t = type == AVMEDIA_TYPE_AUDIO ? 1 : type == AVMEDIA_TYPE_SUBTITLE ? 2 : 0;
    int64_t v = 0;
    ff::av_opt_get_int(codec_[t], name, 0, &v);
    return v;
}

int TGenericOptions::ScalerFlags() const {
    int64_t v = SWS_BICUBIC;
    ff::av_opt_get_int(scaler_, "sws_flags", 0, &v);
    return int(v);
}
