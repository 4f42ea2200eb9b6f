#include "tests/support/RunCommand.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

TRunResult RunShell(const std::string& command) {
    TRunResult result{-1, ""};
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        result.Output.append(buffer, n);
    const int status = pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

const char* CliPath() {
    const char* cli = std::getenv("PIXAROLL_CLI");
    return cli && *cli ? cli : PIXAROLL_CLI_PATH;
}

TRunResult RunCli(const std::string& arguments) { return RunShell(std::string(CliPath()) + " " + arguments); }
