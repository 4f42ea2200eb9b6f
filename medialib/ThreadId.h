#pragma once
// The identifier of the calling thread as the system numbers it (the same number tools such as
// top and gdb show), used to tag log lines and to key per-thread registrations.

#include <cstdint>
#include <unistd.h>

using TThreadID = std::uint32_t;

inline TThreadID CurrentThreadId() { return TThreadID(gettid()); }
