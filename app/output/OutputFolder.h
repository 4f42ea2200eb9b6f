#pragma once
// The output folder stored under "OutPutDir": where Start puts the next video and what Open
// shows. When the stored folder cannot be created, a default folder is created, stored and used
// in its place, after a warning that names both.

#include "app/settings/IniFile.h"

#include <functional>
#include <string>

// Shows a warning text to the user (a message box in the window, a line on the command line).
using TWarnFunc = std::function<void(const std::string& text)>;

// $HOME/videoconverter: the folder Start falls back to.
std::string DefaultOutputFolder(const std::string& profile);

// The folder Start writes into: "OutPutDir" (default DefaultOutputFolder), created with every
// missing level. When that fails: warns "Cannot create output directory:<folder>.It will create
// default directory <default>!", creates the default, stores it and returns it, so the job goes
// into a folder that exists. When the default cannot be created either, it is returned all the
// same and the output open reports the failure.
std::string OutputFolderForStart(const TIniFile& ini, const std::string& profile, const TWarnFunc& warn);

// The full path of the next output file in the folder of OutputFolderForStart.
std::string UniqueOutputNameFor(const TIniFile& ini, const std::string& profile, const std::string& baseName,
                                const std::string& extension, const TWarnFunc& warn);

// The folder Open shows: "OutPutDir" (default $HOME/MyVideo), created when missing. When that
// fails: warns "Can not create output directory:<folder>.It will create default
// directory<profile>/MyVideos", creates that folder, stores it and returns it.
std::string OutputFolderForOpen(const TIniFile& ini, const std::string& profile, const TWarnFunc& warn);

// True when the folder lies on a file system mounted read-only (where a CD-ROM would be).
bool IsReadOnlyFolder(const std::string& folder);
