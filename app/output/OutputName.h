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

// The name of UniqueOutputName, claimed: the file is created empty with an exclusive create, so
// that two jobs writing into one folder at the same moment never get the same name (the one that
// loses takes the next number). When the folder cannot take a new file (it is missing, read-only),
// claimed stays false, reason says why and the name is returned unclaimed: opening it then
// reports the failure as for any output.
std::string ClaimOutputName(const std::string& folder, const std::string& baseName, const std::string& extension,
                            bool& claimed, std::string& reason);

// Removes a claimed output that nothing was written into (a file of 0 bytes); true when removed.
bool RemoveUnwrittenOutput(const std::string& fileName);
