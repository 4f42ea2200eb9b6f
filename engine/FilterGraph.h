#pragma once
// The video filter graph of one output stream: a buffer source fed with decoded pictures, the
// user's description ("vf"), and the engine's sink, which offers exactly the encoder's pixel
// format. A scaler to the encoder's size goes first when the input's size differs from it.

#include "medialib/FFApi.h"

#include <memory>
#include <string>

struct TVideoFilterSpec {
    int Width = 0, Height = 0;                 // of the decoded pictures
    AVPixelFormat Format = AV_PIX_FMT_NONE;
    AVRational SampleAspect{0, 1};
    int EncoderWidth = 0, EncoderHeight = 0;   // scaled to first when it differs (0: no scaling)
    AVPixelFormat EncoderFormat = AV_PIX_FMT_NONE;
    int ScalerFlags = 0;
    std::string Description;                   // empty: source (or scaler) straight to the sink
};

class TVideoFilterGraph {
public:
    // Builds and configures the graph; raises FFmpegException "Error opening filters: ..." on failure.
    explicit TVideoFilterGraph(const TVideoFilterSpec& spec);
    ~TVideoFilterGraph();
    TVideoFilterGraph(const TVideoFilterGraph&) = delete;
    TVideoFilterGraph& operator=(const TVideoFilterGraph&) = delete;

    // Size of the pictures that reach the sink.
    int OutputWidth() const;
    int OutputHeight() const;
    AVRational OutputSampleAspect() const;
    // One picture with its time in microseconds; the caller keeps its own reference. nullptr
    // tells the graph that no more pictures come.
    void Push(AVFrame* picture, int64_t timeUs);
    // The next picture out of the graph into out (blank), its time in microseconds in timeUs;
    // false when the graph has none ready (or has ended).
    bool Pull(AVFrame* out, int64_t& timeUs);

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};
