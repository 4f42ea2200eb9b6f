#include "app/clips/ClipError.h"

std::string ClipErrorText(const std::string& fileName, const std::string& reason) {
    return "Cannot play clip \"" + fileName + "\": " + reason;
}
