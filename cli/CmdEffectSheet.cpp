// pixaroll-cli effect-sheet: a contact sheet of transition effects, each chosen row drawn at
// the chosen percents between two built-in test pictures, every cell labelled with its row
// number and percent. A quick way to look over the whole catalogue.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ImageFiles.h"
#include "effects/Effects.h"
#include "effects/Primitives.h"
#include "effects/Transition.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct TSheetOptions {
    std::string Out;
    int CellWidth = 160, CellHeight = 120;
    std::vector<int> Rows, Percents = {25, 50, 75};
};

constexpr int MaxCellSide = 4096;
constexpr long long MaxSheetPixels = 200'000'000;
constexpr int SheetWidthGoal = 1920;
constexpr int CellGap = 2, BlockGap = 10, Margin = 6;
constexpr int GlyphScale = 2, LabelHeight = 5 * GlyphScale + 4;
constexpr std::uint32_t Background = 0x202020u, LabelInk = 0xE0E0E0u;

TSheetOptions ReadOptions(const TCommandArgs& args) {
    TSheetOptions o;
    TArgs a(args);
    while (!a.AtEnd()) {
        const std::string opt = a.Next();
        if (opt == "-o")
            o.Out = a.Value(opt);
        else if (opt == "--size")
            ParseSize(a.Value(opt), o.CellWidth, o.CellHeight);
        else if (opt == "--rows")
            o.Rows = ParseIntList(a.Value(opt), opt);
        else if (opt == "--percents")
            o.Percents = ParseIntList(a.Value(opt), opt);
        else
            throw TUnknownOption(opt);
    }
    if (o.Out.empty())
        throw TUsageError("-o SHEET is needed");
    if (o.Rows.empty())
        for (int r = 1; r <= EffectCount; ++r)
            o.Rows.push_back(r);
    for (int r : o.Rows)
        if (r < 1 || r > EffectCount)
            throw TUsageError("--rows: " + std::to_string(r) + " is not a row from 1 to " + std::to_string(EffectCount));
    if (o.Percents.empty())
        throw TUsageError("--percents needs at least one value");
    if (o.CellWidth > MaxCellSide || o.CellHeight > MaxCellSide)
        throw TUsageError("--size: cells are at most " + std::to_string(MaxCellSide) + " pixels a side");
    return o;
}

std::uint32_t Rgb(int r, int g, int b) {
    return TFrameBitmap::MakePixel(std::uint8_t(std::clamp(r, 0, 255)), std::uint8_t(std::clamp(g, 0, 255)),
                                   std::uint8_t(std::clamp(b, 0, 255)));
}

// The outgoing test picture: a warm checkerboard, darker towards the bottom, with a white disc.
TFrameBitmap OldTestPicture(int width, int height) {
    TFrameBitmap bmp(width, height);
    const double radius = 0.25 * std::min(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool light = ((x * 8 / width) + (y * 6 / height)) % 2 == 0;
            const double shade = 1.0 - 0.5 * y / height;
            std::uint32_t px = light ? Rgb(int(235 * shade), int(150 * shade), int(50 * shade))
                                     : Rgb(int(130 * shade), int(40 * shade), int(30 * shade));
            if (std::hypot(x - width / 2.0, y - height / 2.0) < radius)
                px = Rgb(245, 245, 235);
            bmp.SetPixel(x, y, px);
        }
    return bmp;
}

// The incoming test picture: a blue to green ramp from left to right with light diagonal
// stripes and a yellow triangle in the top left quarter pointing right, so that turns and
// mirror images are easy to see.
TFrameBitmap NewTestPicture(int width, int height) {
    TFrameBitmap bmp(width, height);
    const int stripe = std::max(6, std::min(width, height) / 8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            std::uint32_t px = Rgb(int(30 + 10 * u), int(60 + 140 * u), int(210 - 60 * u));
            if ((x + y) % stripe < stripe / 4)
                px = Rgb(200, 225, 245);
            // Triangle with its point at (width * 0.45, height * 0.25), base on x = width * 0.1.
            const double tx = (x - width * 0.1) / (width * 0.35), ty = std::abs(y - height * 0.25) / (height * 0.18);
            if (tx >= 0 && tx <= 1 && ty <= 1 - tx)
                px = Rgb(250, 215, 40);
            bmp.SetPixel(x, y, px);
        }
    return bmp;
}

// Digits and the percent sign, 3 x 5 pixels, one row per byte (bit 2 = left column).
const std::uint8_t* Glyph(char c) {
    static const std::uint8_t digits[10][5] = {
        {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
        {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
    };
    static const std::uint8_t percent[5] = {5, 1, 2, 4, 5};
    static const std::uint8_t minus[5] = {0, 0, 7, 0, 0};
    if (c >= '0' && c <= '9')
        return digits[c - '0'];
    if (c == '-')
        return minus;
    return c == '%' ? percent : nullptr;
}

constexpr int TextWidth(std::size_t chars) { return int(chars) * 4 * GlyphScale; }

// Draws text from (left, top); glyphs that would not fit in width are left out.
void DrawText(TFrameBitmap& sheet, int left, int top, const std::string& text, int width) {
    for (std::size_t i = 0; i < text.size() && TextWidth(i) + 3 * GlyphScale <= width; ++i) {
        const std::uint8_t* g = Glyph(text[i]);
        if (!g)
            continue;
        const int x0 = left + TextWidth(i);
        for (int gy = 0; gy < 5 * GlyphScale; ++gy)
            for (int gx = 0; gx < 3 * GlyphScale; ++gx) {
                const int x = x0 + gx, y = top + gy;
                if ((g[gy / GlyphScale] >> (2 - gx / GlyphScale)) & 1)
                    if (x >= 0 && y >= 0 && x < sheet.Width() && y < sheet.Height())
                        sheet.SetPixel(x, y, LabelInk);
            }
    }
}

} // namespace

int CmdEffectSheet(const TCommandArgs& args) {
    const TSheetOptions o = ReadOptions(args);
    const int cells = int(o.Percents.size());
    const int blockWidth = cells * o.CellWidth + (cells - 1) * CellGap;
    const int blocksPerLine = std::max(1, (SheetWidthGoal - 2 * Margin + BlockGap) / (blockWidth + BlockGap));
    const int lines = (int(o.Rows.size()) + blocksPerLine - 1) / blocksPerLine;
    const int lineHeight = LabelHeight + o.CellHeight + BlockGap;
    const long long sheetWidth = 2LL * Margin + (long long)blocksPerLine * (blockWidth + BlockGap) - BlockGap;
    const long long sheetHeight = 2LL * Margin + (long long)lines * lineHeight - BlockGap;
    if (sheetWidth * sheetHeight > MaxSheetPixels)
        throw TUsageError("the sheet would be " + std::to_string(sheetWidth) + "x" + std::to_string(sheetHeight) +
                          " pixels; choose fewer rows or percents, or smaller cells");

    const TFrameBitmap oldPicture = OldTestPicture(o.CellWidth, o.CellHeight);
    TFrameBitmap newPicture = NewTestPicture(o.CellWidth, o.CellHeight);
    newPicture.SetHandle(0); // the same random patterns on every run
    TFrameBitmap sheet(static_cast<int>(sheetWidth), static_cast<int>(sheetHeight));
    sheet.Fill(Background);
    TFrameBitmap cell(o.CellWidth, o.CellHeight);
    for (std::size_t i = 0; i < o.Rows.size(); ++i) {
        const int left = Margin + int(i % blocksPerLine) * (blockWidth + BlockGap);
        const int top = Margin + int(i / blocksPerLine) * lineHeight;
        for (int c = 0; c < cells; ++c) {
            const int x = left + c * (o.CellWidth + CellGap);
            DrawTransitionFrame(cell, oldPicture, newPicture, o.Rows[i], o.Percents[std::size_t(c)]);
            Copy(sheet, x, top + LabelHeight, o.CellWidth, o.CellHeight, cell, 0, 0);
            DrawText(sheet, x, top + 2,
                     std::to_string(o.Rows[i]) + " " + std::to_string(o.Percents[std::size_t(c)]) + "%", o.CellWidth);
        }
    }
    SaveFrameImage(sheet, o.Out);
    return 0;
}
