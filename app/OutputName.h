#pragma once
// Naming of the output file: the file goes into the output folder with a "_(new)" suffix, and
// an existing file is never overwritten because a number is added until the name is free.

#include <string>

// Creates the folder with every missing level; false when it does not exist afterwards.
bool EnsureOutputFolder(const std::string& folder);
// The same, with the system's reason when it fails ("Permission denied", "Not a directory").
bool EnsureOutputFolder(const std::string& folder, std::string& reason);

// folder + the file-name part of baseName without its extension + "_(new)" + extension, or
// "_(new_N)" with the first N = 1, 2, ... whose file does not exist. Only computes the name.
std::string UniqueOutputName(const std::string& folder, const std::string& baseName,
                             const std::string& extension);
