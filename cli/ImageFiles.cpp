#include "cli/ImageFiles.h"

#include "effects/BmpFile.h"

#include <QImage>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
}
} // namespace

void SaveFrameImage(const TFrameBitmap& bitmap, const std::string& fileName) {
    if (EndsWithIgnoringCase(fileName, ".png")) {
        // The bitmap's byte order (B, G, R, X) is QImage's RGB32 on little-endian machines.
        QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_RGB32);
        if (!image.save(QString::fromStdString(fileName), "PNG"))
            throw TPictureError("Cannot write picture \"" + fileName + "\"");
        return;
    }
    SaveBmpFile(bitmap, fileName);
}

TFrameBitmap LoadFrameImage(const std::string& fileName) {
    if (EndsWithIgnoringCase(fileName, ".bmp"))
        return LoadBmpFile(fileName);
    QImage image;
    if (!image.load(QString::fromStdString(fileName)))
        throw TPictureError("Cannot read picture \"" + fileName + "\": not a picture file the program can read");
    image = image.convertToFormat(QImage::Format_RGB32);
    TFrameBitmap bitmap(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.Row(y), image.constScanLine(y), std::size_t(bitmap.Stride()));
    return bitmap;
}
