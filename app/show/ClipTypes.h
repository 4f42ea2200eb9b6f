#pragma once
// The words of a video clip slide, shared by the document, the project file, the command line
// and the soundtrack.

#include <optional>
#include <string>

// What becomes of a clip's own sound.
enum class TClipSound {
    Mix,    // laid over the music, which ducks under it
    Mute,   // not heard: the music plays on as over a picture
    Alone,  // heard alone: the music is silent while the clip plays
};

// "mix", "mute", "alone".
const char* ClipSoundName(TClipSound sound);
// The sound choice of that name; false when there is none.
bool FindClipSound(const std::string& name, TClipSound& sound);
