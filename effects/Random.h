#pragma once
// The program-wide pseudo-random generator: one 32-bit state S.
// Random(n): S = S x 134775813 + 1 (mod 2^32), result = high 32 bits of S x n (0..n-1).

#include <cstdint>

std::uint32_t GetRandSeed();
void SetRandSeed(std::uint32_t seed);
// 0..n-1 for n > 0; 0 for n <= 0 (the state still advances).
int Random(int n);

// Saves the state, sets it to a seed, restores the saved state when it goes out of scope.
class TStableRandom {
public:
    explicit TStableRandom(std::uint32_t seed) : saved_(GetRandSeed()) { SetRandSeed(seed); }
    ~TStableRandom() { SetRandSeed(saved_); }
    TStableRandom(const TStableRandom&) = delete;
    TStableRandom& operator=(const TStableRandom&) = delete;

private:
    std::uint32_t saved_;
};
