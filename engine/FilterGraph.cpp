// The video filter graph: buffer source "src", optional "scale", the user's description, and
// the sink "out" that hands pictures in the encoder's pixel format back to the engine.

#include "engine/FilterGraph.h"
#include "engine/EngineSupport.h"
#include "engine/FFmpegException.h"

namespace {
struct TInOutFree {
    void operator()(AVFilterInOut* io) const { ff::avfilter_inout_free(&io); }
};
using TInOutPtr = std::unique_ptr<AVFilterInOut, TInOutFree>;

[[noreturn]] void FilterError(int code) {
    std::string text = code < 0 ? ErrorCodeText(code) : std::string();
    throw FFmpegException(text.empty() ? std::string("Error opening filters!") : "Error opening filters: " + text);
}

void Check(int code) {
    if (code < 0)
        FilterError(code);
}

AVFilterInOut* NewInOut(const char* name, AVFilterContext* filter) {
    AVFilterInOut* io = ff::avfilter_inout_alloc();
    if (!io)
        FilterError(AVERROR(ENOMEM));
    io->name = ff::av_strdup(name);
    io->filter_ctx = filter;
    io->pad_idx = 0;
    io->next = nullptr;
    return io;
}
} // namespace

TVideoFilterGraph::TVideoFilterGraph(const TVideoFilterSpec& spec) {
    graph_ = ff::avfilter_graph_alloc();
    if (!graph_)
        FilterError(AVERROR(ENOMEM));
    try {
        graph_->scale_sws_opts = ff::av_strdup(Fmt("flags=0x%X", unsigned(spec.ScalerFlags)).c_str());
        AVRational sar = spec.SampleAspect.num > 0 ? spec.SampleAspect : AVRational{0, 1};
        std::string args = Fmt("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", spec.Width, spec.Height,
                               int(spec.Format), AV_TIME_BASE, sar.num, sar.den > 0 ? sar.den : 1);
        Check(ff::avfilter_graph_create_filter(&source_, ff::avfilter_get_by_name("buffer"), "src", args.c_str(),
                                               nullptr, graph_));
        Check(ff::avfilter_graph_create_filter(&sink_, ff::avfilter_get_by_name("buffersink"), "out", nullptr,
                                               nullptr, graph_));
        // The sink offers the encoder's pixel format and nothing else.
        AVPixelFormat formats[] = {spec.EncoderFormat, AV_PIX_FMT_NONE};
        Check(ff::av_opt_set_bin(sink_, "pix_fmts", reinterpret_cast<const uint8_t*>(formats),
                                 int(sizeof(AVPixelFormat)), AV_OPT_SEARCH_CHILDREN));
        AVFilterContext* last = source_;
        if (spec.EncoderWidth > 0 && spec.EncoderHeight > 0 &&
            (spec.EncoderWidth != spec.Width || spec.EncoderHeight != spec.Height)) {
            AVFilterContext* scale = nullptr;
            std::string scaleArgs =
                Fmt("%d:%d:sws_flags=%d", spec.EncoderWidth, spec.EncoderHeight, spec.ScalerFlags);
            Check(ff::avfilter_graph_create_filter(&scale, ff::avfilter_get_by_name("scale"), "scale", scaleArgs.c_str(),
                                                   nullptr, graph_));
            Check(ff::avfilter_link(source_, 0, scale, 0));
            last = scale;
        }
        if (!spec.Description.empty()) {
            TInOutPtr outputs(NewInOut("in", last));
            TInOutPtr inputs(NewInOut("out", sink_));
            AVFilterInOut* in = inputs.release();
            AVFilterInOut* out = outputs.release();
            int r = ff::avfilter_graph_parse_ptr(graph_, spec.Description.c_str(), &in, &out, nullptr);
            ff::avfilter_inout_free(&in);
            ff::avfilter_inout_free(&out);
            Check(r);
        } else {
            Check(ff::avfilter_link(last, 0, sink_, 0));
        }
        Check(ff::avfilter_graph_config(graph_, nullptr));
    } catch (...) {
        ff::avfilter_graph_free(&graph_);
        throw;
    }
}

TVideoFilterGraph::~TVideoFilterGraph() { ff::avfilter_graph_free(&graph_); }

int TVideoFilterGraph::OutputWidth() const { return ff::av_buffersink_get_w(sink_); }

int TVideoFilterGraph::OutputHeight() const { return ff::av_buffersink_get_h(sink_); }

AVRational TVideoFilterGraph::OutputSampleAspect() const { return ff::av_buffersink_get_sample_aspect_ratio(sink_); }

void TVideoFilterGraph::Push(AVFrame* picture, int64_t timeUs) {
    int r;
    if (!picture) {
        r = ff::av_buffersrc_add_frame_flags(source_, nullptr, 0);
    } else {
        int64_t saved = picture->pts;
        picture->pts = timeUs;
        r = ff::av_buffersrc_add_frame_flags(source_, picture, AV_BUFFERSRC_FLAG_KEEP_REF);
        picture->pts = saved;
    }
    if (r < 0 && r != AVERROR_EOF)
        throw FFmpegException("Error while filtering: " + ErrorCodeText(r));
}

bool TVideoFilterGraph::Pull(AVFrame* out, int64_t& timeUs) {
    int r = ff::av_buffersink_get_frame(sink_, out);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
        return false;
    if (r < 0)
        throw FFmpegException("Error while filtering: " + ErrorCodeText(r));
    timeUs = out->pts == AV_NOPTS_VALUE
                 ? AV_NOPTS_VALUE
                 : ff::av_rescale_q(out->pts, ff::av_buffersink_get_time_base(sink_), AV_TIME_BASE_Q);
    return true;
}
