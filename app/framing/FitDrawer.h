#pragma once
// Nearest-neighbour stretch of a picture into its fit rectangle, fed one source row at a time
// from the top, so a decoder can hand over each row as it comes and keep no whole picture.

#include "effects/FrameBitmap.h"
#include "effects/Region.h"

#include <cstdint>
#include <vector>

class TFitDrawer {
public:
    // pictureWidth x pictureHeight is the picture's full size, on which the sampling is decided.
    // The rows handed over may be reduced by 2^shift in both directions (a decoder's scaled
    // output): full-size column x is then read from column x >> shift, so the geometry is the
    // same as with full-size rows. Pixels outside frame are never written.
    TFitDrawer(TFrameBitmap& frame, int pictureWidth, int pictureHeight, const TRect& fit, int shift = 0);

    // The delivered row (in reduced rows) needed next; -1 when every frame row is drawn.
    int NextRow() const { return cursor_ < rowSource_.size() ? rowSource_[cursor_] : -1; }
    // Width in pixels the delivered rows must have at least.
    int NeededRowWidth() const { return neededWidth_; }

    // Draws row NextRow() into every frame row that samples it.
    void PutRow(const std::uint32_t* row); // 32-bit pixels 0xXXRRGGBB
    void PutRowBgr(const std::uint8_t* row); // three bytes a pixel: blue, green, red

private:
    template <class Sample> void Put(Sample sample);

    TFrameBitmap& frame_;
    int left_ = 0;                       // first frame column drawn
    std::vector<int> columnSource_;      // per drawn column: the delivered column it samples
    int top_ = 0;                        // first frame row drawn
    std::vector<int> rowSource_;         // per drawn row: the delivered row it samples
    std::size_t cursor_ = 0;             // next drawn row
    int neededWidth_ = 0;
};
