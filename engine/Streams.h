#pragma once
// The opened files and the per-stream records of a job.

#include "engine/EncoderThread.h"
#include "engine/FFPtr.h"
#include "engine/FilterGraph.h"
#include "engine/HardwareFrames.h"
#include "engine/JobSettings.h"
#include "medialib/InputFormatRegistry.h"

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One opened input: either a libavformat demuxer or one of the engine's virtual formats.
class TInputFile {
public:
    TInputFile(AVFormatContext* ctx, const TVirtualInputFormat* virtualFormat)
        : ctx_(ctx), virtual_(virtualFormat) {}
    ~TInputFile();
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;

    AVFormatContext* Context() const { return ctx_; }
    bool IsVirtual() const { return virtual_ != nullptr; }
    std::string FileName;                  // as the caller named it
    // One packet into pkt (which must be blank); 0 or a negative AVERROR.
    int ReadPacket(AVPacket* pkt);

    int64_t TsOffset = 0;                  // microseconds
    std::map<int, double> TsScale;         // stream index -> factor
    std::vector<const AVCodec*> Decoders;  // chosen by name at opening, per stream (or null)
    // Run state.
    bool EndReached = false;
    bool NoPacketNow = false;
    bool TimestampsJumped = false;         // a discontinuity was taken out while reading
    int FirstStream = 0;                   // index of stream 0 in the input stream table
    int StreamCount = 0;                   // streams known at preparation; later ones are ignored

private:
    AVFormatContext* ctx_;
    const TVirtualInputFormat* virtual_;
};

struct TInputStream {
    int FileIndex = 0;
    int StreamIndex = 0;
    AVStream* Stream = nullptr;
    bool Free = true;
    bool DecodingNeeded = false;
    TCodecContextPtr Decoder;
    int64_t Pts = 0;                       // current time, microseconds
    int64_t NextPts = NoTimestamp;         // next expected time, microseconds
    bool IsStart = true;
    bool PastRecordingTime = false;
    int64_t WallStart = 0;                 // for "re"
    int64_t FrameCounter = 0;
    bool MultiFrameWarned = false;
    bool Flushed = false;                  // its decoder was drained (a joined part that ended)
    TFramePtr Frame;                       // decoded picture, reused
};

struct TOutputStream {
    int FileIndex = 0;
    int Index = 0;
    AVStream* Stream = nullptr;
    AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
    int SourceIndex = -1;                  // into the input stream table
    std::vector<int> PartSources;          // join mode: the source in each input, by part
    int SyncIndex = -1;
    bool EncodingNeeded = false;
    bool StreamCopy = false;
    const AVCodec* Codec = nullptr;        // chosen by name or by the container's default
    AVCodecID CodecId = AV_CODEC_ID_NONE;
    std::string PassStats;                 // the first pass's statistics, read by the encoder (outlives it)
    TCodecContextPtr Encoder;
    int Pass = 0;                          // two-pass encoding: 1 or 2, 0 for one pass
    std::unique_ptr<std::ofstream> PassLog; // the first pass writes its statistics here
    int64_t FrameNumber = 0;
    int64_t SyncOpts = 0;                  // encoder time base units
    // Video.
    std::string FilterDescription;         // "vf" when the stream was created
    std::unique_ptr<TVideoFilterGraph> Filter;
    TVideoFilterSpec FilterSpec;           // what the graph was built for (a joined part rebuilds it)
    TFramePtr Filtered;                    // a picture out of the filter graph
    double Aspect = 0;                     // display aspect asked for ("aspect"), 0 when none
    bool NeedsRescale = false;
    TSwsPtr Scaler;
    TFramePtr Picture;                     // scaled picture handed to the encoder
    TFramePtr PictureSource;               // the input picture it was scaled from (a reference)
    TBufferPoolPtr PicturePool;            // memory of the scaled pictures, used again and again
    int PicturePoolSize = 0;
    TFramePtr HookPicture;                 // the output hook's copy of the picture, encoded instead
    // An encoder that takes pictures on the graphics chip only: the surfaces they are uploaded to.
    std::unique_ptr<THardwareFrames> Hardware;
    int RescaleWidth = 0, RescaleHeight = 0;
    AVPixelFormat RescaleFormat = AV_PIX_FMT_NONE;
    std::vector<int64_t> ForcedKeyFrames;  // encoder time base
    std::size_t NextForcedKeyFrame = 0;
    std::string ForcedKeyFramesText;
    // "expr:" key frames: the expression, and its variables n, n_forced, prev_forced_n,
    // prev_forced_t and t (the picture's time in seconds) at the next picture.
    TExprPtr ForcedKeyExpr;
    double ForcedKeyValues[5] = {};
    // Audio: the decoder format, rate and layout the resampler was made for, the resampler
    // (none while the decoder already delivers what the encoder takes), the FIFO of encoder
    // samples that cuts them into whole encoder frames, and the reused buffers.
    AVSampleFormat ResampleFormat = AV_SAMPLE_FMT_NONE;
    int ResampleRate = 0;
    TChannelLayout ResampleLayout;
    bool ResamplerChecked = false;         // the resampler matches the current input
    TSwrPtr Resampler;
    TAudioFifoPtr Fifo;
    TFramePtr ResampleBuffer;              // resampler output, grown on demand
    TFramePtr AudioFrame;                  // one encoder frame
    // The audio encoder's own thread when it runs beside a video encoder (declared after the
    // encoder: it ends before the encoder is freed).
    std::unique_ptr<TEncoderThread> EncoderThread;
    // Muxing.
    std::vector<std::string> BitstreamFilterNames;
    std::vector<TBsfPtr> BitstreamFilters;
    double OutTime = 0;                    // seconds written so far
    int64_t LastMuxDts = NoTimestamp;      // decode time of the last packet written, stream time base
    float Quality = -1;                    // quantiser of the last coded picture
    // "psnr": the squared errors of Y, U and V of the last coded picture and of all of them.
    uint64_t LastError[3] = {0, 0, 0};
    uint64_t ErrorSum[3] = {0, 0, 0};

    // The layout pictures are converted to: the encoder's own, or the surfaces' for one on the chip.
    AVPixelFormat PictureFormat() const { return Hardware ? Hardware->SoftwareFormat() : Encoder->pix_fmt; }
};

// One opened output container with its streams.
class TOutputFile {
public:
    explicit TOutputFile(AVFormatContext* ctx) : ctx_(ctx) {}
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    AVFormatContext* Context() const { return ctx_; }
    // Closes the file. A file that holds no packet, or whose trailer or last buffered bytes
    // could not be written (a full disk), would not play: it is deleted, with a warning.
    void Close();

    std::string FileName;
    std::vector<std::unique_ptr<TOutputStream>> Streams;
    TDict HeaderOptions;                   // format options for avformat_write_header
    bool HeaderWritten = false;
    bool TrailerWritten = false;
    bool TrailerFailed = false;            // av_write_trailer reported an error
    int64_t PacketsWritten = 0;            // packets the muxer accepted
    // The file size limit: bytes before the first packet, packet bytes handed to the muxer, and
    // whether a packet did not fit (nothing more is written then).
    int64_t HeaderBytes = 0;
    int64_t PayloadBytes = 0;
    bool Full = false;

private:
    AVFormatContext* ctx_;
};
