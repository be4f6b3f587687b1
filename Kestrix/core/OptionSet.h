#pragma once

#include <cstdint>

namespace kestrix {

// The set operations of a bit-flag type. A flag type derives from OptionSet<itself> and names its
// flags as static constants; its values stay aggregates (`Flags{5}`).
template <typename Self> struct OptionSet {
    int64_t rawValue = 0;

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(Self other) const { return (rawValue & other.rawValue) == other.rawValue; }
    // True when any bit of other is set here.
    constexpr bool intersects(Self other) const { return (rawValue & other.rawValue) != 0; }
    constexpr void insert(Self other) { rawValue |= other.rawValue; }
    constexpr void remove(Self other) { rawValue &= ~other.rawValue; }

    friend constexpr Self operator|(Self a, Self b) { return Self{{a.rawValue | b.rawValue}}; }
    friend constexpr Self operator&(Self a, Self b) { return Self{{a.rawValue & b.rawValue}}; }
    friend constexpr Self operator^(Self a, Self b) { return Self{{a.rawValue ^ b.rawValue}}; }
    // The bits of a without those of b.
    friend constexpr Self operator-(Self a, Self b) { return Self{{a.rawValue & ~b.rawValue}}; }
    friend constexpr bool operator==(Self a, Self b) { return a.rawValue == b.rawValue; }
};

} // namespace kestrix
