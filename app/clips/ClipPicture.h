#pragma once
// One decoded clip picture into a frame: scaled by libswscale straight to the size it takes in
// the frame (B, G, R, X), turned upright, placed by the framing's rules (letterbox, blur, fill)
// on black or on the blurred background.

#include "app/framing/Framing.h"
#include "engine/FFPtr.h"
#include "effects/FrameBitmap.h"

#include <cstdint>
#include <vector>

class TClipPicture {
public:
    // rotation: clockwise turn 0, 90, 180 or 270. displayWidth/Height: the upright shown size.
    TClipPicture(int frameWidth, int frameHeight, TFraming framing, int rotation, int displayWidth, int displayHeight);
    TClipPicture(const TClipPicture&) = delete;
    TClipPicture& operator=(const TClipPicture&) = delete;

    // Draws picture into frame (which has the frame size). Throws TPictureError when the
    // scaler cannot take the picture's format.
    void Draw(const AVFrame* picture, TFrameBitmap& frame);

    // Where the picture lands in the frame (may reach beyond it with fill).
    const TRect& Placed() const { return placed_; }

private:
    // Copies the scaled, not yet turned picture into the frame at placed_, turning it.
    void PlaceTurned(TFrameBitmap& frame) const;

    int frameWidth_, frameHeight_;
    TFraming framing_;
    int rotation_;
    TRect placed_{};
    int scaledWidth_ = 0, scaledHeight_ = 0;  // before the turn
    bool direct_ = false;                    // scaled straight into the frame (no turn, no overflow)
    TSwsPtr scaler_;
    std::vector<std::uint32_t> scaled_;      // the scaled picture when it cannot go straight in
};

// Copies a source of width x height pixels (rows of width pixels), turned clockwise by rotation,
// into frame with its top-left corner at (left, top) of the turned picture, clipped to the frame.
void PlaceTurnedPixels(const std::uint32_t* source, int width, int height, int rotation, TFrameBitmap& frame, int left,
                       int top);
