#pragma once
// A caption in the default style drawn into a frame: white text with a black outline, centred in
// the lower part of the frame, at about 7 % of the frame's height, wrapped onto up to three
// lines and made smaller (down to 5 % of the height) when it would not fit; what still does not
// fit is cut short with an ellipsis. The glyphs are DejaVu Sans Bold (fonts-dejavu-core) filled
// as outlines, so the window and the command line draw the same pixels whatever font settings
// the desktop has. A run's captions are a layer over its frames (app/captions/CaptionLayer.h).
//
// Drawing needs a QGuiApplication (Qt's font engine). The window has one; EnsureCaptionDrawing
// makes one for the command line (on the offscreen platform) when there is none.

#include "app/show/SlideshowData.h"
#include "effects/FrameBitmap.h"

#include <string>
#include <vector>

// The font file captions are drawn with.
extern const char* const CaptionFontFile;

struct TCaptionLayout {
    int PixelSize = 0;                 // font size in pixels
    std::vector<std::string> Lines;    // the text as drawn, one entry a line
    // The area the caption may change (left/top in, right/bottom out), inside the frame.
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Lines.empty(); }
};

// Makes sure captions can be drawn: a QGuiApplication (created on the offscreen platform when
// there is no application object yet) and the caption font loaded. False with the reason when
// not (a non-graphical application object exists, the font file is missing or unreadable).
// Call on the thread that draws the frames.
bool EnsureCaptionDrawing(std::string& reason);

// Where and how text goes in a frame of this size (EnsureCaptionDrawing first). Blank text has
// no layout.
TCaptionLayout LayoutCaption(const std::string& text, int frameWidth, int frameHeight);

// Draws text into frame; pixels outside the layout's area stay as they are. Throws
// std::runtime_error when captions cannot be drawn (EnsureCaptionDrawing's reason).
void DrawCaption(TFrameBitmap& frame, const std::string& text);

// The text a slide shows: its caption, or when it has none and asks for it, the date the photo
// was taken (empty when the photo records none).
std::string SlideCaptionText(const TSlide& slide);
// True when some slide may show a caption (a title slide's text included).
bool HasCaptions(const TSlideshowData& data);
