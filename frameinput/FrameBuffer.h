#pragma once
// The frame buffer of one "frameinput" input, made once when the input is opened and reused for
// every frame: a 32-bit frame bitmap for the canvas type, a memory bitmap of the stream's depth
// for the DC and Data types.
//
// Packets always hold the image top row first, which is the order the raw-video decoder expects.
// Both buffers are top-down already, so the copy is one pass in memory order; for the canvas at
// 8, 16 or 24 bits that pass also packs the 32-bit pixels into the stream's depth.

#include "effects/FrameBitmap.h"
#include "frameinput/FrameInputInfo.h"

#include <cstdint>
#include <vector>

class TFrameBuffer {
public:
    // Throws std::bad_alloc when the memory cannot be had.
    TFrameBuffer(TFrameInputType type, int width, int height, int bitsPerPixel, int lineSize);

    TFrameBitmap& Canvas() { return canvas_; }
    TFrameDC& DC() { return dc_; }
    // Pixel memory, top row first: the canvas's for the canvas type, else the memory bitmap's.
    std::uint8_t* Bits();

    // Copies the frame into packet, which holds lineSize x height bytes.
    void CopyTo(std::uint8_t* packet) const;

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
};
