#pragma once
// The frame buffer of one "frameinput" input, made once when the input is opened and reused for
// every frame: a 32-bit frame bitmap for the canvas type, a memory bitmap of the stream's depth
// for the DC and Data types.
//
// Packets always hold the image top row first, which is the order the raw-video decoder expects.
// Both buffers are top-down already, so the copy is one pass in memory order; for the canvas at
// 8, 16 or 24 bits that pass also packs the 32-bit pixels into the stream's depth.
//
// Packet memory comes from a pool of frame-sized buffers: the engine lets go of a frame a few
// frames later and its buffer is used again, instead of a fresh allocation whose pages all fault
// in anew. The buffer of the packet handed out last is kept, so that a frame the handler marks
// as a repeat travels by reference, without a copy and with the same pixel address (the engine
// then knows it has converted that picture already).

#include "effects/FrameBitmap.h"
#include "frameinput/FrameAhead.h"
#include "frameinput/FrameInputInfo.h"

#include <cstdint>
#include <memory>
#include <vector>

class TFrameBuffer {
public:
    // Throws std::bad_alloc when the memory cannot be had.
    TFrameBuffer(TFrameInputType type, int width, int height, int bitsPerPixel, int lineSize);
    // Buffers still held by the engine outlive the pool; they are freed when let go of.
    ~TFrameBuffer();
    TFrameBuffer(const TFrameBuffer&) = delete;
    TFrameBuffer& operator=(const TFrameBuffer&) = delete;

    TFrameBitmap& Canvas() { return canvas_; }
    TFrameDC& DC() { return dc_; }
    // Pixel memory, top row first: the canvas's for the canvas type, else the memory bitmap's.
    std::uint8_t* Bits();

    // Copies the frame into packet, which holds lineSize x height bytes.
    void CopyTo(std::uint8_t* packet) const;

    // A pooled buffer for one packet: frameSize bytes and the zeroed padding the decoders may
    // read past the end. nullptr when the memory cannot be had. Needs libavutil bound.
    AVBufferRef* NewPacketBuffer(int frameSize);
    // Remembers buffer (a new reference) as the one handed out last; nullptr forgets it.
    void SetLastPacket(const AVBufferRef* buffer);
    // The buffer handed out last, or nullptr.
    AVBufferRef* LastPacket() const { return last_; }

    // The thread that draws the next frame ahead; made on first use.
    TFrameAhead& Ahead();
    bool HasAhead() const { return ahead_ != nullptr; }
    // The packet memory of a frame drawn ahead, filled on that thread too (owned reference).
    void SetStaged(AVBufferRef* buffer);
    // Hands the staged buffer over (nullptr when there is none).
    AVBufferRef* TakeStaged();

    // The palette of 8-bit frames: index bits RRRGGGBB, entries 0xAARRGGBB.
    static void FillPalette(std::uint32_t palette[256]);

private:
    void CopyCanvasTo(std::uint8_t* packet) const;

    TFrameInputType type_;
    int bitsPerPixel_;
    int lineSize_;
    TFrameBitmap canvas_;
    std::vector<std::uint8_t> memory_;
    TFrameDC dc_{};
    AVBufferPool* pool_ = nullptr;
    int poolSize_ = 0;
    AVBufferRef* last_ = nullptr;
    AVBufferRef* staged_ = nullptr;
    // Last: a frame drawn ahead on the canvas ends before the canvas goes.
    std::unique_ptr<TFrameAhead> ahead_;
};
