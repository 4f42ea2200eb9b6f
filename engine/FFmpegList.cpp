#include "engine/FFmpegList.h"

#include <stdexcept>

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> job) {
    jobs_.push_back(std::move(job));
    return int(jobs_.size()) - 1;
}

void TFFmpegList::Delete(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("job index out of range");
    jobs_.erase(jobs_.begin() + index);
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* job) const {
    for (std::size_t i = 0; i < jobs_.size(); ++i)
        if (jobs_[i].get() == job)
            return int(i);
    return -1;
}
