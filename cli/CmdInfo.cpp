// pixaroll-cli info FILE: the information text of any media file, as the window's log shows it
// for each input it adds.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "engine/FFEncoder.h"
#include "medialib/FFLoad.h"

#include <iostream>

int CmdInfo(const TCommandArgs& argv) {
    TArgs args(argv);
    if (args.AtEnd())
        throw TUsageError("missing file");
    std::string file = args.Next();
    // The command takes no options; a file whose name starts so is given as ./--name.
    if (file.rfind("--", 0) == 0)
        throw TUnknownOption(file);
    if (!args.AtEnd())
        throw TUsageError("unexpected argument \"" + args.Peek() + "\"");
    TFFEncoder encoder;
    if (!encoder.AVLibLoaded() && !FFLoader().LoadLibs(EncoderLibs)) {
        std::cerr << "pixaroll-cli info: " << FFLoader().LastErrMsg() << "\n";
        return 1;
    }
    int task = encoder.AddTask(file);
    if (task < 0) {
        std::cerr << "pixaroll-cli info: " << encoder.LastErrMsg << "\n";
        return 1;
    }
    std::cout << FileInfoText(encoder.InputInfo(task, 0));
    return 0;
}
