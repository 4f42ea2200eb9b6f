#include "app/document/DuplicateKeys.h"

#include <set>
#include <vector>

namespace {
struct TLevel {
    bool Object = false;
    std::set<std::string> Keys;
    std::string Path;   // of this object or array
    int Index = 0;      // next element of an array
};

// A string starting at text[i] (the opening quote), returned with its escapes kept as written;
// i ends after the closing quote.
std::string ReadString(const std::string& text, std::size_t& i) {
    std::string s;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            s += text[i++];
        s += text[i];
    }
    ++i;
    return s;
}

std::string Joined(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }
} // namespace

std::string DuplicateKey(const std::string& json, std::string& place) {
    std::vector<TLevel> levels;
    std::string pendingKey; // the key whose value comes next, in an object
    int line = 1;
    std::size_t lineStart = 0;
    auto childPath = [&]() -> std::string {
        if (levels.empty())
            return {};
        TLevel& top = levels.back();
        if (top.Object)
            return Joined(top.Path, pendingKey);
        return top.Path + "[" + std::to_string(top.Index) + "]";
    };
    for (std::size_t i = 0; i < json.size();) {
        const char c = json[i];
        if (c == '\n') {
            ++line;
            lineStart = ++i;
        } else if (c == '{' || c == '[') {
            TLevel level;
            level.Object = c == '{';
            level.Path = childPath();
            levels.push_back(level);
            ++i;
        } else if (c == '}' || c == ']') {
            if (!levels.empty())
                levels.pop_back();
            ++i;
        } else if (c == ',') {
            if (!levels.empty() && !levels.back().Object)
                ++levels.back().Index;
            ++i;
        } else if (c == '"') {
            const std::size_t at = i;
            const std::string s = ReadString(json, i);
            std::size_t j = i;
            while (j < json.size() && (json[j] == ' ' || json[j] == '\t' || json[j] == '\r' || json[j] == '\n'))
                ++j;
            const bool isKey = !levels.empty() && levels.back().Object && j < json.size() && json[j] == ':';
            if (isKey) {
                if (!levels.back().Keys.insert(s).second) {
                    place = "line " + std::to_string(line) + ", column " + std::to_string(at - lineStart + 1);
                    return Joined(levels.back().Path, s);
                }
                pendingKey = s;
            }
        } else {
            ++i;
        }
    }
    return {};
}
