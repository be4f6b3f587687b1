#pragma once

#include <cstdint>

namespace kestrix {

// The modifier bits of a key event as the Kitty keyboard protocol reports them (the wire value is
// the raw value plus one). Lock bits are reported like any other modifier.
struct KittyKeyboardModifiers {
    int64_t rawValue = 0;

    static const KittyKeyboardModifiers shift;
    static const KittyKeyboardModifiers alt;
    static const KittyKeyboardModifiers ctrl;
    static const KittyKeyboardModifiers super;
    static const KittyKeyboardModifiers hyper;
    static const KittyKeyboardModifiers meta;
    static const KittyKeyboardModifiers capsLock;
    static const KittyKeyboardModifiers numLock;

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(KittyKeyboardModifiers other) const
    {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    // True when any bit of other is set here.
    constexpr bool intersects(KittyKeyboardModifiers other) const { return (rawValue & other.rawValue) != 0; }
    constexpr void insert(KittyKeyboardModifiers other) { rawValue |= other.rawValue; }
    constexpr void remove(KittyKeyboardModifiers other) { rawValue &= ~other.rawValue; }

    friend constexpr KittyKeyboardModifiers operator|(KittyKeyboardModifiers a, KittyKeyboardModifiers b)
    {
        return {a.rawValue | b.rawValue};
    }
    friend constexpr KittyKeyboardModifiers operator&(KittyKeyboardModifiers a, KittyKeyboardModifiers b)
    {
        return {a.rawValue & b.rawValue};
    }
    friend constexpr KittyKeyboardModifiers operator^(KittyKeyboardModifiers a, KittyKeyboardModifiers b)
    {
        return {a.rawValue ^ b.rawValue};
    }
    friend constexpr KittyKeyboardModifiers operator-(KittyKeyboardModifiers a, KittyKeyboardModifiers b)
    {
        return {a.rawValue & ~b.rawValue};
    }
    constexpr bool operator==(const KittyKeyboardModifiers &) const = default;
};

inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::shift{1};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::alt{2};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::ctrl{4};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::super{8};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::hyper{16};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::meta{32};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::capsLock{64};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::numLock{128};

} // namespace kestrix
