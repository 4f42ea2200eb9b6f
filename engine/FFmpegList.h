#pragma once
// The encoder component's ordered list of jobs; it owns them.

#include "engine/FFmpeg.h"

#include <memory>
#include <vector>

class TFFmpegList {
public:
    // Takes the job; returns its index.
    int Add(std::unique_ptr<TFFmpeg> job);
    void Clear() { jobs_.clear(); }
    // Frees the job at that index; later indexes move down by one.
    void Delete(int index);
    TFFmpeg& Get(int index) const { return *jobs_.at(std::size_t(index)); }
    // -1 when the job is not in the list.
    int IndexOf(const TCustomFFmpeg* job) const;
    int Count() const { return int(jobs_.size()); }

private:
    std::vector<std::unique_ptr<TFFmpeg>> jobs_;
};
