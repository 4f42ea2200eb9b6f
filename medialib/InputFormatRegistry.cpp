#include "medialib/InputFormatRegistry.h"

#include <cstring>
#include <list>
#include <mutex>

namespace {
struct TEntry {
    TVirtualInputFormat Format;
    AVInputFormat Descriptor;
};

std::mutex registryLock;
std::list<TEntry>& Registry() { // a list keeps addresses stable
    static std::list<TEntry> entries;
    return entries;
}

TEntry* Find(const std::string& name) {
    for (TEntry& e : Registry())
        if (name == e.Format.Name)
            return &e;
    return nullptr;
}
} // namespace

bool RegisterInputFormatOnce(const TVirtualInputFormat& format) {
    std::lock_guard guard(registryLock);
    if (TEntry* existing = Find(format.Name))
        return existing->Format.ReadHeader == format.ReadHeader &&
               existing->Format.ReadPacket == format.ReadPacket &&
               existing->Format.ReadClose == format.ReadClose;
    TEntry& e = Registry().emplace_back();
    e.Format = format;
    std::memset(&e.Descriptor, 0, sizeof e.Descriptor);
    e.Descriptor.name = format.Name;
    e.Descriptor.long_name = format.LongName;
    e.Descriptor.flags = AVFMT_NOFILE;
    return true;
}

const TVirtualInputFormat* FindVirtualInputFormat(const std::string& name) {
    std::lock_guard guard(registryLock);
    TEntry* e = Find(name);
    return e ? &e->Format : nullptr;
}

const AVInputFormat* VirtualInputDescriptor(const std::string& name) {
    std::lock_guard guard(registryLock);
    TEntry* e = Find(name);
    return e ? &e->Descriptor : nullptr;
}
