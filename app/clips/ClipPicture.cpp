#include "app/clips/ClipPicture.h"

#include "app/framing/BlurBackground.h"
#include "effects/BmpFile.h"

#include <algorithm>

TClipPicture::TClipPicture(int frameWidth, int frameHeight, TFraming framing, int rotation, int displayWidth,
                           int displayHeight)
    : frameWidth_(frameWidth), frameHeight_(frameHeight), framing_(framing), rotation_(rotation) {
    placed_ = PictureRect(framing, displayWidth, displayHeight, frameWidth, frameHeight);
    const int w = placed_.Right - placed_.Left, h = placed_.Bottom - placed_.Top;
    const bool sideways = rotation_ == 90 || rotation_ == 270;
    scaledWidth_ = sideways ? h : w;
    scaledHeight_ = sideways ? w : h;
    direct_ = rotation_ == 0 && placed_.Left >= 0 && placed_.Top >= 0 && placed_.Right <= frameWidth &&
              placed_.Bottom <= frameHeight;
    if (!direct_ && scaledWidth_ > 0 && scaledHeight_ > 0)
        scaled_.resize(std::size_t(scaledWidth_) * std::size_t(scaledHeight_));
}

void TClipPicture::Draw(const AVFrame* picture, TFrameBitmap& frame) {
    frame.Fill(0);
    if (scaledWidth_ <= 0 || scaledHeight_ <= 0)
        return;
    // Bilinear: a frame-size picture from a 4K one is sharp enough and three times cheaper
    // than bicubic on these machines.
    scaler_.reset(ff::sws_getCachedContext(scaler_.release(), picture->width, picture->height,
                                           AVPixelFormat(picture->format), scaledWidth_, scaledHeight_,
                                           AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_)
        throw TPictureError(std::string("Cannot convert a clip picture of the format ") +
                            (ff::av_get_pix_fmt_name(AVPixelFormat(picture->format))
                                 ? ff::av_get_pix_fmt_name(AVPixelFormat(picture->format))
                                 : "(none)"));
    std::uint8_t* planes[4] = {};
    int strides[4] = {};
    if (direct_) {
        planes[0] = reinterpret_cast<std::uint8_t*>(frame.Row(placed_.Top) + placed_.Left);
        strides[0] = frame.Stride();
    } else {
        planes[0] = reinterpret_cast<std::uint8_t*>(scaled_.data());
        strides[0] = scaledWidth_ * 4;
    }
    ff::sws_scale(scaler_.get(), picture->data, picture->linesize, 0, picture->height, planes, strides);
    if (!direct_)
        PlaceTurned(frame);
    if (framing_ == TFraming::Blur)
        DrawBlurredBackground(frame, placed_);
}

void TClipPicture::PlaceTurned(TFrameBitmap& frame) const {
    PlaceTurnedPixels(scaled_.data(), scaledWidth_, scaledHeight_, rotation_, frame, placed_.Left, placed_.Top);
}

void PlaceTurnedPixels(const std::uint32_t* source, int width, int height, int rotation, TFrameBitmap& frame, int left,
                       int top) {
    const bool sideways = rotation == 90 || rotation == 270;
    const int turnedWidth = sideways ? height : width, turnedHeight = sideways ? width : height;
    const int x0 = std::max(left, 0), x1 = std::min(left + turnedWidth, frame.Width());
    const int y0 = std::max(top, 0), y1 = std::min(top + turnedHeight, frame.Height());
    const std::size_t w = std::size_t(width);
    for (int y = y0; y < y1; ++y) {
        std::uint32_t* out = frame.Row(y);
        const int v = y - top; // row of the turned picture
        switch (rotation) {
        case 90: // turned row v is source column v read from the bottom up
            for (int x = x0; x < x1; ++x)
                out[x] = source[std::size_t(height - 1 - (x - left)) * w + std::size_t(v)];
            break;
        case 180:
            for (int x = x0; x < x1; ++x)
                out[x] = source[std::size_t(height - 1 - v) * w + std::size_t(width - 1 - (x - left))];
            break;
        case 270: // turned row v is source column width-1-v read from the top down
            for (int x = x0; x < x1; ++x)
                out[x] = source[std::size_t(x - left) * w + std::size_t(width - 1 - v)];
            break;
        default:
            std::copy(source + std::size_t(v) * w + std::size_t(x0 - left), source + std::size_t(v) * w + std::size_t(x1 - left),
                      out + x0);
            break;
        }
    }
}
