#include "medialib/FrameHook.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

// The module's handle, loading it from loadPath on first use; nullptr with the reason logged.
// The cache knows it by its path as given.
void* ModuleHandle(const char* path, const std::string& loadPath) {
    TModuleCache& cache = ModuleCache();
    std::lock_guard<std::mutex> guard(cache.Lock);
    for (const auto& [name, handle] : cache.Modules)
        if (name == path)
            return handle;
    // RTLD_LOCAL keeps the modules' own symbols (every one exports "Process") apart; their
    // dependencies resolve through the module's own search path (its RUNPATH, e.g. $ORIGIN).
    void* handle = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", why ? why : path);
        return nullptr;
    }
    cache.Modules.emplace_back(path, handle);
    return handle;
}

// The current folder belongs to the whole process, so two jobs that set up hooks at the same time
// would otherwise make each other's module folder current in the middle of a Configure. Every
// change of it here happens under this lock, from the change to the restore.
std::mutex& ModuleFolderLock() {
    static std::mutex* lock = new std::mutex; // lives until the process ends
    return *lock;
}

// The module's path made absolute against the current folder, so that it still names the same
// file once the module's folder is current.
std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/')
        return path;
    std::string folder(4096, '\0');
    while (!getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE)
            return path;
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return folder + "/" + path;
}

// While it lives, the folder of a module is the current one (a module may open its own files by
// relative names in Configure); the folder that was current before comes back when it ends, on
// every way out of AddFrameHook.
class TModuleFolder {
public:
    explicit TModuleFolder(const std::string& folder) {
        if (folder.empty())
            return;
        // By a descriptor rather than a name: the previous folder comes back even when its path
        // is too long for getcwd or has been renamed meanwhile.
        previous_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (previous_ < 0) {
            ff::av_log(nullptr, AV_LOG_WARNING, "Cannot remember the current folder: %s\n", std::strerror(errno));
            return;
        }
        if (chdir(folder.c_str()) != 0) {
            ff::av_log(nullptr, AV_LOG_WARNING, "Cannot change to folder %s: %s\n", folder.c_str(),
                       std::strerror(errno));
            close(previous_);
            previous_ = -1;
        }
    }
    ~TModuleFolder() {
        if (previous_ < 0)
            return;
        if (fchdir(previous_) != 0)
            ff::av_log(nullptr, AV_LOG_ERROR, "Cannot return to the previous current folder: %s\n",
                       std::strerror(errno));
        close(previous_);
    }
    TModuleFolder(const TModuleFolder&) = delete;
    TModuleFolder& operator=(const TModuleFolder&) = delete;

private:
    int previous_ = -1;
};

template <class TFunction>
TFunction Entry(void* module, const char* name) {
    return reinterpret_cast<TFunction>(dlsym(module, name));
}
} // namespace

int AddFrameHook(TFrameHookEntry** list, int argc, char* argv[]) {
    if (argc <= 0 || !argv || !argv[0])
        return -2;
    const std::string path = argv[0];
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    std::lock_guard<std::mutex> folderGuard(ModuleFolderLock());
    const std::string loadPath = folder.empty() ? LoadPath(path) : AbsolutePath(path);
    TModuleFolder current(folder);
    void* module = ModuleHandle(argv[0], loadPath);
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
