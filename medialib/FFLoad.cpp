#include "medialib/FFLoad.h"

#include "medialib/CodecLock.h"
#include "medialib/FFLog.h"

#include <algorithm>
#include <vector>

#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>

// Majors come from the headers the program was built with, so a loaded library always matches
// the ABI of those headers. The resampler row keeps its historical place in the enumeration.
const TLibraryItem LibraryItems[AVLibraryCount] = {
    {avcodec, "avcodec", false, LIBAVCODEC_VERSION_MAJOR, "avcodec_version"},
    {avcore, "swresample", false, LIBSWRESAMPLE_VERSION_MAJOR, "swresample_version"},
    {avdevice, "avdevice", false, LIBAVDEVICE_VERSION_MAJOR, "avdevice_version"},
    {avfilter, "avfilter", false, LIBAVFILTER_VERSION_MAJOR, "avfilter_version"},
    {avformat, "avformat", false, LIBAVFORMAT_VERSION_MAJOR, "avformat_version"},
    {avutil, "avutil", false, LIBAVUTIL_VERSION_MAJOR, "avutil_version"},
    {swscale, "swscale", false, LIBSWSCALE_VERSION_MAJOR, "swscale_version"},
    {msvcrt, "c", true, 6, nullptr},
};

namespace {
// Dependencies first: a library's own dependencies then resolve to the copies already loaded
// (the dynamic linker matches them by soname), whichever folder those came from.
const TAVLibrary LoadOrder[AVLibraryCount] = {msvcrt, avutil, avcore, swscale, avcodec, avformat, avfilter, avdevice};

// Under AddressSanitizer the libraries stay mapped after dlclose: plain dlopen and dlclose of the
// distribution's libraries leave start-up allocations of their dependency chain unreachable
// once unmapped, which the leak checker would report against the program. Binding, unbinding
// and rebinding run exactly the same; only the unmapping is left out. ThreadSanitizer is told to
// ignore what happens inside libavcodec and libavutil (see tests/tsan.supp) and stops the program
// when a library it ignores is unloaded, so there too the libraries stay mapped.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int LoadFlags = RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE;
#else
constexpr int LoadFlags = RTLD_NOW | RTLD_GLOBAL;
#endif

std::atomic<bool> shuttingDown{false};
const TFFLoader* processLoader = nullptr; // the instance whose end is the program's end

// The bound functions, the codec lock and the log callback are process-wide, while each loader
// holds its own handles. Per library: the loaders that have it bound, with their handles, and the
// handle the functions are bound from. A loader that lets go unbinds only when it was the last
// holder; when the functions came from its copy, they are bound again from another holder's.
struct THolder {
    const TFFLoader* Loader;
    void* Handle;
};
std::mutex holdersLock;
std::vector<THolder> holders[AVLibraryCount];
void* boundFrom[AVLibraryCount] = {};

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Loads folder + fileName when that file exists, otherwise fileName through the system's search
// order. On failure returns nullptr and the dynamic linker's text in error.
void* LoadLibraryFrom(const std::string& folder, const std::string& fileName, std::string& error) {
    std::string target = fileName;
    if (!folder.empty() && IsRegularFile(folder + fileName))
        target = folder + fileName;
    void* handle = dlopen(target.c_str(), LoadFlags);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "unknown error";
    }
    return handle;
}

std::string VersionText(unsigned v) {
    return std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

void CheckNotEmpty(TAVLibraries libs, const char* operation) {
    if (libs == 0)
        throw std::logic_error(std::string(operation) + ": empty set of libraries");
}
} // namespace

std::string ProgramLibraryFolder() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "LibAV";
    std::string exe(path, std::size_t(n));
    std::size_t slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string() : exe.substr(0, slash + 1)) + "LibAV";
}

TFFLoader::TFFLoader() : LibraryPath(ProgramLibraryFolder()) {}

TFFLoader::~TFFLoader() {
    if (this == processLoader)
        shuttingDown.store(true);
    UnloadLibs(AllLibs);
}

bool LoaderShuttingDown() { return shuttingDown.load(); }

std::string TFFLoader::LibFileName(TAVLibrary lib) const {
    const TLibraryItem& item = LibraryItems[lib];
    std::string name = std::string("lib") + item.BaseName + ".so";
    if (item.Major >= 0) {
        name += '.';
        name += std::to_string(item.Major);
    }
    return name;
}

bool TFFLoader::OpenLibrary(TAVLibrary lib) {
    std::string folder;
    if (!LibraryPath.empty() && !LibraryItems[lib].FromSystem) {
        folder = LibraryPath;
        if (folder.back() != '/')
            folder += '/';
    }
    std::string error;
    status_[lib].Handle = LoadLibraryFrom(folder, LibFileName(lib), error);
    if (!status_[lib].Handle) {
        lastErrMsg_ = "Load library " + folder + LibFileName(lib) + " error: " + error;
        return false;
    }
    return true;
}

// Checks the library's own version against the headers first: binding a library of another
// generation would hand the program functions whose structures it misreads.
bool TFFLoader::BindLoaded(TAVLibrary lib) {
    const TLibraryItem& item = LibraryItems[lib];
    const std::string file = LibFileName(lib);
    if (item.VersionSymbol) {
        dlerror();
        auto version = reinterpret_cast<unsigned (*)()>(dlsym(status_[lib].Handle, item.VersionSymbol));
        if (!version) {
            const char* why = dlerror();
            lastErrMsg_ = std::string("Load function ") + item.VersionSymbol + "@" + file + " error: " +
                          (why ? why : "symbol not found");
            return false;
        }
        unsigned v = version();
        if (int(v >> 16) != item.Major) {
            lastErrMsg_ = "Load library " + LoadedFrom(lib) + " error: version " + VersionText(v) +
                          " does not match major version " + std::to_string(item.Major) +
                          " of the program's headers";
            return false;
        }
    }
    std::string missing, why;
    std::lock_guard guard(holdersLock);
    if (!ff::BindLibrary(lib, status_[lib].Handle, missing, why)) {
        lastErrMsg_ = "Load function " + missing + "@" + file + " error: " + why;
        // The functions may be half bound now: back to another holder's copy, or to none.
        if (!holders[lib].empty() && ff::BindLibrary(lib, holders[lib].back().Handle, missing, why)) {
            boundFrom[lib] = holders[lib].back().Handle;
        } else {
            ff::UnbindLibrary(lib);
            boundFrom[lib] = nullptr;
        }
        return false;
    }
    holders[lib].push_back({this, status_[lib].Handle});
    boundFrom[lib] = status_[lib].Handle;
    return true;
}

// The process-wide callbacks that belong to a library, installed on every successful load
// (also when it was loaded already), as the loader's callers expect.
void TFFLoader::AfterLoad(TAVLibrary lib) {
    switch (lib) {
    case avcodec: RegisterCodecLock(); break;
    case avutil:
        if (HookLog)
            GetFFLogger().HookLogCallback();
        break;
    default: break; // interrupt callback and file protocol are set per format context today
    }
}

bool TFFLoader::LoadLib(TAVLibrary lib) {
    std::lock_guard guard(lock_);
    TLibraryStatus& st = status_[lib];
    if (!st.Handle && !OpenLibrary(lib))
        return false;
    if (!st.Bound)
        st.Bound = BindLoaded(lib);
    if (!st.Bound) {
        UnloadLib(lib);
        return false;
    }
    AfterLoad(lib);
    return true;
}

void TFFLoader::UnloadLib(TAVLibrary lib) {
    std::lock_guard guard(lock_);
    TLibraryStatus& st = status_[lib];
    if (st.Bound) {
        std::lock_guard holdersGuard(holdersLock);
        std::vector<THolder>& held = holders[lib];
        held.erase(std::remove_if(held.begin(), held.end(), [this](const THolder& h) { return h.Loader == this; }),
                   held.end());
        if (held.empty()) {
            if (lib == avcodec)
                UnregisterCodecLock();
            if (lib == avutil && ff::av_log_set_callback)
                ff::av_log_set_callback(ff::av_log_default_callback); // our callback may outlive nothing
            ff::UnbindLibrary(lib);
            boundFrom[lib] = nullptr;
        } else if (boundFrom[lib] == st.Handle && held.back().Handle != st.Handle) {
            // Another loader holds another copy: its functions, before this copy goes away.
            std::string missing, why;
            if (ff::BindLibrary(lib, held.back().Handle, missing, why))
                boundFrom[lib] = held.back().Handle;
        }
        st.Bound = false;
    }
    if (st.Handle) {
        dlclose(st.Handle);
        st.Handle = nullptr;
    }
}

bool TFFLoader::LoadLibs(TAVLibraries libs) {
    CheckNotEmpty(libs, "LoadLibs");
    std::lock_guard guard(lock_);
    for (TAVLibrary lib : LoadOrder)
        if ((libs & LibBit(lib)) && !LoadLib(lib)) {
            UnloadLibs(libs);
            return false;
        }
    return true;
}

void TFFLoader::UnloadLibs(TAVLibraries libs) {
    CheckNotEmpty(libs, "UnloadLibs");
    std::lock_guard guard(lock_);
    for (int i = AVLibraryCount - 1; i >= 0; --i)
        if (libs & LibBit(LoadOrder[i]))
            UnloadLib(LoadOrder[i]);
}

bool TFFLoader::LibLoaded(TAVLibrary lib) const {
    std::lock_guard guard(lock_);
    return status_[lib].Handle && status_[lib].Bound;
}

bool TFFLoader::LibsLoaded(TAVLibraries libs) const {
    CheckNotEmpty(libs, "LibsLoaded");
    for (int lib = 0; lib < AVLibraryCount; ++lib)
        if ((libs & LibBit(TAVLibrary(lib))) && !LibLoaded(TAVLibrary(lib)))
            return false;
    return true;
}

std::string TFFLoader::LastErrMsg() const {
    std::lock_guard guard(lock_);
    return lastErrMsg_;
}

std::string TFFLoader::LoadedFrom(TAVLibrary lib) const {
    std::lock_guard guard(lock_);
    link_map* map = nullptr;
    if (!status_[lib].Handle || dlinfo(status_[lib].Handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return {};
    return map->l_name;
}

std::string TFFLoader::LibVersionText(TAVLibrary lib) const {
    std::lock_guard guard(lock_);
    if (!status_[lib].Handle)
        return {};
    const char* symbol = LibraryItems[lib].VersionSymbol;
    if (!symbol)
        return gnu_get_libc_version();
    auto version = reinterpret_cast<unsigned (*)()>(dlsym(status_[lib].Handle, symbol));
    return version ? VersionText(version()) : std::string();
}

TFFLoader& FFLoader() {
    static TFFLoader loader;
    processLoader = &loader;
    return loader;
}
