#include "engine/AudioVolume.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
template <typename T, typename F>
void ScaleSamples(uint8_t* bytes, std::size_t count, F scale) {
    for (std::size_t i = 0; i < count; ++i) {
        T v;
        std::memcpy(&v, bytes + i * sizeof(T), sizeof(T));
        v = scale(v);
        std::memcpy(bytes + i * sizeof(T), &v, sizeof(T));
    }
}

void ScalePlane(uint8_t* data, std::size_t count, AVSampleFormat packed, int volume) {
    const double factor = volume / 256.0;
    switch (packed) {
    case AV_SAMPLE_FMT_U8:
        ScaleSamples<uint8_t>(data, count, [volume](uint8_t v) {
            return uint8_t(std::clamp((((int(v) - 128) * volume + 128) >> 8) + 128, 0, 255));
        });
        break;
    case AV_SAMPLE_FMT_S16:
        ScaleSamples<int16_t>(data, count, [volume](int16_t v) {
            return int16_t(std::clamp((int32_t(v) * volume + 128) >> 8, -32768, 32767));
        });
        break;
    case AV_SAMPLE_FMT_S32:
        ScaleSamples<int32_t>(data, count, [volume](int32_t v) {
            return int32_t(std::clamp<int64_t>((int64_t(v) * volume + 128) >> 8, INT32_MIN, INT32_MAX));
        });
        break;
    case AV_SAMPLE_FMT_S64:
        ScaleSamples<int64_t>(data, count, [factor](int64_t v) {
            double d = double(v) * factor;
            return d >= 9.2e18 ? INT64_MAX : d <= -9.2e18 ? INT64_MIN : int64_t(d);
        });
        break;
    case AV_SAMPLE_FMT_FLT:
        ScaleSamples<float>(data, count, [factor](float v) { return std::clamp(float(v * factor), -1.0f, 1.0f); });
        break;
    case AV_SAMPLE_FMT_DBL:
        ScaleSamples<double>(data, count, [factor](double v) { return std::clamp(v * factor, -1.0, 1.0); });
        break;
    default: break;
    }
}
} // namespace

void ApplyVolume(AVFrame* frame, int volume) {
    if (volume == 256)
        return;
    AVSampleFormat format = AVSampleFormat(frame->format);
    AVSampleFormat packed = ff::av_get_packed_sample_fmt(format);
    const int channels = frame->ch_layout.nb_channels;
    if (ff::av_sample_fmt_is_planar(format)) {
        for (int c = 0; c < channels; ++c)
            ScalePlane(frame->extended_data[c], std::size_t(frame->nb_samples), packed, volume);
    } else {
        ScalePlane(frame->extended_data[0], std::size_t(frame->nb_samples) * std::size_t(channels), packed, volume);
    }
}
