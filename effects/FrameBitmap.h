#pragma once
// The off-screen frame bitmap shared by the effects, the slideshow sequencer, the frame input
// and the pixel-format converter: 32 bits per pixel, bytes blue, green, red and a fourth byte
// nothing interprets; rows top-down; stride = width x 4.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class TFrameBitmap {
public:
    TFrameBitmap();
    TFrameBitmap(int width, int height);

    TFrameBitmap(const TFrameBitmap& other);
    TFrameBitmap& operator=(const TFrameBitmap& other);
    TFrameBitmap(TFrameBitmap&& other) noexcept;
    TFrameBitmap& operator=(TFrameBitmap&& other) noexcept;

    // Resizes; the contents become black (all four bytes zero). Negative sizes count as 0.
    void SetSize(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    int Stride() const { return width_ * 4; }
    std::size_t ByteSize() const { return pixels_.size() * 4; }

    std::uint32_t* Pixels() { return pixels_.data(); }
    const std::uint32_t* Pixels() const { return pixels_.data(); }
    std::uint8_t* Bits() { return reinterpret_cast<std::uint8_t*>(pixels_.data()); }
    const std::uint8_t* Bits() const { return reinterpret_cast<const std::uint8_t*>(pixels_.data()); }
    std::uint32_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const std::uint32_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }

    // Pixel value as a little-endian 32-bit word: 0xXXRRGGBB.
    std::uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
    void SetPixel(int x, int y, std::uint32_t value) { Row(y)[x] = value; }
    void Fill(std::uint32_t value);

    // Numeric identity of the bitmap. Effects with stable randomness use the new picture's as
    // their seed (EffectSeed); every bitmap gets a distinct value at construction (a multiple
    // of 4), callers may set their own: the slideshow sets one per transition.
    std::uint32_t Handle() const { return handle_; }
    void SetHandle(std::uint32_t handle) { handle_ = handle; }

    // The canvas lock: re-entrant, held while the bitmap is drawn on or copied from.
    void Lock() const { lock_.lock(); }
    void Unlock() const { lock_.unlock(); }
    bool TryLock() const { return lock_.try_lock(); }
    std::recursive_mutex& CanvasLock() const { return lock_; }

    static constexpr std::uint32_t MakePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::uint32_t handle_;
    mutable std::recursive_mutex lock_;
};

// RAII holder of a canvas lock.
class TCanvasLock {
public:
    explicit TCanvasLock(const TFrameBitmap& bitmap) : bitmap_(bitmap) { bitmap_.Lock(); }
    ~TCanvasLock() { bitmap_.Unlock(); }
    TCanvasLock(const TCanvasLock&) = delete;
    TCanvasLock& operator=(const TCanvasLock&) = delete;

private:
    const TFrameBitmap& bitmap_;
};
