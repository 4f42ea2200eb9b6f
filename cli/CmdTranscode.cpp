// pixaroll-cli transcode: the engine on ordinary files, with the engine's own option names.
//   transcode IN OUT [-option value ...]                     the options apply to the output
//   transcode [options] -i IN ... [options] OUT [[options] OUT ...]   the classic shape
//   "-join" before an output's name makes it of every input in turn

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/JobRunner.h"
#include "engine/CustomFFmpeg.h"
#include "medialib/FFLoad.h"
#include "medialib/FFLog.h"

#include <algorithm>
#include <cctype>
#include <iostream>

namespace {
// "-an" alone is a boolean switched on; a following "-5" is still a value.
bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && !(std::isdigit(static_cast<unsigned char>(arg[1])) || arg[1] == '.');
}
} // namespace

namespace {
// One step of a command line in the classic shape, in the order given.
struct TStep {
    enum { Option, Input, Output } Kind;
    std::string Name, Value;
    bool Join = false; // an output made of every input in turn ("-join" before its name)
};

// "-join" is the command's own switch for the output named after it, not an engine option.
constexpr const char* JoinSwitch = "-join";

// "-name value", or a switch without a value; throws when a value is missing.
TStep ReadOption(TArgs& args) {
    std::string name = args.Next().substr(1);
    if (!TCustomFFmpeg::OptionNeedsValue(name))
        return {TStep::Option, name, ""};
    if (args.AtEnd())
        throw TUsageError("Missing argument for option \"" + name + "\"");
    return {TStep::Option, name, args.Next()};
}

// The classic shape: options before the file they belong to, "-i IN" for each input, and each
// output's name after its options. "newvideo", "newaudio" and "newsubtitle" add a stream to the
// output named before them.
std::vector<TStep> ParseClassic(TArgs& args) {
    std::vector<TStep> steps;
    std::vector<std::string> unused; // options given since the last file
    bool join = false;
    while (!args.AtEnd()) {
        const std::string& arg = args.Peek();
        if (arg == JoinSwitch) {
            args.Next();
            join = true;
            unused.push_back("join");
        } else if (arg == "-i") {
            args.Next();
            if (args.AtEnd())
                throw TUsageError("Missing argument for option \"i\"");
            steps.push_back({TStep::Input, "", args.Next()});
            unused.clear();
        } else if (LooksLikeOption(arg)) {
            steps.push_back(ReadOption(args));
            const std::string& name = steps.back().Name;
            if (name != "newvideo" && name != "newaudio" && name != "newsubtitle")
                unused.push_back(name);
        } else {
            steps.push_back({TStep::Output, "", args.Next(), join});
            join = false;
            unused.clear();
        }
    }
    if (!unused.empty())
        throw TUsageError("option \"" + unused.front() + "\" after the last output file applies to no file");
    return steps;
}

// The short shape: IN OUT and then the output's options.
std::vector<TStep> ParseShort(TArgs& args) {
    std::vector<TStep> steps{{TStep::Input, "", args.Next()}};
    if (args.AtEnd())
        throw TUsageError("missing output file");
    std::string output = args.Next();
    bool join = false;
    while (!args.AtEnd()) {
        std::string name = args.Next();
        if (name == JoinSwitch) {
            join = true;
            continue;
        }
        if (!LooksLikeOption(name))
            throw TUsageError("expected an option, not \"" + name + "\"");
        std::string value = !args.AtEnd() && !LooksLikeOption(args.Peek()) ? args.Next() : std::string();
        if (value.empty() && TCustomFFmpeg::OptionNeedsValue(name.substr(1)))
            throw TUsageError("Missing argument for option \"" + name.substr(1) + "\"");
        steps.push_back({TStep::Option, name.substr(1), value});
    }
    steps.push_back({TStep::Output, "", output, join});
    return steps;
}
} // namespace

int CmdTranscode(const TCommandArgs& all) {
    // "--quiet" is the command's own switch, wherever it stands; the rest are the engine's.
    TCommandArgs argv;
    bool quiet = false;
    for (const std::string& a : all)
        if (a == "--quiet")
            quiet = true;
        else
            argv.push_back(a);
    TArgs args(argv);
    if (args.AtEnd())
        throw TUsageError("missing input file");
    std::vector<TStep> steps = LooksLikeOption(args.Peek()) ? ParseClassic(args) : ParseShort(args);
    int inputs = 0, outputs = 0;
    for (const TStep& step : steps) {
        inputs += step.Kind == TStep::Input;
        outputs += step.Kind == TStep::Output;
    }
    if (inputs == 0)
        throw TUsageError("missing input file");
    if (outputs == 0)
        throw TUsageError("missing output file");

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
    TCustomFFmpeg job(std::max(inputs, outputs));
    for (const TStep& step : steps) {
        if (step.Kind == TStep::Option) {
            job.ApplyOption(step.Name, step.Value);
        } else if (step.Kind == TStep::Input ? !job.OpenInputFile(step.Value) : job.OpenOutputFile(step.Value, step.Join) < 0) {
            std::cerr << "pixaroll-cli transcode: " << job.LastError << "\n";
            return 1;
        }
    }
    // The run goes on a worker thread, so that SIGINT and SIGTERM can stop it through the job
    // and the output is closed properly.
    TMainThreadScope mainThread;
    TProgressPrinter printer(quiet, -1, 0);
    job.OnProgress = [&](TCustomFFmpeg&, const TProgressInfo& info) { CallInMainThread([&] { printer.Show(info); }); };
    int signal = 0;
    {
        TStopSignals signals;
        if (TConvertThread* worker = job.StartJob(true))
            worker->Resume();
        signal = RunUntilEnd(mainThread.Queue(), {[&] { job.StopJob(false); }, [&] { return job.RunFinished.IsSet(); }});
    }
    printer.Finish();
    if (job.Failed()) {
        std::cerr << "pixaroll-cli transcode: " << job.ErrorMessage() << "\n";
        return 1;
    }
    return ReportStop("transcode", signal);
}
