#include "app/soundtrack/AudioFilter.h"

#include "engine/FFPtr.h"
#include "medialib/FFUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {
constexpr int Chunk = 4096; // sample frames handed to the graph at a time

struct TGraphFree {
    void operator()(AVFilterGraph* g) const { ff::avfilter_graph_free(&g); }
};
using TGraphPtr = std::unique_ptr<AVFilterGraph, TGraphFree>;

// Pushes samples through "abuffer -> description -> aformat -> abuffersink" and hands every
// frame that comes out to take.
bool RunGraph(const std::vector<float>& samples, int rate, int channels, const std::string& description,
              const std::function<void(const AVFrame*)>& take, std::string& error) {
    auto fail = [&](const std::string& what, int code) {
        error = "audio filter \"" + description + "\": " + what + (code < 0 ? ": " + ErrorCodeText(code) : "");
        return false;
    };
    TGraphPtr graph(ff::avfilter_graph_alloc());
    if (!graph)
        return fail("out of memory", 0);
    AVChannelLayout layout{};
    ff::av_channel_layout_default(&layout, channels);
    char layoutName[64] = "";
    ff::av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
    const std::string args = "time_base=1/" + std::to_string(rate) + ":sample_rate=" + std::to_string(rate) +
                             ":sample_fmt=flt:channel_layout=" + layoutName;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    int r = ff::avfilter_graph_create_filter(&source, ff::avfilter_get_by_name("abuffer"), "in", args.c_str(),
                                             nullptr, graph.get());
    if (r < 0)
        return fail("cannot make its source", r);
    r = ff::avfilter_graph_create_filter(&sink, ff::avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                         graph.get());
    if (r < 0)
        return fail("cannot make its sink", r);
    // Back to the caller's format, rate and channels, whatever the filters do inside.
    const std::string full = description + ",aresample=" + std::to_string(rate) +
                             ",aformat=sample_fmts=flt:channel_layouts=" + layoutName;
    AVFilterInOut* outputs = ff::avfilter_inout_alloc();
    AVFilterInOut* inputs = ff::avfilter_inout_alloc();
    if (!outputs || !inputs) {
        ff::avfilter_inout_free(&outputs);
        ff::avfilter_inout_free(&inputs);
        return fail("out of memory", 0);
    }
    outputs->name = ff::av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = ff::av_strdup("out");
    inputs->filter_ctx = sink;
    r = ff::avfilter_graph_parse_ptr(graph.get(), full.c_str(), &inputs, &outputs, nullptr);
    ff::avfilter_inout_free(&outputs);
    ff::avfilter_inout_free(&inputs);
    if (r < 0)
        return fail("cannot be read", r);
    if ((r = ff::avfilter_graph_config(graph.get(), nullptr)) < 0)
        return fail("cannot be set up", r);

    TFramePtr in = NewFrame(), out = NewFrame();
    if (!in || !out)
        return fail("out of memory", 0);
    auto drain = [&]() {
        for (;;) {
            int g = ff::av_buffersink_get_frame(sink, out.get());
            if (g == AVERROR(EAGAIN) || g == AVERROR_EOF)
                return 0;
            if (g < 0)
                return g;
            take(out.get());
            ff::av_frame_unref(out.get());
        }
    };
    const long long frames = (long long)(samples.size()) / channels;
    for (long long at = 0; at < frames; at += Chunk) {
        const int count = int(std::min<long long>(Chunk, frames - at));
        in->format = AV_SAMPLE_FMT_FLT;
        in->sample_rate = rate;
        in->nb_samples = count;
        in->pts = at;
        if ((r = ff::av_channel_layout_copy(&in->ch_layout, &layout)) < 0 || (r = ff::av_frame_get_buffer(in.get(), 0)) < 0)
            return fail("out of memory", r);
        std::memcpy(in->data[0], samples.data() + at * channels, std::size_t(count) * channels * sizeof(float));
        r = ff::av_buffersrc_add_frame_flags(source, in.get(), 0);
        ff::av_frame_unref(in.get());
        if (r < 0 || (r = drain()) < 0)
            return fail("failed", r);
    }
    if ((r = ff::av_buffersrc_add_frame_flags(source, nullptr, 0)) < 0 || (r = drain()) < 0)
        return fail("failed", r);
    return true;
}
} // namespace

bool FilterAudio(std::vector<float>& samples, int rate, int channels, const std::string& description,
                 std::string& error) {
    std::vector<float> result;
    result.reserve(samples.size());
    auto take = [&](const AVFrame* f) {
        const float* data = reinterpret_cast<const float*>(f->data[0]);
        result.insert(result.end(), data, data + std::size_t(f->nb_samples) * channels);
    };
    if (!RunGraph(samples, rate, channels, description, take, error))
        return false;
    samples = std::move(result);
    return true;
}

bool MeasureLoudness(const std::vector<float>& samples, int rate, int channels, double& lufs, std::string& error) {
    // With metadata on, every frame carries the integrated loudness of everything before it.
    bool measured = false;
    auto take = [&](const AVFrame* f) {
        if (const AVDictionaryEntry* e = ff::av_dict_get(f->metadata, "lavfi.r128.I", nullptr, 0)) {
            lufs = std::strtod(e->value, nullptr);
            measured = true;
        }
    };
    if (!RunGraph(samples, rate, channels, "ebur128=metadata=1", take, error))
        return false;
    if (!measured)
        lufs = -70;
    return true;
}
