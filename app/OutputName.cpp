#include "app/OutputName.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// Any entry of that name counts, a symbolic link to nowhere included: writing through it would
// put the video somewhere else than the name says.
bool Taken(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(name, ec));
}
} // namespace

bool EnsureOutputFolder(const std::string& folder) {
    std::string reason;
    return EnsureOutputFolder(folder, reason);
}

bool EnsureOutputFolder(const std::string& folder, std::string& reason) {
    std::error_code made, checked;
    fs::create_directories(folder, made);
    if (fs::is_directory(folder, checked))
        return true;
    reason = made ? made.message() : fs::exists(folder, checked) ? "it is a file, not a folder" : "it was not created";
    return false;
}

std::string UniqueOutputName(const std::string& folder, const std::string& baseName,
                             const std::string& extension) {
    std::string dir = folder;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    std::string stem = dir + fs::path(baseName).stem().string();
    // "slideshow-" has no extension; stem() of a name ending in "." or ".." needs no care here.
    std::string candidate = stem + "_(new)" + extension;
    for (int n = 1; Taken(candidate); ++n)
        candidate = stem + "_(new_" + std::to_string(n) + ")" + extension;
    return candidate;
}
