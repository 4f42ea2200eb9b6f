#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it.

#include <filesystem>
#include <stdexcept>
#include <string>

#include <stdlib.h>

class TTempFolder {
public:
    TTempFolder() {
        // mkdtemp makes the folder atomically, so two runs never share (or delete) one.
        std::string pattern = (std::filesystem::temp_directory_path() / "pixaroll-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder in " + pattern);
        path_ = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
