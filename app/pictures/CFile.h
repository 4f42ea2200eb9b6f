#pragma once
// A C stdio file owned by a unique_ptr: closed on every path, also when a library call
// inside a picture reader jumps out with an error.
#include <cstdio>
#include <memory>

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

using TCFile = std::unique_ptr<std::FILE, TFileCloser>;
