#pragma once
// One transcoding job: option settings, the opened inputs and outputs, and the run that reads
// every input and writes every output.
//
// The job is driven like the command-line transcoder it follows: options are applied by name
// ahead of the file they belong to (ApplyOption), each OpenInputFile/OpenOutputFile consumes
// the pending ones, then Execute runs the transcode in the calling thread.

#include "engine/FFmpegException.h"
#include "engine/GenericOptions.h"
#include "engine/JobSettings.h"
#include "engine/Streams.h"
#include "medialib/FrameHook.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TProgressInfo {
    int CurrentInput = 0;     // -1 in the final report
    int FrameNumber = 0;
    int FrameRate = 0;
    float Quality = -1;
    float BitRate = 0;        // kbit/s
    int64_t CurrentSize = 0;  // bytes
    int64_t CurrentTime = 0;  // microseconds
    int64_t TotalDuration = -1;
    bool Final = false;
};

class TCustomFFmpeg {
public:
    explicit TCustomFFmpeg(int maxFiles);
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    const int MaxFiles;

    // Applies one option; raises FFmpegException with the option's message.
    void ApplyOption(const std::string& name, const std::string& value);
    // False for the switches that are complete without a value ("an", "y", "shortest", ...).
    static bool OptionNeedsValue(const std::string& name);
    // Opens an input with the pending settings; false with LastError set on failure.
    bool OpenInputFile(const std::string& fileName);
    // Creates an output with its streams; the number of outputs, or -1 with LastError set.
    int OpenOutputFile(const std::string& fileName, bool join = false);
    // Every setting back to its default, every table emptied, every file closed.
    void ResetSettings();
    // Closes and frees every file, codec and buffer of the job.
    void CloseAll();

    // Runs the transcode in the calling thread. Returns true when it completed without error;
    // the error text is in ErrorMessage().
    bool Execute();
    // Asks a running transcode to end at its next loop pass.
    void StopJob() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }

    bool Finished() const { return finished_; }
    bool Failed() const { return failed_; }
    const std::string& ErrorMessage() const { return errorMessage_; }

    int InputCount() const { return int(inputs_.size()); }
    int OutputCount() const { return int(outputs_.size()); }
    AVFormatContext* InputContext(int i) const { return inputs_.at(i)->Context(); }
    AVFormatContext* OutputContext(int i) const { return outputs_.at(i)->Context(); }
    const TJobSettings& Settings() const { return settings_; }
    int64_t ExpectedDuration() const { return expectedDuration_; }

    std::string LastError;               // why the last open or codec lookup failed
    bool RaiseOnOptionError = true;      // a rejected generic option raises
    int IOTimeout = 10000;               // milliseconds; 0 or less: none
    int64_t ProgressInterval = 500000;   // microseconds
    std::function<void(TCustomFFmpeg&, const TProgressInfo&)> OnProgress;
    std::function<void(TCustomFFmpeg&, AVFormatContext*)> OnBeforeFindStreamInfo;
    // The audio hook: every decoded block of audio, before the volume and before any output
    // stream sees it, with its presentation time in microseconds. The frame carries the
    // decoder's sample format, channel layout and rate; its samples may be changed in place.
    // Runs on the thread of the transcode and must be quick.
    std::function<void(TCustomFFmpeg&, AVFrame* samples, int64_t pts)> OnAudioHook;

protected:
    friend class TTranscoder;

    // Option handlers that need more than a field (see Options.cpp).
    void SetBitRate(const std::string& name, const std::string& value);
    void SetGeneric(const std::string& name, const std::string& value);
    void AddStreamMap(const std::string& value);
    void AddStreamId(const std::string& value);
    void SetTag(const std::string& name, const std::string& value);
    void SetTsScale(const std::string& value);
    void SetMatrix(std::vector<uint16_t>& matrix, const std::string& value);
    void SetMetadata(const std::string& value);
    void AddVideoHook(const std::string& value);
    // A disc target ("vcd", "pal-dvd", ...); fallbackPal is the norm when nothing decides it.
    void ApplyTarget(const std::string& value, bool fallbackPal);
    void NewStream(AVMediaType type);
    void CheckBitRateWarning(AVMediaType type);

    // Output stream creation (OutputFile.cpp).
    void CreateOutputStream(TOutputFile& out, AVMediaType type);
    void SetupVideoEncoder(TOutputStream& ost);
    void SetupAudioEncoder(TOutputStream& ost);

    // Checks registered per thread with the interrupt registry: the I/O time-out around blocking
    // opens, analysis and seeks; the stop test for the reads of the transcode loop (not for the
    // flush and trailer, which must still be written after a stop).
    static bool IOTimeoutCheck(void* job);
    static bool StopCheck(void* job);
    void StartIOClock();
    void StopIOClock();

    TJobSettings settings_;
    TGenericOptions generic_;
    std::vector<std::unique_ptr<TInputFile>> inputs_;
    std::vector<std::unique_ptr<TOutputFile>> outputs_;
    TFrameHooks frameHooks_;             // "vhook" modules, run on every decoded picture
    int64_t expectedDuration_ = -1;

    std::atomic<bool> stopRequested_{false};
    std::atomic<int64_t> ioClockStart_{INT64_MAX};
    bool finished_ = false;
    bool failed_ = false;
    std::string errorMessage_;
};
