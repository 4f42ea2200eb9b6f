#pragma once
// Frame hook modules: separately built shared libraries that process every decoded picture of a
// job in place. A module exports three C functions by name:
//
//   int  Configure(void** context, int argc, char* argv[]);   0 is success; optional when the
//                                                               module is given no arguments
//   void Process(void* context, TPicture* picture, enum AVPixelFormat pixelFormat,
//                int width, int height, int64_t pts);         required; pts in microseconds; the
//                                                               picture is the decoded one, in the
//                                                               decoder's pixel format and size
//   void Release(void* context);                               optional
//
// argv[0] is the module's path as given, the rest its arguments; the strings stay valid until
// the hook is released, so a module may keep pointers to them. A module is loaded once per
// process (by its path as given) and stays loaded. While a module is loaded and configured, its
// folder is the current one, so Configure may open the module's own files by relative names.

#include "medialib/FormatConverter.h" // TPicture: four planes and their line sizes

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

using TFrameHookConfigure = int (*)(void** context, int argc, char* argv[]);
using TFrameHookProcess = void (*)(void* context, TPicture* picture, AVPixelFormat pixelFormat, int width,
                                   int height, std::int64_t pts);
using TFrameHookRelease = void (*)(void* context);

// One configured hook; a job keeps them in a singly linked list in the order they were added.
struct TFrameHookEntry {
    TFrameHookEntry* Next;
    TFrameHookConfigure Configure;
    TFrameHookProcess Process;
    TFrameHookRelease Release;
    void* Context;
};

// Loads the module argv[0] (or takes it from the cache), configures it with the arguments and
// appends it to the list. 0 on success; -1 when the module cannot be loaded, -2 without
// arguments or without the entry points it needs, -12 out of memory, -22 when Configure refuses.
// The reason goes to the log.
int AddFrameHook(TFrameHookEntry** list, int argc, char* argv[]);
// Runs every hook of the list on the picture, in list order.
void ProcessFrameHooks(TFrameHookEntry* list, TPicture* picture, AVPixelFormat pixelFormat, int width, int height,
                       std::int64_t pts);
// Releases every hook of the list and frees its entries; the list becomes empty.
void ReleaseFrameHooks(TFrameHookEntry** list);

// The hooks of one job: the list and the argument strings its modules were configured with.
class TFrameHooks {
public:
    TFrameHooks() = default;
    ~TFrameHooks() { Release(); }
    TFrameHooks(const TFrameHooks&) = delete;
    TFrameHooks& operator=(const TFrameHooks&) = delete;

    // "path arg1 arg2 ...", split at blanks (at most 63 parts). The result of AddFrameHook.
    int Add(const std::string& moduleAndArguments);
    void Process(TPicture* picture, AVPixelFormat pixelFormat, int width, int height, std::int64_t pts) {
        ProcessFrameHooks(list_, picture, pixelFormat, width, height, pts);
    }
    void Release();
    bool Empty() const { return list_ == nullptr; }

private:
    struct TArguments {
        std::vector<std::string> Texts;
        std::vector<char*> Pointers; // argv: into Texts, ending with a null pointer
    };
    TFrameHookEntry* list_ = nullptr;
    // The arguments of every hook added, kept in place until the hooks are released.
    std::deque<TArguments> arguments_;
};
