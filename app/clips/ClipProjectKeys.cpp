#include "app/clips/ClipProjectKeys.h"

#include <cmath>

namespace {
constexpr double LongestClip = 24 * 3600;

bool ReadPoint(const QJsonObject& object, const char* name, std::optional<double>& point, std::string& key,
               std::string& reason) {
    if (!object.contains(name))
        return true;
    const QJsonValue v = object.value(name);
    const double d = v.toDouble();
    if (!v.isDouble() || !(d >= 0 && d <= LongestClip)) {
        key = name;
        reason = "must be seconds into the clip from 0 to " + std::to_string(int(LongestClip));
        return false;
    }
    point = d;
    return true;
}
} // namespace

bool ReadClipObject(const QJsonObject& object, TSlideClip& clip, std::string& key, std::string& reason) {
    TSlideClip read;
    if (!ReadPoint(object, "in", read.In, key, reason) || !ReadPoint(object, "out", read.Out, key, reason))
        return false;
    if (read.In && read.Out && !(*read.Out > *read.In)) {
        key = "out";
        reason = "must come after \"in\"";
        return false;
    }
    if (object.contains("sound")) {
        const QJsonValue v = object.value("sound");
        if (!v.isString() || !FindClipSound(v.toString().toStdString(), read.Sound)) {
            key = "sound";
            reason = "must be \"mix\", \"mute\" or \"alone\"";
            return false;
        }
    }
    clip = read;
    return true;
}

QJsonObject ClipObject(const TSlideClip& clip) {
    QJsonObject o;
    if (clip.In)
        o["in"] = *clip.In;
    if (clip.Out)
        o["out"] = *clip.Out;
    if (clip.Sound != TClipSound::Mix)
        o["sound"] = ClipSoundName(clip.Sound);
    return o;
}
