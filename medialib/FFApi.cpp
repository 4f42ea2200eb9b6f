#include "medialib/FFApi.h"

#include <dlfcn.h>

namespace ff {
#define PIXAROLL_FF_DEFINE(name) decltype(&::name) name = nullptr;
PIXAROLL_AVUTIL_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_AVUTIL_OPTIONAL_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_AVCODEC_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_AVFORMAT_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_SWSCALE_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_SWRESAMPLE_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_AVFILTER_FUNCS(PIXAROLL_FF_DEFINE)
PIXAROLL_AVDEVICE_FUNCS(PIXAROLL_FF_DEFINE)
namespace libc {
PIXAROLL_LIBC_FUNCS(PIXAROLL_FF_DEFINE)
}
#undef PIXAROLL_FF_DEFINE

namespace {
template <typename Fn>
bool BindOne(void* module, const char* symbol, Fn& slot, std::string& missing, std::string& why) {
    dlerror(); // a stale text from an earlier call must not be reported for this symbol
    void* address = dlsym(module, symbol);
    if (!address) {
        const char* text = dlerror();
        missing = symbol;
        why = text ? text : "symbol not found";
        return false;
    }
    slot = reinterpret_cast<Fn>(address);
    return true;
}

// An optional symbol: the address when the module has it, else null; never a failure.
template <typename Fn>
void BindOptional(void* module, const char* symbol, Fn& slot) {
    dlerror();
    slot = reinterpret_cast<Fn>(dlsym(module, symbol));
    dlerror();
}
} // namespace

#define PIXAROLL_FF_BIND_OPTIONAL(name) BindOptional(module, #name, ff::name);
#define PIXAROLL_FF_BIND(name) ok = ok && BindOne(module, #name, ff::name, missing, why);
#define PIXAROLL_FF_BIND_LIBC(name) ok = ok && BindOne(module, #name, ff::libc::name, missing, why);
#define PIXAROLL_FF_CLEAR(name) ff::name = nullptr;
#define PIXAROLL_FF_CLEAR_LIBC(name) ff::libc::name = nullptr;

bool BindLibrary(TAVLibrary lib, void* module, std::string& missing) {
    std::string why;
    return BindLibrary(lib, module, missing, why);
}

bool BindLibrary(TAVLibrary lib, void* module, std::string& missing, std::string& why) {
    bool ok = true;
    switch (lib) {
    case avutil:
        PIXAROLL_AVUTIL_FUNCS(PIXAROLL_FF_BIND)
        if (ok)
            PIXAROLL_AVUTIL_OPTIONAL_FUNCS(PIXAROLL_FF_BIND_OPTIONAL)
        break;
    case avcodec: PIXAROLL_AVCODEC_FUNCS(PIXAROLL_FF_BIND) break;
    case avformat: PIXAROLL_AVFORMAT_FUNCS(PIXAROLL_FF_BIND) break;
    case swscale: PIXAROLL_SWSCALE_FUNCS(PIXAROLL_FF_BIND) break;
    case avcore: PIXAROLL_SWRESAMPLE_FUNCS(PIXAROLL_FF_BIND) break;
    case avfilter: PIXAROLL_AVFILTER_FUNCS(PIXAROLL_FF_BIND) break;
    case avdevice: PIXAROLL_AVDEVICE_FUNCS(PIXAROLL_FF_BIND) break;
    case msvcrt: PIXAROLL_LIBC_FUNCS(PIXAROLL_FF_BIND_LIBC) break;
    }
    if (!ok)
        UnbindLibrary(lib);
    return ok;
}

void UnbindLibrary(TAVLibrary lib) {
    switch (lib) {
    case avutil:
        PIXAROLL_AVUTIL_FUNCS(PIXAROLL_FF_CLEAR)
        PIXAROLL_AVUTIL_OPTIONAL_FUNCS(PIXAROLL_FF_CLEAR)
        break;
    case avcodec: PIXAROLL_AVCODEC_FUNCS(PIXAROLL_FF_CLEAR) break;
    case avformat: PIXAROLL_AVFORMAT_FUNCS(PIXAROLL_FF_CLEAR) break;
    case swscale: PIXAROLL_SWSCALE_FUNCS(PIXAROLL_FF_CLEAR) break;
    case avcore: PIXAROLL_SWRESAMPLE_FUNCS(PIXAROLL_FF_CLEAR) break;
    case avfilter: PIXAROLL_AVFILTER_FUNCS(PIXAROLL_FF_CLEAR) break;
    case avdevice: PIXAROLL_AVDEVICE_FUNCS(PIXAROLL_FF_CLEAR) break;
    case msvcrt: PIXAROLL_LIBC_FUNCS(PIXAROLL_FF_CLEAR_LIBC) break;
    }
}
} // namespace ff
