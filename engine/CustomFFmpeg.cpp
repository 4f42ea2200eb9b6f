#include "engine/CustomFFmpeg.h"
#include "engine/EngineSupport.h"
#include "engine/Transcoder.h"

#include <cassert>
#include <stdexcept>

TCustomFFmpeg::TCustomFFmpeg(int maxFiles) : MaxFiles(maxFiles) {
    if (maxFiles < 1 || maxFiles > 512)
        throw std::logic_error("Assertion failed: MaxFiles must be within 1..512");
    inputs_.reserve(std::size_t(maxFiles));
    outputs_.reserve(std::size_t(maxFiles));
    ResetSettings();
}

TCustomFFmpeg::~TCustomFFmpeg() { CloseAll(); }

void TCustomFFmpeg::ResetSettings() {
    CloseAll();
    settings_ = TJobSettings();
    generic_.Reset();
    expectedDuration_ = -1;
    LastError.clear();
    failed_ = false;
    finished_ = false;
    errorMessage_.clear();
}

void TCustomFFmpeg::CloseAll() {
    // Outputs first: their streams may refer to input streams' parameters.
    for (auto& out : outputs_)
        out->Close();
    outputs_.clear();
    inputs_.clear();
    // The hook modules belong to the run: they are released with its files.
    frameHooks_.Release();
}

bool TCustomFFmpeg::Execute() {
    finished_ = false;
    failed_ = false;
    errorMessage_.clear();
    stopRequested_ = false;
    try {
        if (outputs_.empty())
            throw FFmpegException("At least one output file must be specified");
        if (inputs_.empty())
            throw FFmpegException("At least one input file must be specified");
        TTranscoder(*this).Run();
        finished_ = !stopRequested_;
    } catch (const std::exception& e) {
        failed_ = true;
        errorMessage_ = e.what();
        EngineLog(llQuiet, errorMessage_);
        // Close what was written so far as a playable file where the container allows it.
        for (auto& out : outputs_)
            if (out->HeaderWritten && !out->TrailerWritten) {
                out->TrailerWritten = true;
                if (ff::av_write_trailer(out->Context()) < 0)
                    out->TrailerFailed = true;
            }
    }
    CloseAll();
    return !failed_;
}

bool TCustomFFmpeg::IOTimeoutCheck(void* opaque) {
    auto* job = static_cast<TCustomFFmpeg*>(opaque);
    int64_t start = job->ioClockStart_;
    if (job->IOTimeout <= 0 || start == INT64_MAX)
        return false;
    if (start == 0 || ff::av_gettime() - start > int64_t(job->IOTimeout) * 1000) {
        EngineLog(llInfo, start == 0 ? "connecting/reading/writing canceled" : "connecting/reading/writing timeout");
        return true;
    }
    return false;
}

bool TCustomFFmpeg::StopCheck(void* opaque) { return static_cast<TCustomFFmpeg*>(opaque)->stopRequested_; }

void TCustomFFmpeg::StartIOClock() { ioClockStart_ = ff::av_gettime(); }

void TCustomFFmpeg::StopIOClock() { ioClockStart_ = INT64_MAX; }
