#include "app/pictures/FileKind.h"


#include <sys/stat.h>

std::string NotAFileKind(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    switch (st.st_mode & S_IFMT) {
    case S_IFREG:
        return {};
    case S_IFIFO:
        return "a named pipe";
    case S_IFSOCK:
        return "a socket";
    case S_IFCHR:
        return "a character device";
    case S_IFBLK:
        return "a block device";
    case S_IFDIR:
        return "a folder";
    default:
        return "not a file";
    }
}

std::string NotAFileText(const std::string& path) {
    const std::string kind = NotAFileKind(path);
    if (kind.empty())
        return {};
    return "\"" + path + "\" is " + (kind == "not a file" ? std::string("not a file") : kind + ", not a file");
}
