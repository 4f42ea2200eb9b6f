#include "app/captions/SlideCaption.h"

#include "app/pictures/PhotoDate.h"
#include "app/captions/CaptionText.h"

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
QString& FontFamily() {
    static QString family;
    return family;
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
    const TCaptionText caption = MakeCaptionText(text, TCaptionStyle(), frameWidth, frameHeight);
    if (caption.Empty())
        return layout;
    layout.PixelSize = caption.PixelSize;
    for (const TCaptionLine& line : caption.Lines)
        layout.Lines.push_back(line.Text.toStdString());
    layout.Left = caption.Left;
    layout.Top = caption.Top;
    layout.Right = caption.Right();
    layout.Bottom = caption.Bottom();
    return layout;
}

void DrawCaption(TFrameBitmap& frame, const std::string& text) {
    std::string reason;
    if (!EnsureCaptionDrawing(reason))
        throw std::runtime_error(reason);
    BlendCaption(frame, MakeCaptionText(text, TCaptionStyle(), frame.Width(), frame.Height()), 255);
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
