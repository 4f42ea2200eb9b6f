#include "engine/ForcedKeyFrames.h"

#include "engine/FFmpegException.h"

#include <cmath>

namespace {
enum { kN, kNForced, kPrevForcedN, kPrevForcedT, kT };
const char* const Names[] = {"n", "n_forced", "prev_forced_n", "prev_forced_t", "t", nullptr};
} // namespace

void ParseForcedKeyExpression(TOutputStream& ost, const std::string& expression) {
    AVExpr* parsed = nullptr;
    if (ff::av_expr_parse(&parsed, expression.c_str(), Names, nullptr, nullptr, nullptr, nullptr, 0, nullptr) < 0)
        throw FFmpegException(Fmt("Invalid force_key_frames expression '%s'", expression.c_str()));
    ost.ForcedKeyExpr.reset(parsed);
    double* v = ost.ForcedKeyValues;
    v[kN] = v[kNForced] = v[kT] = 0;
    v[kPrevForcedN] = v[kPrevForcedT] = NAN;
}

bool ForcedKeyAt(TOutputStream& ost, double seconds) {
    if (!ost.ForcedKeyExpr)
        return false;
    double* v = ost.ForcedKeyValues;
    v[kT] = seconds;
    const bool key = ff::av_expr_eval(ost.ForcedKeyExpr.get(), v, nullptr) != 0;
    if (key) {
        v[kPrevForcedN] = v[kN];
        v[kPrevForcedT] = v[kT];
        v[kNForced] += 1;
    }
    v[kN] += 1;
    return key;
}
