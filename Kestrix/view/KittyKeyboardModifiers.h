#pragma once

#include "Kestrix/core/OptionSet.h"

namespace kestrix {

// The modifier bits of a key event as the Kitty keyboard protocol reports them (the wire value is
// the raw value plus one). Lock bits are reported like any other modifier.
struct KittyKeyboardModifiers : OptionSet<KittyKeyboardModifiers> {
    static const KittyKeyboardModifiers shift;
    static const KittyKeyboardModifiers alt;
    static const KittyKeyboardModifiers ctrl;
    static const KittyKeyboardModifiers super;
    static const KittyKeyboardModifiers hyper;
    static const KittyKeyboardModifiers meta;
    static const KittyKeyboardModifiers capsLock;
    static const KittyKeyboardModifiers numLock;
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
