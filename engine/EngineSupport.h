#pragma once
// Small services the engine takes from the media-library layer: log lines at the engine's
// levels, error texts for FFmpeg codes and the codec lock. Kept together so that the engine
// has one place to switch when that layer grows its own logger and error table.

#include "medialib/FFApi.h"

#include <mutex>
#include <string>

enum TEngineLogLevel {
    elQuiet = AV_LOG_QUIET,
    elPanic = AV_LOG_PANIC,
    elFatal = AV_LOG_FATAL,
    elError = AV_LOG_ERROR,
    elWarning = AV_LOG_WARNING,
    elInfo = AV_LOG_INFO,
    elVerbose = AV_LOG_VERBOSE,
    elDebug = AV_LOG_DEBUG,
};

// One log line (no trailing line feed needed) through FFmpeg's log, so that whatever logger the
// program installed receives engine lines and library lines alike.
void EngineLog(TEngineLogLevel level, const std::string& text);

// fileName + ": " + the text of an FFmpeg error code.
std::string ErrorText(const std::string& fileName, int code);

// Serialises codec opening and closing across jobs.
std::mutex& CodecLock();
