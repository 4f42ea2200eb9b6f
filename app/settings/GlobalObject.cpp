#include "app/settings/GlobalObject.h"

#include <cstdlib>
#include <sstream>

namespace {
TGlobalObject* installed = nullptr;
}

void TGlobalObject::SetHelpUrl(const std::string& value) {
    if (!value.empty())
        helpUrl_ = value;
}

void TGlobalObject::SetIniFileName(const std::string& value) {
    if (value.size() > 3)
        iniFileName_ = value;
}

void TGlobalObject::SetAppTitle(const std::string& value) {
    if (!value.empty())
        appTitle_ = value;
}

void TGlobalObject::SetVersionText(const std::string& value) {
    if (!value.empty())
        versionText_ = value;
}

void TGlobalObject::SetHomePageUrl(const std::string& value) {
    if (!value.empty())
        homePageUrl_ = value;
}

TGlobalObject* GlobalObject() { return installed; }
void SetGlobalObject(TGlobalObject* object) { installed = object; }

std::string ConfigFolderPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    // An empty or relative value is ignored, as the base-directory rules say.
    if (config && config[0] == '/')
        folder = config;
    else if (const char* home = std::getenv("HOME"); home && home[0])
        folder = std::string(home) + "/.config";
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string ProfileFolder() {
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

std::string RightStr(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
}

std::string VersionTextOf(const std::string& fourPartVersion) {
    unsigned parts[4] = {0, 0, 0, 0};
    std::istringstream in(fourPartVersion);
    std::string part;
    for (int i = 0; i < 4 && std::getline(in, part, '.'); ++i)
        parts[i] = static_cast<unsigned>(std::strtoul(part.c_str(), nullptr, 10)) & 0xFFFFu;
    return " " + std::to_string(parts[0]) + "." + std::to_string(parts[1]) + std::to_string(parts[2]) +
           std::to_string(parts[3]) + " ";
}
