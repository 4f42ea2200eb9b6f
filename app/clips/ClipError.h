#pragma once
// How a clip's failures read, wherever they are found.

#include <string>

// The text of a clip failure: "Cannot play clip "<file>": <reason>".
std::string ClipErrorText(const std::string& fileName, const std::string& reason);
