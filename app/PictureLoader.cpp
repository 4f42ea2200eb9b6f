#include "app/PictureLoader.h"

#include "app/FitDrawer.h"
#include "app/FitRect.h"
#include "app/JpegPicture.h"
#include "effects/BmpFile.h"

#include <cctype>

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

void TPictureLoader::Load(const std::string& fileName, TFrameBitmap& frame) {
    TCanvasLock lock(frame);
    frame.Fill(0);
    lastReduction_ = 1;
    if (!IsBitmapFileName(fileName)) {
        lastReduction_ = DrawJpegPicture(fileName, frame, ScaledDecoding);
        return;
    }
    const TFrameBitmap picture = LoadBmpFile(fileName);
    const TRect fit = FitRect(TRect{0, 0, picture.Width(), picture.Height()}, TRect{0, 0, frame.Width(), frame.Height()});
    TFitDrawer drawer(frame, picture.Width(), picture.Height(), fit);
    for (int y = drawer.NextRow(); y >= 0; y = drawer.NextRow())
        drawer.PutRow(picture.Row(y));
}
