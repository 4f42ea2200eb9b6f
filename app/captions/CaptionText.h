#pragma once
// A caption made ready for one frame size: its text shaped and laid out by Qt's text layout
// (HarfBuzz shapes each script, right-to-left paragraphs run right to left, lines break at the
// word boundaries of their script, characters the chosen font lacks come from fontconfig's
// fallback fonts), then drawn once with its style into a picture with an alpha channel that the
// caption layer blends onto frames.
//
// The text is made as large as the style says and smaller (down to five sevenths of that, a
// title's down to three tenths) when it would take more than three lines, more height than the
// frame has or a word broken in two; what still does not fit is cut short with an ellipsis.
//
// Drawing needs a QGuiApplication (EnsureCaptionDrawing in app/SlideCaption.h).

#include "app/show/CaptionStyle.h"
#include "effects/FrameBitmap.h"

#include <QGlyphRun>
#include <QImage>
#include <QString>

#include <string>
#include <vector>

// One line of a laid-out caption: its text and the glyph runs Qt's layout made of it, placed in
// frame coordinates (baseline positions).
struct TCaptionLine {
    QString Text;
    QList<QGlyphRun> Runs;
    bool RightToLeft = false;
};

struct TCaptionText {
    int PixelSize = 0;
    std::vector<TCaptionLine> Lines;
    // The caption's pixels: premultiplied ARGB, its top-left at (Left, Top) of the frame. The
    // image covers every pixel the caption may change, with a pixel of room around it.
    QImage Image;
    int Left = 0, Top = 0;
    // Per row of the image, the runs of pixels the caption covers (first column, count): the
    // blending visits those only.
    std::vector<std::vector<std::pair<int, int>>> Runs;
    bool Empty() const { return Lines.empty(); }
    int Right() const { return Left + Image.width(); }
    int Bottom() const { return Top + Image.height(); }
};

// Lays out and draws text in style for a frame of this size. Blank text gives an empty caption.
// inset widens the margins to at least that share of the frame's width and height (a title's
// safe area).
TCaptionText MakeCaptionText(const std::string& text, const TCaptionStyle& style, int frameWidth, int frameHeight,
                             double inset = 0);

// Blends caption onto frame at opacity 0..255 (255: as drawn); pixels outside the caption's
// image stay as they are.
void BlendCaption(TFrameBitmap& frame, const TCaptionText& caption, int opacity);
