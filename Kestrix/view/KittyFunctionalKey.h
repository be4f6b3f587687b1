#pragma once

#include <cstdint>

namespace kestrix {

// The keys that do not type a character, in the protocol's order. f13 to f35 and keypad0 to
// keypad9 are in numeric order; leftShift to isoLevel5Shift are the modifier keys.
enum class KittyFunctionalKey : uint8_t {
    escape,
    enter,
    tab,
    backspace,
    insert,
    delete_, // "delete" is a C++ keyword
    up,
    down,
    left,
    right,
    home,
    end,
    pageUp,
    pageDown,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    f13,
    f14,
    f15,
    f16,
    f17,
    f18,
    f19,
    f20,
    f21,
    f22,
    f23,
    f24,
    f25,
    f26,
    f27,
    f28,
    f29,
    f30,
    f31,
    f32,
    f33,
    f34,
    f35,
    menu,
    capsLock,
    scrollLock,
    numLock,
    printScreen,
    pause,
    keypad0,
    keypad1,
    keypad2,
    keypad3,
    keypad4,
    keypad5,
    keypad6,
    keypad7,
    keypad8,
    keypad9,
    keypadDecimal,
    keypadDivide,
    keypadMultiply,
    keypadSubtract,
    keypadAdd,
    keypadEnter,
    keypadEqual,
    keypadSeparator,
    keypadLeft,
    keypadRight,
    keypadUp,
    keypadDown,
    keypadPageUp,
    keypadPageDown,
    keypadHome,
    keypadEnd,
    keypadInsert,
    keypadDelete,
    keypadBegin,
    mediaPlay,
    mediaPause,
    mediaPlayPause,
    mediaReverse,
    mediaStop,
    mediaFastForward,
    mediaRewind,
    mediaTrackNext,
    mediaTrackPrevious,
    mediaRecord,
    volumeDown,
    volumeUp,
    volumeMute,
    leftShift,
    leftControl,
    leftAlt,
    leftSuper,
    leftHyper,
    leftMeta,
    rightShift,
    rightControl,
    rightAlt,
    rightSuper,
    rightHyper,
    rightMeta,
    isoLevel3Shift,
    isoLevel5Shift,
};

inline constexpr int kittyFunctionalKeyCount = 111;

// How a functional key is written: CSI number u, CSI 1;m letter (or SS3/CSI letter), CSI number;m ~,
// or one of Escape, Enter, Tab and Backspace, which keep their legacy bytes where they can.
enum class KittyKeyForm : uint8_t { special, csiU, letter, tilde };

struct KittyFunctionalKeyCode {
    KittyKeyForm form;
    // The key number for the CSI-u, tilde and special forms; the final byte for the letter form.
    int64_t number;
};

KittyFunctionalKeyCode kittyFunctionalKeyCode(KittyFunctionalKey key);

constexpr bool isKittyModifierKey(KittyFunctionalKey key)
{
    return key >= KittyFunctionalKey::leftShift && key <= KittyFunctionalKey::isoLevel5Shift;
}

} // namespace kestrix
