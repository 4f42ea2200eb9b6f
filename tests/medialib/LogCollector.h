#pragma once
// Collects what the single logger delivers, for tests.

#include "medialib/FFLog.h"

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

struct TLogged {
    void* Sender;
    TThreadID Thread;
    TLogLevel Level;
    std::string Msg;
};

class TLogCollector {
public:
    explicit TLogCollector(bool inMainThread = false) {
        ClearLogState();
        GetFFLogger().SetTriggerEventInMainThread(inMainThread);
        GetFFLogger().SetOnLog([this](void* s, TThreadID t, TLogLevel l, const std::string& m) {
            std::lock_guard guard(lock_);
            lines_.push_back({s, t, l, m});
        });
    }
    ~TLogCollector() {
        GetFFLogger().SetOnLog(nullptr);
        GetFFLogger().SetTriggerEventInMainThread(true);
        ClearLogState();
    }
    std::vector<TLogged> Lines() const {
        std::lock_guard guard(lock_);
        return lines_;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const TLogged& l : Lines())
            out.push_back(l.Msg);
        return out;
    }

private:
    mutable std::mutex lock_;
    std::vector<TLogged> lines_;
};

// Calls the FFmpeg log callback as libavutil does, with a variable-argument list.
inline void FFLogPiece(void* context, int level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    TFFLogger::LogCallback(context, level, fmt, args);
    va_end(args);
}
