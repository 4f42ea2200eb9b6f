#include "app/captions/CaptionText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr int MaxLines = 3;
constexpr double SmallestShare = 5.0 / 7; // of the style's size, before the text is cut short
constexpr double SmallestTitleShare = 0.3; // a title may shrink further: it has the frame to itself

QFont CaptionFont(const TCaptionStyle& style, int pixelSize) {
    QFont font(QString::fromStdString(style.Font));
    font.setWeight(style.Bold ? QFont::Bold : QFont::Normal);
    font.setPixelSize(std::max(pixelSize, 1));
    // Outlines as the font files have them, so every desktop draws the same pixels; characters the
    // font lacks come from fontconfig's fallback fonts.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    font.setKerning(true);
    return font;
}

QTextOption Option(const QString& paragraph, QTextOption::WrapMode wrap) {
    QTextOption option;
    option.setWrapMode(wrap);
    option.setTextDirection(paragraph.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    return option;
}

struct TLineText {
    QString Text;
    bool RightToLeft = false;
};

// The lines of text at width, broken where the script allows (a word wider than the line is
// broken inside it, and wordBroken says so).
std::vector<TLineText> Wrap(const QString& text, const QFont& font, double width, bool& wordBroken) {
    wordBroken = false;
    std::vector<TLineText> lines;
    for (const QString& raw : text.split('\n')) {
        const QString paragraph = raw.simplified();
        if (paragraph.isEmpty())
            continue;
        QTextLayout layout(paragraph, font);
        layout.setTextOption(Option(paragraph, QTextOption::WrapAtWordBoundaryOrAnywhere));
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(width, 1.0));
            const int end = line.textStart() + line.textLength();
            wordBroken = wordBroken || (end < paragraph.size() && !paragraph[end - 1].isSpace() && !paragraph[end].isSpace() &&
                                        paragraph[end - 1].isLetterOrNumber() && paragraph[end].isLetterOrNumber());
            const QString part = paragraph.mid(line.textStart(), line.textLength()).trimmed();
            if (!part.isEmpty())
                lines.push_back({part, paragraph.isRightToLeft()});
        }
        layout.endLayout();
    }
    return lines;
}

// One line shaped on its own: its width and glyph runs with the line's left end at x = 0 and
// its baseline at y = 0.
struct TShaped {
    double Width = 0;
    QList<QGlyphRun> Runs;
};

TShaped Shape(const TLineText& line, const QFont& font) {
    QTextLayout layout(line.Text, font);
    QTextOption option = Option(line.Text, QTextOption::NoWrap);
    option.setTextDirection(line.RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine l = layout.createLine();
    l.setLineWidth(1e6);
    l.setPosition(QPointF(0, 0));
    layout.endLayout();
    TShaped shaped;
    shaped.Width = l.naturalTextWidth();
    for (QGlyphRun run : l.glyphRuns()) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions)
            p.ry() -= l.ascent();
        run.setPositions(positions);
        shaped.Runs << run;
    }
    return shaped;
}

QList<QGlyphRun> Moved(QList<QGlyphRun> runs, QPointF by) {
    for (QGlyphRun& run : runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions)
            p += by;
        run.setPositions(positions);
    }
    return runs;
}

QColor Colour(std::uint32_t argb) { return QColor::fromRgba(argb); }

int OutlineWidth(const TCaptionStyle& style, int pixelSize) {
    return style.Outline > 0 ? std::max(2, int(pixelSize * style.Outline)) : 0;
}
} // namespace

TCaptionText MakeCaptionText(const std::string& text, const TCaptionStyle& style, int frameWidth, int frameHeight,
                             double inset) {
    TCaptionText caption;
    const QString all = QString::fromStdString(text).trimmed();
    if (all.isEmpty() || frameWidth <= 0 || frameHeight <= 0)
        return caption;
    const double margin = std::max(style.Margin, inset);
    const double mx = frameWidth * margin, my = frameHeight * margin;
    const int largest = std::max(1, int(std::lround(frameHeight * style.Size)));
    const double floor = inset > 0 ? SmallestTitleShare : SmallestShare;
    const int smallest = std::max(1, int(std::lround(frameHeight * style.Size * floor)));
    const bool boxed = (style.Box >> 24) != 0;
    auto roomAround = [&](int size) {
        const int boxPad = boxed ? int(std::lround(size * 0.25)) : 0;
        const int shadow = style.Shadow > 0 ? std::max(1, int(std::lround(size * style.Shadow))) : 0;
        return std::pair{2 * OutlineWidth(style, size) + 2 * boxPad + shadow, 2 * boxPad + shadow};
    };
    std::vector<TLineText> lines;
    int size = largest;
    for (;; --size) {
        const QFont font = CaptionFont(style, size);
        const QFontMetricsF fm(font);
        const auto [aroundX, aroundY] = roomAround(size);
        const double width = frameWidth - 2 * mx - aroundX, height = frameHeight - 2 * my - aroundY;
        bool wordBroken = false;
        lines = Wrap(all, font, width, wordBroken);
        // Smaller rather than a word broken in two.
        const bool fits = int(lines.size()) <= MaxLines && lines.size() * fm.lineSpacing() <= height && !wordBroken;
        if (fits || size <= smallest) {
            if (!fits) {
                // At the smallest size: as many lines as fit, the last one cut short.
                const int room = std::clamp(int(height / fm.lineSpacing()), 1, MaxLines);
                if (int(lines.size()) > room) {
                    QString last;
                    for (std::size_t i = std::size_t(room) - 1; i < lines.size(); ++i)
                        last += (last.isEmpty() ? "" : " ") + lines[i].Text;
                    const bool rtl = lines[std::size_t(room) - 1].RightToLeft;
                    lines.resize(std::size_t(room));
                    lines.back() = {fm.elidedText(last, Qt::ElideRight, std::max(width, 1.0)), rtl};
                }
            }
            break;
        }
    }
    const QFont font = CaptionFont(style, size);
    const QFontMetricsF fm(font);
    const int outline = OutlineWidth(style, size);
    const int boxPad = boxed ? int(std::lround(size * 0.25)) : 0;
    const int shadow = style.Shadow > 0 ? std::max(1, int(std::lround(size * style.Shadow))) : 0;
    std::vector<TShaped> shaped;
    double blockWidth = 0;
    for (const TLineText& line : lines) {
        shaped.push_back(Shape(line, font));
        blockWidth = std::max(blockWidth, shaped.back().Width);
    }
    const double blockHeight = lines.size() * fm.lineSpacing();
    const int column = int(style.Anchor) % 3, row = int(style.Anchor) / 3;
    const double edgeX = mx + boxPad + outline, edgeY = my + boxPad + outline / 2.0;
    const double x0 = column == 0 ? edgeX : column == 1 ? (frameWidth - blockWidth) / 2 : frameWidth - edgeX - blockWidth - shadow;
    const double y0 = row == 0 ? edgeY : row == 1 ? (frameHeight - blockHeight) / 2 : frameHeight - my - boxPad - shadow - blockHeight;
    QPainterPath path;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double free = blockWidth - shaped[i].Width;
        const double x = x0 + (style.Align == TCaptionAlign::Left ? 0 : style.Align == TCaptionAlign::Center ? free / 2 : free);
        const double baseline = y0 + double(i) * fm.lineSpacing() + fm.ascent();
        TCaptionLine line{lines[i].Text, Moved(shaped[i].Runs, QPointF(x, baseline)), lines[i].RightToLeft};
        for (const QGlyphRun& run : line.Runs) {
            const QRawFont raw = run.rawFont();
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype g = 0; g < glyphs.size(); ++g)
                path.addPath(raw.pathForGlyph(glyphs[g]).translated(positions[g]));
        }
        caption.Lines.push_back(std::move(line));
    }
    caption.PixelSize = size;
    const QRectF block(x0 - boxPad, y0 - boxPad, blockWidth + 2 * boxPad, blockHeight + 2 * boxPad);
    QRectF reach = path.boundingRect().adjusted(-outline / 2.0, -outline / 2.0, outline / 2.0, outline / 2.0);
    reach = reach.united(reach.translated(shadow, shadow));
    if (boxed)
        reach = reach.united(block);
    const QRect area = QRect(QPoint(int(std::floor(reach.left())) - 1, int(std::floor(reach.top())) - 1),
                             QPoint(int(std::ceil(reach.right())), int(std::ceil(reach.bottom()))))
                           .intersected(QRect(0, 0, frameWidth, frameHeight));
    if (area.isEmpty())
        return caption;
    caption.Left = area.left();
    caption.Top = area.top();
    caption.Image = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    caption.Image.fill(Qt::transparent);
    QPainter painter(&caption.Image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-area.left(), -area.top());
    const QPen outlinePen(Colour(style.OutlineColor), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (boxed)
        painter.fillRect(block, Colour(style.Box));
    if (shadow > 0) {
        // Drawn opaque on its own, then laid down at the shadow's alpha: stroke and fill do not
        // add up where they overlap.
        QImage shade(area.size(), QImage::Format_ARGB32_Premultiplied);
        shade.fill(Qt::transparent);
        {
            QPainter p(&shade);
            p.setRenderHint(QPainter::Antialiasing);
            p.translate(shadow - area.left(), shadow - area.top());
            const QColor opaque = Colour(style.ShadowColor | 0xFF000000u);
            if (outline > 0)
                p.strokePath(path, QPen(opaque, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.fillPath(path, opaque);
        }
        painter.setOpacity((style.ShadowColor >> 24) / 255.0);
        painter.drawImage(area.topLeft(), shade);
        painter.setOpacity(1);
    }
    if (outline > 0)
        painter.strokePath(path, outlinePen);
    painter.fillPath(path, Colour(style.Color));
    painter.end();
    caption.Runs.resize(std::size_t(caption.Image.height()));
    for (int y = 0; y < caption.Image.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(caption.Image.constScanLine(y));
        for (int x = 0; x < caption.Image.width();) {
            if ((row[x] >> 24) == 0) {
                ++x;
                continue;
            }
            const int first = x;
            while (x < caption.Image.width() && (row[x] >> 24) != 0)
                ++x;
            caption.Runs[std::size_t(y)].emplace_back(first, x - first);
        }
    }
    return caption;
}

void BlendCaption(TFrameBitmap& frame, const TCaptionText& caption, int opacity) {
    opacity = std::clamp(opacity, 0, 255);
    if (caption.Image.isNull() || opacity == 0)
        return;
    const int x0 = std::max(caption.Left, 0), y0 = std::max(caption.Top, 0);
    const int x1 = std::min(caption.Right(), frame.Width()), y1 = std::min(caption.Bottom(), frame.Height());
    TCanvasLock lock(frame);
    const std::uint32_t f = std::uint32_t(opacity);
    for (int y = y0; y < y1; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(caption.Image.constScanLine(y - caption.Top)) - caption.Left;
        std::uint32_t* dst = frame.Row(y);
        for (const auto& [first, count] : caption.Runs[std::size_t(y - caption.Top)]) {
            const int from = std::max(first + caption.Left, x0), to = std::min(first + caption.Left + count, x1);
            for (int x = from; x < to; ++x) {
                // out = s * f + d * (1 - a * f), with the premultiplied caption and f = opacity / 255.
                const std::uint32_t s = src[x];
                const std::uint32_t keep = 65025 - (s >> 24) * f;
                const std::uint32_t d = dst[x];
                const std::uint32_t b = ((s & 0xFF) * f * 255 + (d & 0xFF) * keep + 32512) / 65025;
                const std::uint32_t g = ((s >> 8 & 0xFF) * f * 255 + (d >> 8 & 0xFF) * keep + 32512) / 65025;
                const std::uint32_t r = ((s >> 16 & 0xFF) * f * 255 + (d >> 16 & 0xFF) * keep + 32512) / 65025;
                dst[x] = r << 16 | g << 8 | b;
            }
        }
    }
}
