#pragma once

#include <cstdint>

namespace kestrix {

// The progressive keyboard-enhancement flags a host program requests with CSI > u, CSI = u and
// friends. Only the low five bits have a meaning.
struct KittyKeyboardFlags {
    int64_t rawValue = 0;

    static const KittyKeyboardFlags disambiguateEscapeCodes;
    static const KittyKeyboardFlags reportEventTypes;
    static const KittyKeyboardFlags reportAlternateKeys;
    static const KittyKeyboardFlags reportAllKeysAsEscapeCodes;
    static const KittyKeyboardFlags reportAssociatedText;
    // Every bit the protocol defines.
    static const KittyKeyboardFlags all;

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(KittyKeyboardFlags other) const
    {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    constexpr void insert(KittyKeyboardFlags other) { rawValue |= other.rawValue; }
    constexpr void remove(KittyKeyboardFlags other) { rawValue &= ~other.rawValue; }

    friend constexpr KittyKeyboardFlags operator|(KittyKeyboardFlags a, KittyKeyboardFlags b)
    {
        return {a.rawValue | b.rawValue};
    }
    friend constexpr KittyKeyboardFlags operator&(KittyKeyboardFlags a, KittyKeyboardFlags b)
    {
        return {a.rawValue & b.rawValue};
    }
    constexpr bool operator==(const KittyKeyboardFlags &) const = default;
};

inline constexpr KittyKeyboardFlags KittyKeyboardFlags::disambiguateEscapeCodes{1};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportEventTypes{2};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAlternateKeys{4};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAllKeysAsEscapeCodes{8};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAssociatedText{16};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::all{0x1F};

} // namespace kestrix
