#include "effects/BmpFile.h"

TFrameBitmap LoadBmpFile(const std::string& fileName) {
    throw TPictureError("Cannot read picture \"" + fileName + "\": bitmap reader not built yet");
}

void SaveBmpFile(const TFrameBitmap&, const std::string& fileName) {
    throw TPictureError("Cannot write picture \"" + fileName + "\": bitmap writer not built yet");
}
