#include "app/pictures/PictureLoader.h"

#include "app/framing/BlurBackground.h"
#include "app/framing/FitDrawer.h"
#include "app/framing/FitRect.h"
#include "app/pictures/JpegPicture.h"
#include "app/pictures/PngPicture.h"
#include "app/pictures/FileKind.h"
#include "effects/BmpFile.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

bool TPictureLoader::IsBitmapFileName(const std::string& fileName) {
    // The extension starts at the last "." of the file's own name, not of a folder.
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    const std::string ext = fileName.substr(dot);
    if (ext.size() != 4)
        return false;
    const char* bmp = ".bmp";
    for (int i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(ext[i])) != bmp[i])
            return false;
    return true;
}

TPictureLoader::TKind TPictureLoader::KindOf(const std::string& fileName) {
    // The file's first bytes decide; a name's extension only when they are none of the three,
    // so that a bitmap named .bmp gets the bitmap reader's reasons.
    unsigned char head[8] = {};
    std::size_t got = 0;
    if (std::FILE* f = std::fopen(fileName.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    static const unsigned char PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got == 8 && std::memcmp(head, PngSignature, 8) == 0)
        return pkPng;
    if (got >= 2 && head[0] == 'B' && head[1] == 'M')
        return pkBitmap;
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xD8)
        return pkJpeg;
    return IsBitmapFileName(fileName) ? pkBitmap : pkJpeg;
}

void TPictureLoader::Load(const std::string& fileName, TFrameBitmap& frame) {
    TCanvasLock lock(frame);
    const TRect placed = Draw(fileName, frame);
    if (Framing == TFraming::Blur)
        DrawBlurredBackground(frame, placed);
}

TRect TPictureLoader::Draw(const std::string& fileName, TFrameBitmap& frame) {
    TRect placed;
    frame.Fill(0);
    lastReduction_ = 1;
    // Before anything opens it: a named pipe would block the open until something writes to it.
    if (const std::string kind = NotAFileKind(fileName); !kind.empty())
        throw TPictureError("Cannot read picture \"" + fileName + "\": it is " + kind + ", not a file");
    switch (KindOf(fileName)) {
    case pkJpeg:
        lastReduction_ = DrawJpegPicture(fileName, frame, ScaledDecoding, Framing, &placed);
        return placed;
    case pkPng:
        DrawPngPicture(fileName, frame, Framing, &placed);
        return placed;
    case pkBitmap:
        break;
    }
    // Rows are read from the file as the fit needs them: a large bitmap is never held whole.
    TBmpReader picture(fileName);
    const TRect fit = PictureRect(Framing, picture.Width(), picture.Height(), frame.Width(), frame.Height());
    TFitDrawer drawer(frame, picture.Width(), picture.Height(), fit);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(picture.Width()));
    for (int y = drawer.NextRow(); y >= 0; y = drawer.NextRow()) {
        picture.ReadRow(y, row.data());
        drawer.PutRow(row.data());
    }
    return fit;
}
