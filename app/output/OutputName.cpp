#include "app/output/OutputName.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

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

namespace {
std::string OutputStem(const std::string& folder, const std::string& baseName) {
    std::string dir = folder;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    // "slideshow-" has no extension; stem() of a name ending in "." or ".." needs no care here.
    return dir + fs::path(baseName).stem().string();
}

std::string Candidate(const std::string& stem, int n, const std::string& extension) {
    return n == 0 ? stem + "_(new)" + extension : stem + "_(new_" + std::to_string(n) + ")" + extension;
}
} // namespace

std::string UniqueOutputName(const std::string& folder, const std::string& baseName,
                             const std::string& extension) {
    const std::string stem = OutputStem(folder, baseName);
    int n = 0;
    while (Taken(Candidate(stem, n, extension)))
        ++n;
    return Candidate(stem, n, extension);
}

std::string ClaimOutputName(const std::string& folder, const std::string& baseName, const std::string& extension,
                            bool& claimed, std::string& reason) {
    claimed = false;
    const std::string stem = OutputStem(folder, baseName);
    // Start at the first free name; a name another job creates in the meantime fails the
    // exclusive create (a link, dangling or not, fails it too) and the next number is tried.
    for (int n = 0;; ++n) {
        const std::string candidate = Candidate(stem, n, extension);
        if (Taken(candidate))
            continue;
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            claimed = true;
            return candidate;
        }
        if (errno != EEXIST) {
            reason = std::strerror(errno);
            return candidate;
        }
    }
}

bool RemoveUnwrittenOutput(const std::string& fileName) {
    std::error_code ec;
    if (fileName.empty() || !fs::is_regular_file(fs::symlink_status(fileName, ec)) || fs::file_size(fileName, ec) != 0 ||
        ec)
        return false;
    return fs::remove(fileName, ec);
}
