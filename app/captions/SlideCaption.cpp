#include "app/captions/SlideCaption.h"

#include "app/pictures/PhotoDate.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

const char* const CaptionFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

namespace {
constexpr int MaxLines = 3;
constexpr double LargestSize = 0.07;  // of the frame's height
constexpr double SmallestSize = 0.05;
constexpr double BottomMargin = 0.04;
constexpr double SideMargin = 0.04;   // of the frame's width, each side

QString& FontFamily() {
    static QString family;
    return family;
}

QFont CaptionFont(int pixelSize) {
    QFont font(FontFamily());
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(pixelSize, 1));
    // Outlines as the font file has them: no hinting, no substitution from other fonts.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferOutline));
    font.setKerning(true);
    return font;
}

int OutlineWidth(int pixelSize) { return std::max(2, pixelSize / 8); }

// A word wider than the line is broken between characters.
QStringList WrapWord(const QString& word, const QFontMetricsF& fm, double width) {
    QStringList parts;
    QString part;
    for (QChar c : word) {
        if (!part.isEmpty() && fm.horizontalAdvance(part + c) > width) {
            parts << part;
            part.clear();
        }
        part += c;
    }
    if (!part.isEmpty())
        parts << part;
    return parts;
}

QStringList Wrap(const QString& text, const QFontMetricsF& fm, double width) {
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        for (const QString& word : paragraph.simplified().split(' ', Qt::SkipEmptyParts)) {
            const QString joined = line.isEmpty() ? word : line + ' ' + word;
            if (fm.horizontalAdvance(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.isEmpty())
                lines << line;
            line.clear();
            if (fm.horizontalAdvance(word) <= width) {
                line = word;
            } else {
                QStringList parts = WrapWord(word, fm, width);
                line = parts.takeLast();
                lines << parts;
            }
        }
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}
} // namespace

bool EnsureCaptionDrawing(std::string& reason) {
    if (!QCoreApplication::instance()) {
        // The command line: fonts need a graphical application object; it never shows anything.
        if (!std::getenv("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "pixaroll";
        static char* argv[] = {name, nullptr};
        // Lives as long as the process: fonts and painters may be used until the end.
        new QGuiApplication(argc, argv);
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        reason = "captions need a graphical application object (QGuiApplication)";
        return false;
    }
    if (!FontFamily().isEmpty())
        return true;
    const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(CaptionFontFile));
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        reason = std::string("cannot load the caption font ") + CaptionFontFile + " (package fonts-dejavu-core)";
        return false;
    }
    FontFamily() = families.front();
    return true;
}

TCaptionLayout LayoutCaption(const std::string& text, int frameWidth, int frameHeight) {
    TCaptionLayout layout;
    const QString caption = QString::fromStdString(text).trimmed();
    if (caption.isEmpty() || frameWidth <= 0 || frameHeight <= 0)
        return layout;
    const int largest = std::max(1, int(std::lround(frameHeight * LargestSize)));
    const int smallest = std::max(1, int(std::lround(frameHeight * SmallestSize)));
    const double width = frameWidth * (1 - 2 * SideMargin);
    const double bottom = frameHeight * (1 - BottomMargin);
    QStringList lines;
    int size = largest;
    for (;; --size) {
        QFontMetricsF fm(CaptionFont(size));
        lines = Wrap(caption, fm, width - 2 * OutlineWidth(size));
        const bool fits = lines.size() <= MaxLines && lines.size() * fm.lineSpacing() <= bottom;
        if (fits || size <= smallest) {
            if (!fits) {
                // At the smallest size: as many lines as fit, the last one cut short.
                const int room = std::clamp(int(bottom / fm.lineSpacing()), 1, MaxLines);
                if (lines.size() > room) {
                    QString last = lines[room - 1] + ' ' + lines.mid(room).join(' ');
                    lines = lines.mid(0, room);
                    lines.back() = fm.elidedText(last, Qt::ElideRight, width - 2 * OutlineWidth(size));
                }
            }
            break;
        }
    }
    QFontMetricsF fm(CaptionFont(size));
    double widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int pad = OutlineWidth(size) + 1;
    layout.PixelSize = size;
    for (const QString& line : lines)
        layout.Lines.push_back(line.toStdString());
    layout.Left = std::max(0, int(std::floor((frameWidth - widest) / 2)) - pad);
    layout.Right = std::min(frameWidth, int(std::ceil((frameWidth + widest) / 2)) + pad);
    layout.Bottom = std::min(frameHeight, int(std::ceil(bottom)) + pad);
    layout.Top = std::max(0, int(std::floor(bottom - lines.size() * fm.lineSpacing())) - pad);
    return layout;
}

void DrawCaption(TFrameBitmap& frame, const std::string& text) {
    std::string reason;
    if (!EnsureCaptionDrawing(reason))
        throw std::runtime_error(reason);
    const TCaptionLayout layout = LayoutCaption(text, frame.Width(), frame.Height());
    if (layout.Empty())
        return;
    TCanvasLock lock(frame);
    // The frame's B, G, R, X bytes are Qt's RGB32: the painter draws straight into the frame.
    QImage image(reinterpret_cast<uchar*>(frame.Pixels()), frame.Width(), frame.Height(), frame.Stride(),
                 QImage::Format_RGB32);
    const QFont font = CaptionFont(layout.PixelSize);
    const QFontMetricsF fm(font);
    const double bottom = frame.Height() * (1 - BottomMargin);
    QPainterPath path;
    double baseline = bottom - layout.Lines.size() * fm.lineSpacing() + fm.ascent();
    for (const std::string& line : layout.Lines) {
        const QString q = QString::fromStdString(line);
        path.addText((frame.Width() - fm.horizontalAdvance(q)) / 2, baseline, font, q);
        baseline += fm.lineSpacing();
    }
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipRect(QRect(layout.Left, layout.Top, layout.Right - layout.Left, layout.Bottom - layout.Top));
        painter.strokePath(path, QPen(Qt::black, OutlineWidth(layout.PixelSize), Qt::SolidLine, Qt::RoundCap,
                                      Qt::RoundJoin));
        painter.fillPath(path, Qt::white);
    }
    // The painter writes 0xFF into the unused byte; the frames keep it 0.
    for (int y = layout.Top; y < layout.Bottom; ++y) {
        std::uint32_t* row = frame.Row(y);
        for (int x = layout.Left; x < layout.Right; ++x)
            row[x] &= 0x00FFFFFFu;
    }
}

std::string SlideCaptionText(const TSlide& slide) {
    if (!slide.Caption.empty() || !slide.CaptionDateTaken)
        return slide.Caption;
    return PhotoDateTaken(slide.Picture);
}

bool HasCaptions(const TSlideshowData& data) {
    return std::any_of(data.Slides.begin(), data.Slides.end(),
                       [](const TSlide& s) { return !s.Caption.empty() || s.CaptionDateTaken; });
}
