#pragma once
// Loads the FFmpeg libraries at run time and binds their functions (see FFApi.h).

#include "medialib/FFApi.h"

#include <cstdint>
#include <mutex>
#include <string>

using TAVLibraries = std::uint8_t; // a set of TAVLibrary values, bit (1 << lib)

constexpr TAVLibraries LibBit(TAVLibrary lib) { return TAVLibraries(1u << lib); }
constexpr TAVLibraries AllLibs = 0xFF;
constexpr TAVLibraries EncoderLibs = AllLibs & ~LibBit(avdevice);

class TFFLoader {
public:
    TFFLoader() = default;
    ~TFFLoader();
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    // Folder searched first; empty: the system search order only.
    std::string LibraryPath;

    bool LoadLibs(TAVLibraries libs);
    void UnloadLibs(TAVLibraries libs = AllLibs);
    bool LibsLoaded(TAVLibraries libs) const;
    bool LoadLib(TAVLibrary lib);
    void UnloadLib(TAVLibrary lib);
    bool LibLoaded(TAVLibrary lib) const;
    std::string LibFileName(TAVLibrary lib) const;
    std::string LastErrMsg() const;

private:
    struct TLibraryStatus {
        void* Handle = nullptr;
        bool Bound = false;
    };
    TLibraryStatus status_[AVLibraryCount];
    std::string lastErrMsg_;
    mutable std::recursive_mutex lock_;
};

// The process-wide loader.
TFFLoader& FFLoader();
