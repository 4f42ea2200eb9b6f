#include "medialib/FrameHook.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>
#include <utility>

namespace {
// Modules loaded so far, by their path exactly as given. They are never unloaded: a module may
// have handed out pointers (static texts, callbacks) that outlive its hooks.
struct TModuleCache {
    std::mutex Lock;
    std::vector<std::pair<std::string, void*>> Modules;
};

TModuleCache& ModuleCache() {
    static TModuleCache* cache = new TModuleCache; // lives until the process ends
    return *cache;
}

// A plain file name means a module in the current folder when one is there (as a user who
// types "-vhook invert.so" expects); dlopen alone would only search the system's folders.
std::string LoadPath(const std::string& path) {
    if (path.find('/') == std::string::npos && access(path.c_str(), F_OK) == 0)
        return "./" + path;
    return path;
}

// The module's handle, loading it on first use; nullptr with the reason logged.
void* ModuleHandle(const char* path) {
    TModuleCache& cache = ModuleCache();
    std::lock_guard<std::mutex> guard(cache.Lock);
    for (const auto& [name, handle] : cache.Modules)
        if (name == path)
            return handle;
    // RTLD_LOCAL keeps the modules' own symbols (every one exports "Process") apart; their
    // dependencies resolve through the module's own search path (its RUNPATH, e.g. $ORIGIN).
    void* handle = dlopen(LoadPath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", why ? why : path);
        return nullptr;
    }
    cache.Modules.emplace_back(path, handle);
    return handle;
}

template <class TFunction>
TFunction Entry(void* module, const char* name) {
    return reinterpret_cast<TFunction>(dlsym(module, name));
}
} // namespace

int AddFrameHook(TFrameHookEntry** list, int argc, char* argv[]) {
    if (argc <= 0 || !argv || !argv[0])
        return -2;
    void* module = ModuleHandle(argv[0]);
    if (!module)
        return -1;
    auto* entry = static_cast<TFrameHookEntry*>(ff::av_mallocz(sizeof(TFrameHookEntry)));
    if (!entry)
        return AVERROR(ENOMEM);
    entry->Configure = Entry<TFrameHookConfigure>(module, "Configure");
    entry->Process = Entry<TFrameHookProcess>(module, "Process");
    entry->Release = Entry<TFrameHookRelease>(module, "Release");
    int result = 0;
    if (!entry->Process) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n", argv[0]);
        result = -2;
    } else if (!entry->Configure && argc > 1) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n", argv[0]);
        result = -2;
    } else if (entry->Configure && entry->Configure(&entry->Context, argc, argv) != 0) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", argv[0]);
        result = AVERROR(EINVAL);
    }
    if (result != 0) {
        ff::av_free(entry);
        return result;
    }
    TFrameHookEntry** tail = list;
    while (*tail)
        tail = &(*tail)->Next;
    *tail = entry;
    return 0;
}

void ProcessFrameHooks(TFrameHookEntry* list, TPicture* picture, AVPixelFormat pixelFormat, int width, int height,
                       std::int64_t pts) {
    for (TFrameHookEntry* entry = list; entry; entry = entry->Next)
        entry->Process(entry->Context, picture, pixelFormat, width, height, pts);
}

void ReleaseFrameHooks(TFrameHookEntry** list) {
    TFrameHookEntry* entry = *list;
    *list = nullptr;
    while (entry) {
        TFrameHookEntry* next = entry->Next;
        if (entry->Release)
            entry->Release(entry->Context);
        ff::av_free(entry);
        entry = next;
    }
}

int TFrameHooks::Add(const std::string& moduleAndArguments) {
    constexpr std::size_t MaxParts = 63;
    TArguments& args = arguments_.emplace_back();
    std::size_t pos = 0;
    while (args.Texts.size() < MaxParts) {
        pos = moduleAndArguments.find_first_not_of(' ', pos);
        if (pos == std::string::npos)
            break;
        std::size_t end = moduleAndArguments.find(' ', pos);
        args.Texts.push_back(moduleAndArguments.substr(pos, end - pos));
        pos = end;
    }
    for (std::string& text : args.Texts)
        args.Pointers.push_back(text.data());
    args.Pointers.push_back(nullptr);
    int result = AddFrameHook(&list_, int(args.Texts.size()), args.Pointers.data());
    if (result != 0)
        arguments_.pop_back();
    return result;
}

void TFrameHooks::Release() {
    ReleaseFrameHooks(&list_);
    arguments_.clear();
}
