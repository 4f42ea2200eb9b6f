// pixaroll-cli libs [--path DIR]: which media libraries the program would use, and their versions.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "medialib/FFLoad.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

int CmdLibs(const TCommandArgs& args) {
    TArgs in(args);
    std::string folder = ProgramLibraryFolder();
    while (!in.AtEnd()) {
        const std::string option = in.Next();
        if (option != "--path")
            throw TUnknownOption(option);
        folder = in.Value(option);
        if (!std::filesystem::is_directory(folder))
            std::cerr << "pixaroll-cli libs: no folder " << folder << ", using the system's libraries\n";
    }
    TFFLoader& loader = FFLoader();
    loader.LibraryPath = folder;
    if (!loader.LoadLibs(EncoderLibs)) {
        std::cerr << loader.LastErrMsg() << "\n";
        return 1;
    }
    for (int i = 0; i < AVLibraryCount; ++i) {
        const auto lib = TAVLibrary(i);
        if (EncoderLibs & LibBit(lib))
            std::printf("%-11s %-10s %s\n", LibraryItems[lib].BaseName, loader.LibVersionText(lib).c_str(),
                        loader.LoadedFrom(lib).c_str());
    }
    return 0;
}
