#include "app/show/ClipTypes.h"

namespace {
const char* const Names[] = {"mix", "mute", "alone"};
}

const char* ClipSoundName(TClipSound sound) { return Names[int(sound)]; }

bool FindClipSound(const std::string& name, TClipSound& sound) {
    for (int i = 0; i < 3; ++i)
        if (name == Names[i]) {
            sound = TClipSound(i);
            return true;
        }
    return false;
}
