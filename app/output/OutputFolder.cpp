#include "app/output/OutputFolder.h"

#include "app/output/OutputName.h"
#include "app/settings/SettingsKeys.h"

#include <sys/statvfs.h>

std::string DefaultOutputFolder(const std::string& profile) { return profile + "/videoconverter"; }

std::string OutputFolderForStart(const TIniFile& ini, const std::string& profile, const TWarnFunc& warn) {
    const std::string fallback = DefaultOutputFolder(profile);
    std::string folder = ini.ReadString(settings::Section, settings::OutPutDir, fallback);
    if (EnsureOutputFolder(folder))
        return folder;
    if (warn)
        warn("Cannot create output directory:" + folder + ".It will create default directory " + fallback + "!");
    EnsureOutputFolder(fallback);
    ini.WriteString(settings::Section, settings::OutPutDir, fallback);
    // The job goes into the folder just made instead of the one that cannot exist.
    return fallback;
}

std::string UniqueOutputNameFor(const TIniFile& ini, const std::string& profile, const std::string& baseName,
                                const std::string& extension, const TWarnFunc& warn) {
    return UniqueOutputName(OutputFolderForStart(ini, profile, warn), baseName, extension);
}

std::string OutputFolderForOpen(const TIniFile& ini, const std::string& profile, const TWarnFunc& warn) {
    std::string folder = ini.ReadString(settings::Section, settings::OutPutDir, profile + "/MyVideo");
    if (EnsureOutputFolder(folder))
        return folder;
    const std::string fallback = profile + "/MyVideos";
    if (warn)
        warn("Can not create output directory:" + folder + ".It will create default directory" + fallback);
    EnsureOutputFolder(fallback);
    ini.WriteString(settings::Section, settings::OutPutDir, fallback);
    return fallback;
}

bool IsReadOnlyFolder(const std::string& folder) {
    struct statvfs info {};
    return ::statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}
