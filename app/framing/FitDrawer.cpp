#include "app/framing/FitDrawer.h"

#include <algorithm>
#include <cstring>

namespace {
// Frame positions first..last-1 (clipped to 0..limit-1) of a fit span [fitFrom, fitTo) sampling
// a source of sourceSize pixels at the centre of each target pixel.
std::vector<int> SampleMap(int fitFrom, int fitTo, int limit, int sourceSize, int shift, int& first) {
    std::vector<int> map;
    const std::int64_t span = fitTo - fitFrom;
    first = std::max(fitFrom, 0);
    const int last = std::min(fitTo, limit);
    if (span <= 0 || last <= first)
        return map;
    map.reserve(static_cast<std::size_t>(last - first));
    for (int t = first; t < last; ++t) {
        const std::int64_t d = t - fitFrom;
        const std::int64_t s = ((2 * d + 1) * sourceSize) / (2 * span);
        map.push_back(static_cast<int>(s) >> shift);
    }
    return map;
}
} // namespace

TFitDrawer::TFitDrawer(TFrameBitmap& frame, int pictureWidth, int pictureHeight, const TRect& fit, int shift)
    : frame_(frame) {
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return;
    columnSource_ = SampleMap(fit.Left, fit.Right, frame.Width(), pictureWidth, shift, left_);
    if (columnSource_.empty())
        return;
    rowSource_ = SampleMap(fit.Top, fit.Bottom, frame.Height(), pictureHeight, shift, top_);
    neededWidth_ = columnSource_.back() + 1;
}

template <class Sample> void TFitDrawer::Put(Sample sample) {
    if (cursor_ >= rowSource_.size())
        return;
    const int source = rowSource_[cursor_];
    std::uint32_t* first = frame_.Row(top_ + static_cast<int>(cursor_)) + left_;
    for (std::size_t x = 0; x < columnSource_.size(); ++x)
        first[x] = sample(columnSource_[x]);
    // Enlarging pictures sample one row several times: the first drawn row is copied on.
    const std::size_t bytes = columnSource_.size() * sizeof(std::uint32_t);
    for (++cursor_; cursor_ < rowSource_.size() && rowSource_[cursor_] == source; ++cursor_)
        std::memcpy(frame_.Row(top_ + static_cast<int>(cursor_)) + left_, first, bytes);
}

void TFitDrawer::PutRow(const std::uint32_t* row) {
    Put([row](int x) { return row[x]; });
}

void TFitDrawer::PutRowBgr(const std::uint8_t* row) {
    Put([row](int x) {
        const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
        return TFrameBitmap::MakePixel(p[2], p[1], p[0]);
    });
}
