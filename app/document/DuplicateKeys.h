#pragma once
// JSON itself allows a key twice in one object, and a reader keeps one of them silently (Qt's the
// last): a project whose "slides" appears twice would open with the wrong slides and say nothing.
// This finds such a key in text that is valid JSON already.

#include <string>

// The place of the first key that appears a second time in its object ("slides",
// "output.hold", "slides[2].clip.in"), with its line and column; empty when there is none.
std::string DuplicateKey(const std::string& json, std::string& place);
