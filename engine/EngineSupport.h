#pragma once
// The engine's log lines and codec serialisation, through the media-library layer.

#include "medialib/FFApi.h"
#include "medialib/FFLog.h"
#include "medialib/FFUtils.h"

#include <string>

// One log line of the engine through the program's single logger.
void EngineLog(TLogLevel level, const std::string& text);
