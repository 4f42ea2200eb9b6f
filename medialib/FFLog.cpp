#include "medialib/FFLog.h"

#include "medialib/FFApi.h"
#include "medialib/MainThread.h"

#include <cinttypes>
#include <cstdio>
#include <stdexcept>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace {
std::atomic<int> avLogLevel{AV_LOG_INFO};

// The single logger. An auto-created one is released at program end by the reaper below.
std::mutex singleLock;
TFFLogger* single = nullptr;

struct TAutoLoggerReaper {
    ~TAutoLoggerReaper() {
        TFFLogger* victim = nullptr;
        {
            std::lock_guard guard(singleLock);
            if (single && single->AutoCreated())
                victim = single;
        }
        delete victim;
    }
} reaper;

// Line assembly shared by all threads: the log lock guards all three.
std::mutex logLock;
std::unordered_map<TThreadID, std::string> pendingLines; // unfinished line per thread
std::string lastMsg;
int repeatCount = 0;
} // namespace

std::string FormatV(const char* fmt, va_list args) {
    auto format = ff::libc::vsnprintf ? ff::libc::vsnprintf : &::vsnprintf;
    char small[2048];
    va_list copy;
    va_copy(copy, args);
    int needed = format(small, sizeof small, fmt, copy);
    va_end(copy);
    if (needed < 0)
        return {};
    if (std::size_t(needed) < sizeof small)
        return std::string(small, std::size_t(needed));
    std::string big(std::size_t(needed) + 1, '\0');
    va_copy(copy, args);
    format(big.data(), big.size(), fmt, copy);
    va_end(copy);
    big.resize(std::size_t(needed));
    return big;
}

namespace {
std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = FormatV(fmt, args);
    va_end(args);
    return text;
}

// Addresses as upper-case hexadecimal digits of the pointer's full width.
std::string Bracket(const char* name, const void* address) {
    return Format("[%s @ %0*" PRIXPTR "]", name ? name : "", int(2 * sizeof(void*)), uintptr_t(address));
}

const char* ItemName(const AVClass* cls, void* object) {
    return cls->item_name ? cls->item_name(object) : cls->class_name;
}

// The parent's bracket (contexts that live inside another, e.g. a codec inside a format) only
// where the class is new enough to carry a parent offset.
std::string ContextPrefix(void* context) {
    if (!context)
        return {};
    const AVClass* cls = *static_cast<const AVClass**>(context);
    if (!cls)
        return {};
    std::string prefix;
    if (cls->version > 0x320F02 && cls->parent_log_context_offset != 0) {
        void* parent = *reinterpret_cast<void**>(static_cast<char*>(context) + cls->parent_log_context_offset);
        if (parent && *static_cast<const AVClass**>(parent)) {
            const AVClass* parentCls = *static_cast<const AVClass**>(parent);
            prefix = Bracket(ItemName(parentCls, parent), parent) + " ";
        }
    }
    // The text follows the prefix after a blank: "[libx264 @ 0x...] ratecontrol...".
    return prefix + Bracket(ItemName(cls, context), context) + " ";
}

struct TLevelName {
    const char* Name;
    int AVLevel;
};
const TLevelName LevelNames[] = {
    {"quiet", -8}, {"panic", 0},    {"fatal", 8},    {"error", 16},
    {"warning", 24}, {"info", 32}, {"verbose", 40}, {"debug", 48},
};

int ParseDecimal(const std::string& text) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw std::invalid_argument("'" + text + "' is not a valid integer value");
    return value;
}
} // namespace

int LogLevelToAV(TLogLevel level) { return (int(level) - 1) * 8; }

TLogLevel AVLevelToLogLevel(int avLevel) {
    int l = avLevel / 8 + 1;
    if (l < llQuiet)
        l = llQuiet;
    if (l > llDebug)
        l = llDebug;
    return TLogLevel(l);
}

int AVLogLevel() { return avLogLevel.load(); }

void ClearLogState() {
    std::lock_guard guard(logLock);
    pendingLines.clear();
    lastMsg.clear();
    repeatCount = 0;
}

TFFLogger::TFFLogger() {
    TFFLogger* autoOne = nullptr;
    {
        std::lock_guard guard(singleLock);
        if (single && single->autoCreated_) {
            autoOne = single;
            single = nullptr;
        }
        if (single)
            throw std::logic_error("Allow creating only one instance of TFFLogger.");
        logLevel_ = AVLevelToLogLevel(avLogLevel.load());
        single = this;
    }
    delete autoOne;
}

TFFLogger::TFFLogger(TAutoCreate) : autoCreated_(true) { logLevel_ = AVLevelToLogLevel(avLogLevel.load()); }

TFFLogger::~TFFLogger() {
    std::lock_guard guard(singleLock);
    if (single == this)
        single = nullptr;
}

TFFLogger& GetFFLogger() {
    std::lock_guard guard(singleLock);
    if (!single)
        single = new TFFLogger(TFFLogger::TAutoCreate{});
    return *single;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
    if (logLevel_.exchange(level) != level)
        ApplyLogLevel();
}

void TFFLogger::SetLogLevelByName(const std::string& text) {
    for (const TLevelName& n : LevelNames)
        if (strcasecmp(text.c_str(), n.Name) == 0) {
            SetLogLevel(AVLevelToLogLevel(n.AVLevel));
            return;
        }
    SetLogLevel(AVLevelToLogLevel(ParseDecimal(text)));
}

void TFFLogger::SetOnLog(TLogEvent handler) {
    std::lock_guard guard(handlerLock_);
    onLog_ = std::move(handler);
}

void TFFLogger::HookLogCallback() {
    if (!ff::av_log_set_callback || !ff::av_log_set_level)
        throw std::logic_error("HookLogCallback: avutil is not bound");
    ff::av_log_set_callback(&TFFLogger::LogCallback);
    ApplyLogLevel();
}

void TFFLogger::ApplyLogLevel() {
    if (!ff::av_log_set_level)
        return;
    avLogLevel = LogLevelToAV(LogLevel());
    ff::av_log_set_level(avLogLevel);
}

namespace {
// Lines held back on this thread by TLogDeferScope, and how deep the scopes nest.
struct TDeferredLine {
    void* Sender;
    TThreadID ThreadId;
    TLogLevel Level;
    std::string Msg;
};
thread_local int deferDepth = 0;
thread_local std::vector<TDeferredLine> deferredLines;
} // namespace

TLogDeferScope::TLogDeferScope() { ++deferDepth; }

TLogDeferScope::~TLogDeferScope() {
    if (--deferDepth > 0)
        return;
    std::vector<TDeferredLine> lines;
    lines.swap(deferredLines);
    TFFLogger& logger = GetFFLogger();
    for (const TDeferredLine& line : lines) {
        try {
            logger.Deliver(line.Sender, line.ThreadId, line.Level, line.Msg);
        } catch (...) {
            // a destructor must not throw; the handler's failure costs only its own line
        }
    }
}

void TFFLogger::Deliver(void* Sender, TThreadID threadId, TLogLevel level, const std::string& msg) {
    TLogEvent handler;
    {
        std::lock_guard guard(handlerLock_);
        handler = onLog_;
    }
    if (!handler)
        return;
    if (TriggerEventInMainThread()) {
        IMainThreadDispatcher* d = MainThreadDispatcher();
        if (deferDepth > 0 && d && !d->IsMainThread()) {
            deferredLines.push_back({Sender, threadId, level, msg});
            return;
        }
        CallInMainThread([&] { handler(Sender, threadId, level, msg); });
    } else {
        handler(Sender, threadId, level, msg);
    }
}

void TFFLogger::Log(void* Sender, TLogLevel level, const std::string& msg) {
    TLogLevel threshold = LogLevel();
    if (level <= threshold || (level == llVerbose && threshold != llQuiet))
        Deliver(Sender, CurrentThreadId(), level, msg);
}

void TFFLogger::LogFmt(void* Sender, TLogLevel level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string msg = FormatV(fmt, args);
    va_end(args);
    Log(Sender, level, msg);
}

namespace {
thread_local TFFErrorCapture* errorCapture = nullptr;
} // namespace

TFFErrorCapture::TFFErrorCapture() : outer_(errorCapture) { errorCapture = this; }

TFFErrorCapture::~TFFErrorCapture() { errorCapture = outer_; }

std::string TFFErrorCapture::Text() const { return text_; }

void TFFLogger::LogCallback(void* context, int level, const char* fmt, va_list args) {
    if (level >= 0)
        level &= 0xFF; // the bits above carry a colour hint for terminals
    TFFErrorCapture* capture = errorCapture;
    if (level > avLogLevel.load() && !(capture && level <= AV_LOG_ERROR))
        return;
    const TThreadID thread = CurrentThreadId();
    const std::string msg = FormatV(fmt, args);
    if (capture && level <= AV_LOG_ERROR) {
        std::string line = msg;
        while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            capture->text_ += (capture->text_.empty() ? "" : "; ") + line;
        if (level > avLogLevel.load())
            return;
    }
    const std::string prefix = ContextPrefix(context);
    std::vector<std::string> lines;
    {
        std::lock_guard guard(logLock);
        std::string& pending = pendingLines[thread];
        std::string piece = pending.empty() ? prefix + msg : msg;
        if (!piece.empty() && piece.back() == '\n' && piece == lastMsg) {
            ++repeatCount;
            if (pending.empty())
                pendingLines.erase(thread);
            return;
        }
        pending += piece;
        if (repeatCount > 0) {
            lines.push_back(Format("    Last message repeated %d times", repeatCount));
            repeatCount = 0;
        }
        lastMsg = piece;
        for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
            lines.push_back(pending.substr(0, eol));
            pending.erase(0, eol + 1);
        }
        if (pending.empty())
            pendingLines.erase(thread);
    }
    TFFLogger& logger = GetFFLogger();
    for (const std::string& line : lines) {
        // This runs inside FFmpeg's C code: an exception from a handler must not unwind through
        // it (that ends the program or leaves the library's state half changed), and one failing
        // line must not cost the lines after it.
        try {
            logger.Deliver(&logger, thread, AVLevelToLogLevel(level), line);
        } catch (...) {
        }
    }
}
