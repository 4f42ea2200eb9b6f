#pragma once
// The subcommands of pixaroll-cli. Each takes the arguments after its name and returns the
// process exit status; usage errors are thrown as TUsageError.

#include <string>
#include <vector>

using TCommandArgs = std::vector<std::string>;

struct TCommand {
    const char* Name;
    const char* Synopsis;
    int (*Run)(const TCommandArgs& args);
};

int CmdVersion(const TCommandArgs& args);
int CmdFrames(const TCommandArgs& args);
int CmdTranscode(const TCommandArgs& args);
int CmdEffect(const TCommandArgs& args);
int CmdEffectSheet(const TCommandArgs& args);
int CmdLibs(const TCommandArgs& args);
int CmdRender(const TCommandArgs& args);
int CmdDemo(const TCommandArgs& args);
int CmdInfo(const TCommandArgs& args);
int CmdProject(const TCommandArgs& args);
