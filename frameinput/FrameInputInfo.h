#pragma once
// The per-input context of the "frameinput" format, handed to every frame event.
//
// The engine allocates it zero-filled as the format context's private data and frees it with
// av_free, so it must stay a plain record: no constructors, destructors or owning members that
// need them. The frame buffer it owns (Buffer) is released by the read-close routine.

#include "medialib/FFApi.h"

#include <cstdint>

class TFrameBitmap;
class TFrameBuffer;
class TFrameInputAdapter;

enum TFrameInputType : std::uint8_t {
    itYUV = 0,    // the handler writes the frame straight into the packet
    itDC = 1,     // the handler draws into a memory bitmap described by TFrameDC
    itData = 2,   // the handler writes pixels into the frame buffer's memory
    itCanvas = 3, // the handler draws on a 32-bit frame bitmap
};

// The memory bitmap the DC event draws into: rows top-down, LineSize bytes apart, pixels of
// BitsPerPixel bits in the layout of the stream's pixel format.
struct TFrameDC {
    std::uint8_t* Bits;
    int Width;
    int Height;
    int BitsPerPixel;
    int LineSize;
};

struct TInputFrameInfo {
    std::int64_t PTS;      // microseconds; a handler may move it forward
    std::int64_t LastPTS;  // time stamp of the previous packet, AV_NOPTS_VALUE before the first
    std::int32_t FrameNumber; // 1 while the first frame is read
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t BitsPerPixel;
    std::int32_t LineSize;  // bytes per packet row, padded to a multiple of 32 bits
    std::int32_t FrameSize; // bytes per frame, the size of every packet
    std::int32_t PixelFormat; // AVPixelFormat of the stream
    TFrameInputType InputType;
    std::uint8_t* Bits;     // the frame buffer's pixel memory, top row first (bitmap types)
    TFrameBitmap* Canvas;   // the frame bitmap (canvas type)
    TFrameDC* DC;           // the memory bitmap (DC type)
    AVPacket* Packet;       // the packet being filled by the current read
    AVRational TimeBase;    // duration of one frame (frame rate 30/1 gives 1/30)
    std::int64_t Clock;     // frames read so far times 1,000,000
    std::int32_t AdapterId; // identity of the adapter named in the parameter string
    TFrameInputAdapter* Adapter; // resolved from AdapterId at every read
    TFrameBuffer* Buffer;   // owned; released by read close
    // Cleared before every frame event of the bitmap types. A handler that drew nothing new sets
    // it to 1: the frame is the previous one again and its packet shares the previous packet's
    // pixels instead of copying the buffer (the first frame has no previous one and is copied).
    std::int32_t Repeat;
    // Repeated frames left out (parameter "keyspan"): the span in microseconds (0: none are),
    // the time stamp of the last packet delivered, of the last repeat left out since then
    // (AV_NOPTS_VALUE: none), and the read's result once the frames have ended (0 before).
    std::int64_t KeySpan;
    std::int64_t DeliveredPTS;
    std::int64_t LeftOutPTS;
    std::int32_t EndResult;
};
using PInputFrameInfo = TInputFrameInfo*;
