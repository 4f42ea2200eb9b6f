#pragma once
// Telling a regular file from the other things a name can stand for. A named pipe among the
// slides would block the first read (the sniffing of clip or picture) until something writes to
// it; a device never ends; a folder cannot be read as a picture. Every front end asks here before
// it reads a slide's or a soundtrack's first byte, so they refuse the same things in the same
// words.

#include <string>

// What the name stands for when it is no regular file: "a named pipe", "a socket",
// "a character device", "a block device", "a folder" or "not a file"; empty for a regular file
// and for a name that does not exist (a missing file is reported as missing, elsewhere).
// Follows symbolic links and never opens the name.
std::string NotAFileKind(const std::string& path);
// "\"p.jpg\" is a named pipe, not a file", or empty.
std::string NotAFileText(const std::string& path);
