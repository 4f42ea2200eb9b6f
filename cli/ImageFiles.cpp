#include "cli/ImageFiles.h"

#include "effects/BmpFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
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
        // Encoded in memory first, so that a failed write has the system's reason (errno).
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            throw TPictureError("Cannot write picture \"" + fileName + "\": the PNG encoder failed");
        std::FILE* file = std::fopen(fileName.c_str(), "wb");
        if (!file)
            throw TPictureError("Cannot write picture \"" + fileName + "\": " + std::strerror(errno));
        bool ok = std::fwrite(encoded.constData(), 1, std::size_t(encoded.size()), file) == std::size_t(encoded.size());
        int error = errno;
        if (std::fclose(file) != 0 && ok) {
            ok = false;
            error = errno;
        }
        // A picture cut short (a full disk) is no picture: it is removed, as a bitmap is.
        if (!ok) {
            std::remove(fileName.c_str());
            throw TPictureError("Cannot write picture \"" + fileName + "\": " + std::strerror(error));
        }
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
