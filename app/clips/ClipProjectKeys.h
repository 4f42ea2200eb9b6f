#pragma once
// A clip slide's values in the project file: the slide's "clip" object with "in" and "out"
// (seconds into the clip) and "sound" ("mix", "mute", "alone"). Absent keys keep the defaults
// (the whole clip, mixed over the music).

#include "app/show/SlideshowData.h"

#include <QJsonObject>

#include <string>

// Reads the object into clip. False for a bad value, with the key it is at and the reason.
bool ReadClipObject(const QJsonObject& object, TSlideClip& clip, std::string& key, std::string& reason);
// The object of clip; empty when every value is the default.
QJsonObject ClipObject(const TSlideClip& clip);
