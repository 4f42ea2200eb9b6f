#pragma once
// Codec lookup by name, with the texts the job reports in LastError.

#include "medialib/FFApi.h"

#include <string>

// An empty name is accepted and gives nullptr (no codec chosen). Otherwise the named encoder or
// decoder of that media type; on failure returns false with the reason in error.
// strict is the codec strictness (FF_COMPLIANCE_*): experimental codecs need it at
// FF_COMPLIANCE_EXPERIMENTAL or below.
bool FindCodecByName(const std::string& name, AVMediaType type, bool encoder, int strict,
                     const AVCodec*& codec, std::string& error);
