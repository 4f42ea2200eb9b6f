#pragma once
// Running programs from tests: a shell command or pixaroll-cli, with its output and status.

#include <string>

struct TRunResult {
    int Status;         // exit status; -1 when the program did not exit normally
    std::string Output; // standard output and standard error together
};

TRunResult RunShell(const std::string& command);

// PIXAROLL_CLI when set, else the program of this build tree.
const char* CliPath();

TRunResult RunCli(const std::string& arguments);
