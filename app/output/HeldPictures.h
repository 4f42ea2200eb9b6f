#pragma once
// Held pictures written once. mp4 and WebM give every frame its own duration, and players and
// browsers show a frame that lasts 5 s as they show 150 frames of 1/30 s each: for today's
// rows a frame that repeats the one before is left out and the one before lasts longer. A
// picture still starts every 2 s span of show time, as a key frame, so that a seek anywhere
// finds one close by. The classic rows, and a run that asks for a constant frame rate (video
// editors want one), write every frame.

#include "app/output/ContainerTable.h"
#include "engine/FileOptions.h"

// The span of show time that starts with a key frame.
inline constexpr int HeldKeySpanSeconds = 2;

bool WritesHeldPicturesOnce(const TContainerRow& row, bool constantFrameRate);

// The output options for it: each picture at its own time, a key frame (an IDR picture, which
// is where an mp4 reader may start) at the first picture of every span.
void ApplyHeldPictureOptions(TOutputOptions& output);
