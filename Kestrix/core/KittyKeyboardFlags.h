#pragma once

#include "Kestrix/core/OptionSet.h"

namespace kestrix {

// The progressive keyboard-enhancement flags a host program requests with CSI > u, CSI = u and
// friends. Only the low five bits have a meaning.
struct KittyKeyboardFlags : OptionSet<KittyKeyboardFlags> {
    static const KittyKeyboardFlags disambiguateEscapeCodes;
    static const KittyKeyboardFlags reportEventTypes;
    static const KittyKeyboardFlags reportAlternateKeys;
    static const KittyKeyboardFlags reportAllKeysAsEscapeCodes;
    static const KittyKeyboardFlags reportAssociatedText;
    // Every bit the protocol defines.
    static const KittyKeyboardFlags all;
};

inline constexpr KittyKeyboardFlags KittyKeyboardFlags::disambiguateEscapeCodes{1};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportEventTypes{2};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAlternateKeys{4};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAllKeysAsEscapeCodes{8};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAssociatedText{16};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::all{0x1F};

} // namespace kestrix
