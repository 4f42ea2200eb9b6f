#pragma once
// Loads the FFmpeg libraries at run time and binds their functions (see FFApi.h).
//
// One loader per process (FFLoader()). Libraries are looked for first in LibraryPath (by default
// the folder "LibAV" beside the program file) and then through the system's search order. Each
// library's own version is checked against the headers the program was built with before its
// functions are bound, so a copy of another generation is refused with a clear text instead of
// crashing later. Failures are reported by a false result and LastErrMsg().

#include "medialib/FFApi.h"

#include <cstdint>
#include <mutex>
#include <string>

using TAVLibraries = std::uint8_t; // a set of TAVLibrary values, bit (1 << lib)

constexpr TAVLibraries LibBit(TAVLibrary lib) { return TAVLibraries(1u << lib); }
constexpr TAVLibraries AllLibs = 0xFF;
constexpr TAVLibraries EncoderLibs = AllLibs & ~LibBit(avdevice);

// One constant row per library, in TAVLibrary order.
struct TLibraryItem {
    TAVLibrary LibId;
    const char* BaseName;      // file "lib" + BaseName + ".so." + Major
    bool FromSystem;           // always through the system's search order, never from LibraryPath
    int Major;                 // -1: no version in the file name
    const char* VersionSymbol; // the library's own version function, nullptr when it has none
};
extern const TLibraryItem LibraryItems[AVLibraryCount];

// The folder "LibAV" beside the program file (the running executable).
std::string ProgramLibraryFolder();

class TFFLoader {
public:
    TFFLoader();
    ~TFFLoader();
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    // Folder searched first; empty: the system search order only. Starts as ProgramLibraryFolder().
    std::string LibraryPath;
    // When true, binding avutil installs the logger's callback and level.
    bool HookLog = true;

    // Loads and binds every library of the set (dependencies first); on the first failure every
    // library of the set is unloaded again and the result is false. An empty set is a
    // programming error (std::logic_error), also for UnloadLibs and LibsLoaded.
    bool LoadLibs(TAVLibraries libs);
    void UnloadLibs(TAVLibraries libs = AllLibs);
    bool LibsLoaded(TAVLibraries libs) const;
    bool LoadLib(TAVLibrary lib);
    void UnloadLib(TAVLibrary lib);
    bool LibLoaded(TAVLibrary lib) const;
    std::string LibFileName(TAVLibrary lib) const;
    // The text of the last load or bind failure; a later success does not clear it.
    std::string LastErrMsg() const;

    // The full path of the file a loaded library came from; empty when it is not loaded.
    std::string LoadedFrom(TAVLibrary lib) const;
    // The loaded library's own version as "major.minor.micro"; empty when it is not loaded.
    std::string LibVersionText(TAVLibrary lib) const;

private:
    struct TLibraryStatus {
        void* Handle = nullptr;
        bool Bound = false;
    };
    bool OpenLibrary(TAVLibrary lib);
    bool BindLoaded(TAVLibrary lib);
    void AfterLoad(TAVLibrary lib);

    TLibraryStatus status_[AVLibraryCount];
    std::string lastErrMsg_;
    mutable std::recursive_mutex lock_;
};

// The process-wide loader.
TFFLoader& FFLoader();

// True once the process has begun tearing the loader down; the codec lock callback then does
// nothing, so the destroy request sent while unloading cannot touch freed state.
bool LoaderShuttingDown();
