#pragma once
// pixaroll-cli's command line: every subcommand with its options, the one table its --help,
// its manual page and its bash completion are made from.

#include "app/settings/ProgramUsage.h"

const TProgramUsage& CliUsage();
