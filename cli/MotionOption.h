#pragma once
// --motion and --zoom, taken by render and frames alike.

#include "app/motion/MotionNames.h"
#include "cli/Args.h"

#include <string>

// Reads option (and its value) when it is --motion or --zoom and returns true; false for any
// other option. Throws TUsageError for a style or zoom that does not exist.
bool ReadMotionOption(TArgs& args, const std::string& option, TMotionStyle& style, double& zoom);
