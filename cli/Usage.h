#pragma once
// pixaroll-cli's command line: every subcommand with its options, the one table its --help,
// its manual page and its bash completion are made from.

#include "app/settings/ProgramUsage.h"

const TProgramUsage& CliUsage();
// True when the command's table lists the option: a command reading another command's options
// (frames reads render's) takes exactly the ones its table lists.
bool CommandTakesOption(const std::string& command, const std::string& option);
