#include "app/settings/IniFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string Trim(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
        --e;
    return text.substr(b, e - b);
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> ReadLines(const std::string& fileName) {
    std::vector<std::string> lines;
    std::ifstream in(fileName, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "[name]" gives name; anything else nothing.
std::optional<std::string> SectionName(const std::string& line) {
    std::string t = Trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        return Trim(t.substr(1, t.size() - 2));
    return std::nullopt;
}

// The key of a "key=value" line, or nothing for comments and other lines.
std::optional<std::string> KeyOf(const std::string& line) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[')
        return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Trim(t.substr(0, eq));
}

std::optional<std::string> Find(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
    bool inSection = false;
    for (const std::string& line : lines) {
        if (auto name = SectionName(line)) {
            inSection = SameText(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (auto k = KeyOf(line); k && SameText(*k, key))
            return Trim(line.substr(line.find('=') + 1));
    }
    return std::nullopt;
}
} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    return Find(ReadLines(fileName_), section, key).value_or(def);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    std::optional<std::string> text = Find(ReadLines(fileName_), section, key);
    if (!text || text->empty())
        return def;
    int value = 0;
    const char* first = text->data();
    const char* last = first + text->size();
    if (*first == '+')
        ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last ? value : def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Find(ReadLines(fileName_), section, key).has_value();
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) const {
    // A line break in a value would start a new key on the next read.
    std::string clean = value;
    std::replace(clean.begin(), clean.end(), '\n', ' ');
    std::replace(clean.begin(), clean.end(), '\r', ' ');

    std::vector<std::string> lines = ReadLines(fileName_);
    bool inSection = false, written = false;
    std::size_t sectionEnd = lines.size(); // where a missing key of an existing section goes
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        if (auto name = SectionName(lines[i])) {
            if (inSection)
                break;
            inSection = SameText(*name, section);
            if (inSection) {
                sectionFound = true;
                sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(lines[i]).empty())
            sectionEnd = i + 1;
        if (auto k = KeyOf(lines[i]); k && SameText(*k, key)) {
            lines[i] = *k + "=" + clean;
            written = true;
        }
    }
    if (!written) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), key + "=" + clean);
        } else {
            if (!lines.empty() && !Trim(lines.back()).empty())
                lines.push_back("");
            lines.push_back("[" + section + "]");
            lines.push_back(key + "=" + clean);
        }
    }

    std::error_code ec;
    fs::path path(fileName_);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    // Written beside the file and renamed over it: a crash or a full disk never leaves half a file.
    std::string temp = fileName_ + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        for (const std::string& line : lines)
            out << line << '\n';
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, fileName_, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) const {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) const {
    return WriteString(section, key, value ? "1" : "0");
}
