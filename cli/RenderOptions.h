#pragma once
// The output options of render, shared with "project save" (which takes the same options).

#include "app/SlideshowJob.h"
#include "cli/Args.h"

#include <string>

// Reads option (and its value) into job; throws TUsageError for an option render does not take.
void ReadRenderOption(TArgs& args, const std::string& option, TSlideshowSettings& job, bool& quiet, double& every);
