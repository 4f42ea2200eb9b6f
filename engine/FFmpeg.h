#pragma once
// The job class of the encoder component: a TCustomFFmpeg that keeps a copy of the record of
// each input and output and applies those records as option settings.

#include "engine/CustomFFmpeg.h"
#include "engine/FileOptions.h"
#include "medialib/FFDecoder.h"

#include <map>
#include <vector>

class TFFmpeg : public TCustomFFmpeg {
public:
    explicit TFFmpeg(int maxFiles, void* owner = nullptr);
    ~TFFmpeg() override { EndRunForDestruction(); }

    // Copies the record of the next input and applies it, without opening the file.
    void ApplyInputOptions(const TInputOptions& options);
    // Copies the record of the next output and applies it up to the open.
    void ApplyOutputOptions(const TOutputOptions& options);
    // After a successful open of that output: the extra streams of its ExtOptions text.
    void ApplyOutputOptionsAfterOpen(int outputIndex);
    // Back to the defaults (after a failed open).
    void ResetInputRecord(int index);
    void ResetOutputRecord(int index);

    // The information object of an opened input; attached when the input is opened through
    // AttachInputInfo, detached when the files close.
    TFFDecoder& InputInfo(int index);
    void AttachInputInfo(int index);
    void CloseAll() override;

    const TInputOptions& InputRecord(int index) const { return inputRecords_.at(index); }
    const TOutputOptions& OutputRecord(int index) const { return outputRecords_.at(index); }
    void* Owner() const { return owner_; }

    // What the hook switches of an output record connect (the encoder's dispatchers). A switch
    // whose target is empty connects nothing.
    struct THookTargets {
        std::function<void(TCustomFFmpeg&, AVFrame*, int64_t)> Audio;
        TVideoHookSlot VideoInput, VideoOutput;
    };
    THookTargets HookTargets;

private:
    void ApplyExtOptions(const std::string& text, bool input);
    void ApplyRecordFields(const TOutputOptions& o);
    void ApplyMetadata(const TStreamInfo& info);
    void ApplyDefault(const char* name);

    std::vector<TInputOptions> inputRecords_;
    std::vector<TFFDecoder> inputInfos_;
    std::vector<TOutputOptions> outputRecords_;
    // Per-stream defaults ("def_vcodec", ...) and the later values of the per-stream keys.
    std::map<std::string, std::string> defaults_;
    std::map<std::string, std::vector<std::string>> streamValues_;
    void* owner_;
};
