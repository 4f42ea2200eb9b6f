#pragma once
// Key frames asked for by an expression ("force_key_frames expr:..."): evaluated at every
// picture the stream encodes, a key frame wherever it is not zero. The expression sees n (the
// pictures encoded before), n_forced (the key frames it forced), prev_forced_n and
// prev_forced_t (where the last one was; NAN before the first) and t (the picture's time in
// seconds). "gte(t,n_forced*2)" gives a key frame at the first picture of every 2 s span,
// however far apart the pictures are.

#include "engine/Streams.h"

#include <string>

// Throws FFmpegException naming the expression when it does not parse.
void ParseForcedKeyExpression(TOutputStream& ost, const std::string& expression);

// Whether the picture at seconds is to be a key frame; counts the picture either way. False
// without an expression.
bool ForcedKeyAt(TOutputStream& ost, double seconds);
