#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it.

#include <filesystem>
#include <random>
#include <string>

class TTempFolder {
public:
    TTempFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("pixaroll-test-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
