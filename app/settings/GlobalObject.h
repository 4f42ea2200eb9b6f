#pragma once
// The process-wide settings object: where the settings file is, the program's title and version
// text, and the web addresses. Created by the main window; reachable through GlobalObject().

#include <string>

class TGlobalObject {
public:
    const std::string& HelpUrl() const { return helpUrl_; }
    const std::string& IniFileName() const { return iniFileName_; }
    const std::string& AppTitle() const { return appTitle_; }
    const std::string& VersionText() const { return versionText_; }
    const std::string& HomePageUrl() const { return homePageUrl_; }

    // Each setter keeps the old value when the new one fails its rule: the file name must be
    // longer than 3 characters, every other field must not be empty.
    void SetHelpUrl(const std::string& value);
    void SetIniFileName(const std::string& value);
    void SetAppTitle(const std::string& value);
    void SetVersionText(const std::string& value);
    void SetHomePageUrl(const std::string& value);

private:
    std::string helpUrl_, iniFileName_, appTitle_, versionText_, homePageUrl_;
};

// The installed object (nullptr before the window made one). Not owned.
TGlobalObject* GlobalObject();
void SetGlobalObject(TGlobalObject* object);

// The folder that holds the settings file: $XDG_CONFIG_HOME, else $HOME/.config, with a
// trailing "/"; empty when neither variable is set.
std::string ConfigFolderPath();
// The user's home folder ($HOME), empty when unset.
std::string ProfileFolder();

// The last n characters of text, or all of it when it is shorter.
std::string RightStr(const std::string& text, std::size_t n);

// " major.minorreleasebuild " from a four-part "a.b.c.d" version: "2.1.0.5" gives " 2.105 ".
// Missing parts count as 0.
std::string VersionTextOf(const std::string& fourPartVersion);
