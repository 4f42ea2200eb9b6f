#pragma once
// One run of a job: run preparation, the read/decode/encode/mux loop, flush and trailers.
// The stages live in their own files: Prepare.cpp, TranscodeLoop.cpp, VideoOutput.cpp,
// AudioOutput.cpp, Muxer.cpp.

#include "engine/CustomFFmpeg.h"

#include <array>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

class TTranscoder {
public:
    explicit TTranscoder(TCustomFFmpeg& job);
    TTranscoder(const TTranscoder&) = delete;
    TTranscoder& operator=(const TTranscoder&) = delete;

    // Prepares, loops until the inputs end or a stop is requested, flushes and writes the
    // trailers. Raises FFmpegException; the caller closes the files.
    void Run();

private:
    // Prepare.cpp
    void Prepare();
    void BuildInputStreams();
    void CheckOutputs();
    void MapStreams();
    void MapJoinedStreams();
    void PrepareJoinedParts();
    void CheckInputsUsed();
    void SetupStreamCopy(TOutputStream& ost, TInputStream& ist);
    AVRational CopyTimeBase(const AVStream* in) const;
    void SetupHardwareFrames(TOutputStream& ost);
    void SetupVideoEncoding(TOutputStream& ost, TInputStream& ist);
    void SetupTwoPass(TOutputStream& ost, int index);
    void WritePassStats(TOutputStream& ost);
    void OpenEncoder(TOutputStream& ost);
    void OpenDecoder(TInputStream& ist);
    void CopyChapters();
    void CopyChapters(const TInputFile& in, TOutputFile& out);
    void ApplyMetadataMaps();
    void WriteHeaders();
    void LogStreamMapping();
    void LogSessionDescription();

    // TranscodeLoop.cpp
    void Loop();
    int ChooseInput();
    bool HandlePacket(TInputFile& file, AVPacket* pkt);
    bool ProcessPacket(TInputStream& ist, const AVPacket* pkt);
    bool DecodeVideo(TInputStream& ist, const AVPacket* pkt);
    void AdvanceCopyTime(TInputStream& ist, const AVPacket* pkt);
    void EmulateRate(TInputStream& ist);
    void Flush();
    void SettleEncoderThreads() noexcept;
    void WriteTrailers();
    void ReportProgress(bool final, int currentInput);
    // Parts of the progress line: the "qphist" digits and the "psnr" values.
    std::string QpHistogramDigits() const;
    std::string PsnrText(const TOutputStream& ost, bool final) const;

    // VideoHooks.cpp
    void RunFrameHooks(const TInputStream& ist, AVFrame* picture);
    void RunVideoInputHook(const TInputStream& ist, AVFrame* picture);
    AVFrame* RunVideoOutputHook(TOutputStream& ost, AVFrame* picture, int64_t time);
    bool CallVideoHook(TVideoHookSlot& slot, TFormatConverter& conv, AVFrame* picture, int64_t time, int64_t frameNumber);

    // VideoOutput.cpp
    void FilterVideo(TOutputStream& ost, TInputStream& ist, AVFrame* in);
    void OutputVideo(TOutputStream& ost, AVFrame* in);
    AVFrame* PictureToEncode(TOutputStream& ost, AVFrame* in);
    void EncodeVideoFrame(TOutputStream& ost, AVFrame* picture);
    void ReceivePackets(TOutputStream& ost);
    void WriteEncodedPacket(TOutputStream& ost, AVPacket* pkt);
    bool EncodesBeside(const TOutputStream& ost) const;
    void CollectPackets(TOutputStream& ost, bool untilEnd);
    void DrainEncoder(TOutputStream& ost);
    void VideoStatistics(TOutputStream& ost, const AVPacket* pkt);

    // AudioOutput.cpp
    void SetupAudioEncoding(TOutputStream& ost, TInputStream& ist);
    bool DecodeAudio(TInputStream& ist, const AVPacket* pkt);
    void OutputAudio(TOutputStream& ost, TInputStream& ist, AVFrame* in);
    void PrepareResampler(TOutputStream& ost, const AVFrame* in);
    int SyncAudio(TOutputStream& ost, TInputStream& ist, int inputSamples);
    void QueueSamples(TOutputStream& ost, const uint8_t* const* planes, int count);
    void EncodeAudioFrames(TOutputStream& ost);
    void EncodeAudioFrame(TOutputStream& ost, int samples, bool padToFrame);
    void FlushAudio(TOutputStream& ost);

    // SubtitleOutput.cpp
    void SetupSubtitleEncoding(TOutputStream& ost, TInputStream& ist);
    bool DecodeSubtitle(TInputStream& ist, const AVPacket* pkt);
    void HandleSubtitle(TInputStream& ist, AVSubtitle& subtitle);
    void EmitSubtitle(TInputStream& ist, const AVSubtitle& subtitle);
    void OutputSubtitle(TOutputStream& ost, const AVSubtitle& subtitle);

    // InputEnd.cpp
    void CheckInputEnd(const TInputFile& file, int readResult);

    // JoinedParts.cpp
    void StartNextPart();
    double PartEndTime(const TOutputStream& ost) const;

    // Muxer.cpp
    void InitBitstreamFilters(TOutputStream& ost);
    void CopyPacket(TOutputStream& ost, TInputStream& ist, const AVPacket* pkt, int64_t packetTime);
    void WritePacket(TOutputStream& ost, AVPacket* pkt);
    void FilterAndWrite(TOutputStream& ost, std::size_t filter, AVPacket* pkt);
    void FlushBitstreamFilters(TOutputStream& ost);
    void Mux(TOutputStream& ost, AVPacket* pkt);
    bool FitsSizeLimit(TOutputFile& out, const AVPacket* pkt);
    bool SoundPastLastFrame(const TOutputStream& ost, const AVPacket* pkt) const;
    void CheckAudioDecoded() const;
    // Runs step; a failure it raises about an audio input (a soundtrack) keeps its text and
    // says which file it is about.
    template <class TStep> void NamingAudioInput(const TInputStream& ist, TStep step) const {
        try {
            step();
        } catch (const FFmpegException& e) {
            RethrowNamingInput(ist, e);
        }
    }
    void RethrowNamingInput(const TInputStream& ist, const FFmpegException& e) const;
    [[noreturn]] void ThrowTimesWentBack(const TOutputStream& ost, const TOutputFile& out, int code) const;

    TCustomFFmpeg& job_;
    TJobSettings& s_;
    std::vector<TInputStream> ist_;
    std::vector<TOutputStream*> ost_; // every output stream, file by file
    TPacketPtr packet_;      // the packet read from an input
    TPacketPtr encodedPacket_; // what an encoder hands out (never the read packet: copies still need it)
    // Reused for every packet: the stream-copied packet, and the output of each bitstream
    // filter by its place in a chain (streams are filtered one after another, so chains share).
    TPacketPtr copyPacket_;
    std::vector<TPacketPtr> filterPackets_;
    // The video input hook's bitmap, converted from each decoded picture and back.
    TFormatConverter hookConverter_;
    // The output hook's bitmap, converted from each picture about to be encoded.
    TFormatConverter outputHookConverter_;
    std::vector<uint8_t> subtitleBuffer_;    // one encoded subtitle, made with the first one
    // A decoded subtitle without an end of its own (picture subtitles end with the next one of
    // their stream), held until that next one comes.
    struct THeldSubtitle {
        AVSubtitle Subtitle{};
        bool Held = false;
        THeldSubtitle() = default;
        THeldSubtitle(const THeldSubtitle&) = delete;
        THeldSubtitle& operator=(const THeldSubtitle&) = delete;
        ~THeldSubtitle() { Release(); }
        void Release();
    };
    std::map<int, THeldSubtitle> heldSubtitles_; // by input stream index

    // Counters for the reports.
    int64_t videoSize_ = 0, audioSize_ = 0, extraSize_ = 0;
    int64_t dupFrames_ = 0, dropFrames_ = 0;
    int64_t lastDupDrop_ = -1;
    int64_t startTime_ = 0, lastReport_ = 0;
    int currentInput_ = 0;
    int part_ = 0;           // join mode: the input being read
    std::unique_ptr<std::ofstream> vstats_;  // "vstats", opened with the first frame
    std::array<int64_t, 64> qpHistogram_{};  // "qphist": frames by quantiser
};
