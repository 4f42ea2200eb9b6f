#pragma once
// The virtual input format "frameinput": frames drawn by the application, delivered by a
// TFrameInputAdapter and read by the engine as a single raw-video stream with time stamps in
// microseconds. The input's file name is the parameter string (FrameInputParams.h).

#include "medialib/InputFormatRegistry.h"

// Makes "frameinput" known to the engine's registry of input formats; once per process, after
// the libraries are loaded. Calling it again does nothing.
void RegisterFrameInputFormat();

// The format's routines (also reachable through the registry).
int FrameInputReadHeader(AVFormatContext* s);
int FrameInputReadPacket(AVFormatContext* s, AVPacket* pkt);
int FrameInputReadClose(AVFormatContext* s);

// The format's descriptor record for the registry.
const TVirtualInputFormat& FrameInputFormat();
