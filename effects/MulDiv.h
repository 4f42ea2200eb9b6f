#pragma once

#include <cstdint>

// a x b / c with a 64-bit intermediate, rounded to nearest, halves away from zero.
// c == 0 gives -1 (there is no quotient), and so does a result outside the int range.
constexpr int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    std::int64_t num = static_cast<std::int64_t>(a) * b;
    std::int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    std::int64_t q = (num >= 0 ? num + den / 2 : num - den / 2) / den;
    // An odd divisor has no exact half; an even one rounds the half away from zero as above.
    if (q > INT32_MAX || q < INT32_MIN)
        return -1;
    return static_cast<int>(q);
}
