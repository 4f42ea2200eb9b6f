#include "frameinput/FrameBuffer.h"

#include <climits>
#include <cstring>

namespace {
using TRowPacker = void (*)(const std::uint32_t* src, std::uint8_t* dst, int width);

void PackRow24(const std::uint32_t* src, std::uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x, dst += 3) {
        std::uint32_t p = src[x];
        dst[0] = std::uint8_t(p);
        dst[1] = std::uint8_t(p >> 8);
        dst[2] = std::uint8_t(p >> 16);
    }
}

void PackRow16(const std::uint32_t* src, std::uint8_t* dst, int width) { // RGB555 little-endian
    for (int x = 0; x < width; ++x, dst += 2) {
        std::uint32_t p = src[x];
        std::uint16_t v = std::uint16_t(((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F));
        dst[0] = std::uint8_t(v);
        dst[1] = std::uint8_t(v >> 8);
    }
}

void PackRow8(const std::uint32_t* src, std::uint8_t* dst, int width) { // RRRGGGBB
    for (int x = 0; x < width; ++x) {
        std::uint32_t p = src[x];
        dst[x] = std::uint8_t(((p >> 16) & 0xE0) | ((p >> 11) & 0x1C) | ((p >> 6) & 0x03));
    }
}

TRowPacker PackerFor(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8: return PackRow8;
    case 16: return PackRow16;
    case 24: return PackRow24;
    default: return nullptr;
    }
}
} // namespace

TFrameBuffer::TFrameBuffer(TFrameInputType type, int width, int height, int bitsPerPixel, int lineSize)
    : type_(type), bitsPerPixel_(bitsPerPixel), lineSize_(lineSize) {
    if (type == itCanvas) {
        canvas_.SetSize(width, height);
        return;
    }
    memory_.assign(std::size_t(lineSize) * height, 0);
    dc_ = TFrameDC{memory_.data(), width, height, bitsPerPixel, lineSize};
}

TFrameBuffer::~TFrameBuffer() {
    ahead_.reset(); // first: a frame drawn ahead fills the buffers below
    ff::av_buffer_unref(&staged_);
    ff::av_buffer_unref(&last_);
    ff::av_buffer_pool_uninit(&pool_);
}

AVBufferRef* TFrameBuffer::NewPacketBuffer(int frameSize) {
    if (frameSize <= 0 || frameSize > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        return nullptr;
    if (!pool_ || poolSize_ != frameSize) {
        ff::av_buffer_pool_uninit(&pool_);
        poolSize_ = frameSize;
        pool_ = ff::av_buffer_pool_init(std::size_t(frameSize) + AV_INPUT_BUFFER_PADDING_SIZE, nullptr);
        if (!pool_)
            return nullptr;
    }
    AVBufferRef* buffer = ff::av_buffer_pool_get(pool_);
    if (buffer)
        std::memset(buffer->data + frameSize, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return buffer;
}

void TFrameBuffer::SetLastPacket(const AVBufferRef* buffer) {
    ff::av_buffer_unref(&last_);
    if (buffer)
        last_ = ff::av_buffer_ref(buffer);
}

TFrameAhead& TFrameBuffer::Ahead() {
    if (!ahead_)
        ahead_ = std::make_unique<TFrameAhead>();
    return *ahead_;
}

void TFrameBuffer::SetStaged(AVBufferRef* buffer) {
    ff::av_buffer_unref(&staged_);
    staged_ = buffer;
}

AVBufferRef* TFrameBuffer::TakeStaged() {
    AVBufferRef* buffer = staged_;
    staged_ = nullptr;
    return buffer;
}

std::uint8_t* TFrameBuffer::Bits() { return type_ == itCanvas ? canvas_.Bits() : memory_.data(); }

void TFrameBuffer::CopyTo(std::uint8_t* packet) const {
    if (type_ == itCanvas)
        CopyCanvasTo(packet);
    else
        std::memcpy(packet, memory_.data(), memory_.size());
}

void TFrameBuffer::CopyCanvasTo(std::uint8_t* packet) const {
    TCanvasLock lock(canvas_);
    int width = canvas_.Width(), height = canvas_.Height();
    TRowPacker pack = PackerFor(bitsPerPixel_);
    if (!pack) { // 32 bits: the packet rows are the canvas rows
        std::memcpy(packet, canvas_.Bits(), canvas_.ByteSize());
        return;
    }
    int packed = width * bitsPerPixel_ / 8;
    for (int y = 0; y < height; ++y, packet += lineSize_) {
        pack(canvas_.Row(y), packet, width);
        std::memset(packet + packed, 0, lineSize_ - packed);
    }
}

void TFrameBuffer::FillPalette(std::uint32_t palette[256]) {
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = (i >> 5) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7, b = (i & 3) * 255 / 3;
        palette[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}
