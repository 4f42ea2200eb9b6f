#include "cli/ImageFiles.h"

#include "effects/BmpFile.h"

#include <QImage>

#include <algorithm>
#include <cctype>

void SaveFrameImage(const TFrameBitmap& bitmap, const std::string& fileName) {
    std::string lower = fileName;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".png") == 0) {
        // The bitmap's byte order (B, G, R, X) is QImage's RGB32 on little-endian machines.
        QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_RGB32);
        if (!image.save(QString::fromStdString(fileName), "PNG"))
            throw TPictureError("Cannot write picture \"" + fileName + "\"");
        return;
    }
    SaveBmpFile(bitmap, fileName);
}
