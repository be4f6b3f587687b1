#pragma once

#include <cstdint>
#include <limits>

namespace kestrix {

// Arithmetic on values a host controls: a result past the range of int64_t sticks at its end.
constexpr int64_t saturatingAdd(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    }
    return sum;
}

constexpr int64_t saturatingSubtract(int64_t a, int64_t b)
{
    int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference)) {
        return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    }
    return difference;
}

} // namespace kestrix
