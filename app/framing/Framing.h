#pragma once
// How a picture fills the frame.
//   letterbox  fitted whole, aspect kept, black bars where it does not reach
//   blur       fitted the same way, the bars filled by a blurred, darkened copy of the picture
//   fill       scaled to cover the whole frame, centred, what overflows cropped

#include "effects/Region.h"

#include <string>

enum class TFraming { Letterbox, Blur, Fill };

// "letterbox", "blur", "fill".
const char* FramingName(TFraming framing);
// The framing of that name; false when there is none.
bool FindFraming(const std::string& name, TFraming& framing);

// Where the picture of that size lands in the frame: the fit rectangle, or for fill the
// covering rectangle (which may reach beyond the frame on two sides; the same overflow is cut
// from both). An empty picture or frame gives an empty rectangle.
TRect PictureRect(TFraming framing, int pictureWidth, int pictureHeight, int frameWidth, int frameHeight);
// The rectangle of the same aspect as source that covers target, centred.
TRect CoverRect(const TRect& source, const TRect& target);
