#include "effects/FrameBitmap.h"

#include <algorithm>
#include <atomic>

namespace {
std::uint32_t NextHandle() {
    static std::atomic<std::uint32_t> counter{0x1000};
    return counter.fetch_add(4, std::memory_order_relaxed);
}
} // namespace

TFrameBitmap::TFrameBitmap() : handle_(NextHandle()) {}

TFrameBitmap::TFrameBitmap(int width, int height) : handle_(NextHandle()) { SetSize(width, height); }

TFrameBitmap::TFrameBitmap(const TFrameBitmap& other)
    : width_(other.width_), height_(other.height_), pixels_(other.pixels_), handle_(NextHandle()) {}

TFrameBitmap& TFrameBitmap::operator=(const TFrameBitmap& other) {
    if (this != &other) {
        width_ = other.width_;
        height_ = other.height_;
        pixels_ = other.pixels_;
    }
    return *this;
}

TFrameBitmap::TFrameBitmap(TFrameBitmap&& other) noexcept
    : width_(other.width_), height_(other.height_), pixels_(std::move(other.pixels_)),
      handle_(other.handle_) {
    other.width_ = other.height_ = 0;
    other.pixels_.clear();
}

TFrameBitmap& TFrameBitmap::operator=(TFrameBitmap&& other) noexcept {
    if (this != &other) {
        width_ = other.width_;
        height_ = other.height_;
        pixels_ = std::move(other.pixels_);
        other.width_ = other.height_ = 0;
        other.pixels_.clear();
    }
    return *this;
}

void TFrameBitmap::SetSize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0u);
}

void TFrameBitmap::Fill(std::uint32_t value) { std::fill(pixels_.begin(), pixels_.end(), value); }
