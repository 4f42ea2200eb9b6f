#include "medialib/FFLoad.h"

#include <dlfcn.h>

#include <filesystem>

namespace {
struct TLibraryItem {
    TAVLibrary LibId;
    const char* BaseName;
    bool FromSystem;
    int Major;
    unsigned (*Version)();
};

unsigned LibcVersion() { return 0; }

// Majors come from the headers the program was built with, so a loaded library always matches
// the ABI of those headers.
const TLibraryItem LibraryItems[AVLibraryCount] = {
    {avcodec, "avcodec", false, LIBAVCODEC_VERSION_MAJOR, [] { return ff::avcodec_version(); }},
    {avcore, "swresample", false, LIBSWRESAMPLE_VERSION_MAJOR, [] { return ff::swresample_version(); }},
    {avdevice, "avdevice", false, LIBAVDEVICE_VERSION_MAJOR, [] { return ff::avdevice_version(); }},
    {avfilter, "avfilter", false, LIBAVFILTER_VERSION_MAJOR, [] { return ff::avfilter_version(); }},
    {avformat, "avformat", false, LIBAVFORMAT_VERSION_MAJOR, [] { return ff::avformat_version(); }},
    {avutil, "avutil", false, LIBAVUTIL_VERSION_MAJOR, [] { return ff::avutil_version(); }},
    {swscale, "swscale", false, LIBSWSCALE_VERSION_MAJOR, [] { return ff::swscale_version(); }},
    {msvcrt, "c", true, 6, LibcVersion},
};

// Dependencies first, so each library finds the copies already loaded.
const TAVLibrary LoadOrder[AVLibraryCount] = {msvcrt, avutil, avcore, swscale, avcodec, avformat, avfilter, avdevice};
} // namespace

TFFLoader::~TFFLoader() { UnloadLibs(AllLibs); }

std::string TFFLoader::LibFileName(TAVLibrary lib) const {
    const TLibraryItem& item = LibraryItems[lib];
    std::string name = std::string("lib") + item.BaseName + ".so";
    if (item.Major >= 0)
        name += "." + std::to_string(item.Major);
    return name;
}

bool TFFLoader::LoadLib(TAVLibrary lib) {
    std::lock_guard guard(lock_);
    if (status_[lib].Bound)
        return true;
    const TLibraryItem& item = LibraryItems[lib];
    std::string file = LibFileName(lib);
    void* handle = nullptr;
    if (!item.FromSystem && !LibraryPath.empty()) {
        std::filesystem::path candidate = std::filesystem::path(LibraryPath) / file;
        if (std::filesystem::exists(candidate))
            handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_GLOBAL);
    }
    if (!handle)
        handle = dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        const char* why = dlerror();
        lastErrMsg_ = "Load library " + file + " error: " + (why ? why : "unknown");
        return false;
    }
    std::string missing;
    if (!ff::BindLibrary(lib, handle, missing)) {
        lastErrMsg_ = "Load function " + missing + "@" + file + " error: " + "undefined symbol";
        dlclose(handle);
        return false;
    }
    if (item.Major >= 0 && !item.FromSystem && int(item.Version() >> 16) != item.Major) {
        lastErrMsg_ = "Library " + file + " has major version " + std::to_string(item.Version() >> 16) +
                      ", the program was built for " + std::to_string(item.Major);
        ff::UnbindLibrary(lib);
        dlclose(handle);
        return false;
    }
    status_[lib] = {handle, true};
    return true;
}

void TFFLoader::UnloadLib(TAVLibrary lib) {
    std::lock_guard guard(lock_);
    if (!status_[lib].Handle)
        return;
    ff::UnbindLibrary(lib);
    dlclose(status_[lib].Handle);
    status_[lib] = {};
}

bool TFFLoader::LoadLibs(TAVLibraries libs) {
    std::lock_guard guard(lock_);
    for (TAVLibrary lib : LoadOrder)
        if ((libs & LibBit(lib)) && !LoadLib(lib))
            return false;
    return true;
}

void TFFLoader::UnloadLibs(TAVLibraries libs) {
    std::lock_guard guard(lock_);
    for (int i = AVLibraryCount - 1; i >= 0; --i)
        if (libs & LibBit(LoadOrder[i]))
            UnloadLib(LoadOrder[i]);
}

bool TFFLoader::LibLoaded(TAVLibrary lib) const {
    std::lock_guard guard(lock_);
    return status_[lib].Bound;
}

bool TFFLoader::LibsLoaded(TAVLibraries libs) const {
    for (int lib = 0; lib < AVLibraryCount; ++lib)
        if ((libs & LibBit(TAVLibrary(lib))) && !LibLoaded(TAVLibrary(lib)))
            return false;
    return true;
}

std::string TFFLoader::LastErrMsg() const {
    std::lock_guard guard(lock_);
    return lastErrMsg_;
}

TFFLoader& FFLoader() {
    static TFFLoader loader;
    return loader;
}
