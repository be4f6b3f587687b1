#pragma once

#include "Kestrix/core/OptionSet.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

// The modifier state of a key event, in the terms the key tables use. Option is Alt; Command is
// Super; function is set for keys that type no character (arrows, function and editing keys).
struct KeyModifierFlags : OptionSet<KeyModifierFlags> {
    static const KeyModifierFlags shift;
    static const KeyModifierFlags control;
    static const KeyModifierFlags option;
    static const KeyModifierFlags command;
    static const KeyModifierFlags capsLock;
    static const KeyModifierFlags numericPad;
    static const KeyModifierFlags function;
};

inline constexpr KeyModifierFlags KeyModifierFlags::shift{1};
inline constexpr KeyModifierFlags KeyModifierFlags::control{2};
inline constexpr KeyModifierFlags KeyModifierFlags::option{4};
inline constexpr KeyModifierFlags KeyModifierFlags::command{8};
inline constexpr KeyModifierFlags KeyModifierFlags::capsLock{16};
inline constexpr KeyModifierFlags KeyModifierFlags::numericPad{32};
inline constexpr KeyModifierFlags KeyModifierFlags::function{64};

// The private-use characters that stand for keys without a character of their own.
namespace FunctionKeyCharacter {
inline constexpr char32_t upArrow = 0xF700;
inline constexpr char32_t downArrow = 0xF701;
inline constexpr char32_t leftArrow = 0xF702;
inline constexpr char32_t rightArrow = 0xF703;
inline constexpr char32_t f1 = 0xF704; // f1 ... f35 follow in order up to 0xF726
inline constexpr char32_t f12 = 0xF70F;
inline constexpr char32_t f35 = 0xF726;
inline constexpr char32_t insert = 0xF727;
inline constexpr char32_t deleteForward = 0xF728;
inline constexpr char32_t home = 0xF729;
inline constexpr char32_t begin = 0xF72A;
inline constexpr char32_t end = 0xF72B;
inline constexpr char32_t pageUp = 0xF72C;
inline constexpr char32_t pageDown = 0xF72D;
inline constexpr char32_t printScreen = 0xF72E;
inline constexpr char32_t scrollLock = 0xF72F;
inline constexpr char32_t pause = 0xF730;
inline constexpr char32_t menu = 0xF735;
// The block the platform reserves for these characters; none of it is text to send.
inline constexpr char32_t first = 0xF700;
inline constexpr char32_t last = 0xF8FF;
} // namespace FunctionKeyCharacter

// One key event as the key tables see it: the view's adaptor fills it from a toolkit key event,
// with the hardware key as a classic Mac virtual key code (0 is "a", 123 to 126 are the arrows,
// 54 to 62 the modifier keys) and keys without a character as FunctionKeyCharacter values.
struct PlatformKeyEvent {
    uint16_t keyCode = 0;
    // What the key types with every modifier applied; absent when it types nothing.
    std::optional<std::string> characters;
    // What the key types with Shift alone applied.
    std::optional<std::string> charactersIgnoringModifiers;
    KeyModifierFlags modifierFlags;
    bool isARepeat = false;
};

} // namespace kestrix
