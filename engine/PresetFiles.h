#pragma once
// Preset files: option lines ("name=value", "#" comments) that "apre", "vpre", "spre" and
// "fpre" apply in one go. The libx264 presets come built in.

#include <string>

// The text of a built-in preset, found by name without regard to case; nullptr when there is
// none of that name.
const char* BuiltinPresetText(const std::string& name);
