#pragma once
// The output options of render, shared with "project save" (which takes the same options).

#include "app/SlideshowJob.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/SlideSource.h"

#include <string>

// What render and project save start from: the project's output choices, or without a project
// the choices of a first run (mp4-h264 at 1920x1080, stereo, constant quality); the options
// given change them.
TSlideshowSettings RenderBaseOutput(const TSlideSource& source);
// Reads option (and its value) into job; throws TUsageError for an option render does not take.
void ReadRenderOption(TArgs& args, const std::string& option, TSlideshowSettings& job, bool& quiet, double& every);
// --crf and --bitrate together are refused: a row with a quality choice encodes at constant
// quality or at a bit rate, not both.
void CheckQualityChoice(const TCommandArgs& argv);
