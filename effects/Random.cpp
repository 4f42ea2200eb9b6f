#include "effects/Random.h"

namespace {
// Touched only on the user-interface thread (the sequencer and the effects run there).
std::uint32_t RandState = 0;
} // namespace

std::uint32_t GetRandSeed() { return RandState; }

void SetRandSeed(std::uint32_t seed) { RandState = seed; }

int Random(int n) {
    RandState = RandState * 134775813u + 1u;
    if (n <= 0)
        return 0;
    return static_cast<int>((static_cast<std::uint64_t>(RandState) * static_cast<std::uint32_t>(n)) >> 32);
}
