// pixaroll-cli transcode IN OUT [-option value ...]: the engine on ordinary files. The options
// are the engine's own option names and apply to the output.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "engine/CustomFFmpeg.h"
#include "medialib/FFLoad.h"
#include "medialib/FFLog.h"

#include <cctype>
#include <iostream>

namespace {
// "-an" alone is a boolean switched on; a following "-5" is still a value.
bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && !(std::isdigit(static_cast<unsigned char>(arg[1])) || arg[1] == '.');
}
} // namespace

int CmdTranscode(const TCommandArgs& argv) {
    TArgs args(argv);
    if (args.AtEnd())
        throw TUsageError("missing input file");
    std::string input = args.Next();
    if (args.AtEnd())
        throw TUsageError("missing output file");
    std::string output = args.Next();
    std::vector<std::pair<std::string, std::string>> options;
    while (!args.AtEnd()) {
        std::string name = args.Next();
        if (!LooksLikeOption(name))
            throw TUsageError("expected an option, not \"" + name + "\"");
        std::string value = !args.AtEnd() && !LooksLikeOption(args.Peek()) ? args.Next() : std::string();
        if (value.empty() && TCustomFFmpeg::OptionNeedsValue(name.substr(1)))
            throw TUsageError("Missing argument for option \"" + name.substr(1) + "\"");
        options.emplace_back(name.substr(1), value);
    }

    // Warnings and errors of the engine and the libraries go to the standard error stream.
    GetFFLogger().SetTriggerEventInMainThread(false);
    GetFFLogger().SetOnLog([](void*, TThreadID, TLogLevel level, const std::string& msg) {
        // The job's own failure (logged at llQuiet) is printed once below, with the command's name.
        if (level <= llWarning && level != llQuiet)
            std::cerr << msg << (msg.empty() || msg.back() != '\n' ? "\n" : "");
    });
    if (!FFLoader().LoadLibs(EncoderLibs)) {
        std::cerr << "pixaroll-cli transcode: " << FFLoader().LastErrMsg() << "\n";
        return 1;
    }
    TCustomFFmpeg job(1);
    if (!job.OpenInputFile(input)) {
        std::cerr << "pixaroll-cli transcode: " << job.LastError << "\n";
        return 1;
    }
    for (const auto& [name, value] : options)
        job.ApplyOption(name, value);
    if (job.OpenOutputFile(output) < 0) {
        std::cerr << "pixaroll-cli transcode: " << job.LastError << "\n";
        return 1;
    }
    if (!job.Execute()) {
        std::cerr << "pixaroll-cli transcode: " << job.ErrorMessage() << "\n";
        return 1;
    }
    return 0;
}
