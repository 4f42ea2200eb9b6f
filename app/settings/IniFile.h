#pragma once
// The settings file: an ini file read and written one value at a time. Every call opens the
// file, does its work and closes it again, so there is never a cached copy that could go stale
// while another handler writes.
//
// Sections and keys match regardless of letter case; values are text (integers in decimal,
// booleans as "1" and "0"). A file that cannot be written loses the change: the caller gets
// false and nothing else happens.

#include <string>

class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    const std::string& FileName() const { return fileName_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The default when the key is absent or its value is not a whole decimal number.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // Any non-zero integer reads as true.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Creates the file (and its folder) with the first write. The file is replaced as a whole,
    // so a reader never sees half of it.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) const;
    bool WriteInteger(const std::string& section, const std::string& key, int value) const;
    bool WriteBool(const std::string& section, const std::string& key, bool value) const;

private:
    std::string fileName_;
};
