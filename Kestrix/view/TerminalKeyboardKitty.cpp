// How platform key events become Kitty key events: functional keys, keypad text, base-layout
// keys, modifier bits and modifier keys.

#include "Kestrix/view/KeyMapping.h"
#include "Kestrix/view/KeyText.h"
#include "Kestrix/view/TerminalKeyboard.h"

#include <array>
#include <unicode/uchar.h>

namespace kestrix {
namespace {

using Key = KittyFunctionalKey;
namespace Fk = FunctionKeyCharacter;

// Keys of the numeric keypad, by key code.
constexpr auto keypadKeyCodes = std::to_array<KeyMapping<uint16_t, Key>>({
    {65, Key::keypadDecimal},
    {67, Key::keypadMultiply},
    {69, Key::keypadAdd},
    {71, Key::keypadBegin},
    {75, Key::keypadDivide},
    {76, Key::keypadEnter},
    {78, Key::keypadSubtract},
    {81, Key::keypadEqual},
    {82, Key::keypad0},
    {83, Key::keypad1},
    {84, Key::keypad2},
    {85, Key::keypad3},
    {86, Key::keypad4},
    {87, Key::keypad5},
    {88, Key::keypad6},
    {89, Key::keypad7},
    {91, Key::keypad8},
    {92, Key::keypad9},
});

// Function-key characters that come from the numeric keypad (navigation with Num Lock off).
constexpr auto keypadFunctionCharacters = std::to_array<KeyMapping<char32_t, Key>>({
    {Fk::upArrow, Key::keypadUp},
    {Fk::downArrow, Key::keypadDown},
    {Fk::leftArrow, Key::keypadLeft},
    {Fk::rightArrow, Key::keypadRight},
    {Fk::insert, Key::keypadInsert},
    {Fk::deleteForward, Key::keypadDelete},
    {Fk::home, Key::keypadHome},
    {Fk::end, Key::keypadEnd},
    {Fk::pageUp, Key::keypadPageUp},
    {Fk::pageDown, Key::keypadPageDown},
});

constexpr auto functionCharacters = std::to_array<KeyMapping<char32_t, Key>>({
    {Fk::upArrow, Key::up},
    {Fk::downArrow, Key::down},
    {Fk::leftArrow, Key::left},
    {Fk::rightArrow, Key::right},
    {Fk::insert, Key::insert},
    {Fk::deleteForward, Key::delete_},
    {Fk::home, Key::home},
    {Fk::end, Key::end},
    {Fk::pageUp, Key::pageUp},
    {Fk::pageDown, Key::pageDown},
    {Fk::printScreen, Key::printScreen},
    {Fk::scrollLock, Key::scrollLock},
    {Fk::pause, Key::pause},
    {Fk::menu, Key::menu},
});

constexpr bool isArrowKeyCode(uint16_t keyCode)
{
    return keyCode >= 123 && keyCode <= 126;
}

// The US layout, by key code.
constexpr auto baseLayoutKeys = std::to_array<KeyMapping<uint16_t, char32_t>>({
    {0, 'a'},   {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},   {6, 'z'},  {7, 'x'},
    {8, 'c'},   {9, 'v'},  {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'},  {15, 'r'}, {16, 'y'},
    {17, 't'},  {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'},  {23, '5'}, {24, '='},
    {25, '9'},  {26, '7'}, {27, '-'}, {28, '8'}, {29, '0'}, {30, ']'},  {31, 'o'}, {32, 'u'},
    {33, '['},  {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {39, '\''}, {40, 'k'}, {41, ';'},
    {42, '\\'}, {43, ','}, {44, '/'}, {45, 'n'}, {46, 'm'}, {47, '.'},  {49, ' '}, {50, '`'},
});
static_assert(baseLayoutKeys.size() == 48);

struct ModifierKey {
    uint16_t keyCode;
    Key key;
    KeyModifierFlags heldWhen;
};

constexpr auto modifierKeys = std::to_array<ModifierKey>({
    {54, Key::rightSuper, KeyModifierFlags::command},
    {55, Key::leftSuper, KeyModifierFlags::command},
    {56, Key::leftShift, KeyModifierFlags::shift},
    {57, Key::capsLock, KeyModifierFlags::capsLock},
    {58, Key::leftAlt, KeyModifierFlags::option},
    {59, Key::leftControl, KeyModifierFlags::control},
    {60, Key::rightShift, KeyModifierFlags::shift},
    {61, Key::rightAlt, KeyModifierFlags::option},
    {62, Key::rightControl, KeyModifierFlags::control},
});

std::optional<char32_t> firstScalar(const std::optional<std::string> &text)
{
    if (!text || text->empty())
        return std::nullopt;
    return decodeUtf8Scalars(*text).front();
}

bool carriesKeypadText(Key key)
{
    return (key >= Key::keypad0 && key <= Key::keypadAdd) || key == Key::keypadEqual ||
           key == Key::keypadSeparator;
}

} // namespace

std::optional<KittyFunctionalKey> TerminalKeyboard::kittyFunctionalKey(const PlatformKeyEvent &event)
{
    if (auto keypadKey = lookUp(keypadKeyCodes, event.keyCode))
        return keypadKey;
    const std::optional<char32_t> scalar = firstScalar(event.charactersIgnoringModifiers);
    if (!scalar)
        return std::nullopt;
    if (event.modifierFlags.contains(KeyModifierFlags::numericPad) && !isArrowKeyCode(event.keyCode)) {
        if (auto keypadKey = lookUp(keypadFunctionCharacters, *scalar))
            return keypadKey;
    }
    if (*scalar >= Fk::f1 && *scalar <= Fk::f35)
        return static_cast<Key>(static_cast<int>(Key::f1) + static_cast<int>(*scalar - Fk::f1));
    return lookUp(functionCharacters, *scalar);
}

std::optional<std::string> TerminalKeyboard::kittyTextForFunctionalKey(KittyFunctionalKey key,
                                                                       const PlatformKeyEvent &event)
{
    if (!carriesKeypadText(key))
        return std::nullopt;
    const std::optional<std::string> &text =
        event.characters ? event.characters : event.charactersIgnoringModifiers;
    if (!text || text->empty())
        return std::nullopt;
    return text;
}

std::optional<KittyKeyEvent> TerminalKeyboard::kittyKeyEvent(const PlatformKeyEvent &event,
                                                             KittyKeyboardEventType eventType,
                                                             std::optional<std::string> text) const
{
    const std::optional<char32_t> scalar = firstScalar(event.charactersIgnoringModifiers);
    if (!scalar)
        return std::nullopt;
    const auto lowered = static_cast<char32_t>(u_tolower(static_cast<UChar32>(*scalar)));

    KittyKeyEvent keyEvent;
    keyEvent.key = KittyKey::unicode(lowered);
    keyEvent.modifiers = kittyModifiers(event.modifierFlags, optionAsMetaKey_);
    keyEvent.eventType = eventType;
    keyEvent.text = std::move(text);
    if (event.modifierFlags.contains(KeyModifierFlags::shift))
        keyEvent.shiftedKey = firstScalar(event.characters);
    const std::optional<char32_t> baseLayoutKey = kittyBaseLayoutKey(event.keyCode);
    if (baseLayoutKey != lowered)
        keyEvent.baseLayoutKey = baseLayoutKey;
    keyEvent.composing = kittyIsComposing_;
    return keyEvent;
}

std::optional<char32_t> TerminalKeyboard::kittyBaseLayoutKey(uint16_t keyCode)
{
    return lookUp(baseLayoutKeys, keyCode);
}

KittyKeyboardModifiers TerminalKeyboard::kittyModifiers(KeyModifierFlags flags, bool includeOption)
{
    using Mods = KittyKeyboardModifiers;
    Mods modifiers;
    if (flags.contains(KeyModifierFlags::shift))
        modifiers.insert(Mods::shift);
    if (flags.contains(KeyModifierFlags::control))
        modifiers.insert(Mods::ctrl);
    if (includeOption && flags.contains(KeyModifierFlags::option))
        modifiers.insert(Mods::alt);
    if (flags.contains(KeyModifierFlags::command))
        modifiers.insert(Mods::super);
    if (flags.contains(KeyModifierFlags::capsLock))
        modifiers.insert(Mods::capsLock);
    return modifiers;
}

std::optional<KittyFunctionalKey> TerminalKeyboard::kittyModifierKey(uint16_t keyCode)
{
    for (const ModifierKey &entry : modifierKeys) {
        if (entry.keyCode == keyCode)
            return entry.key;
    }
    return std::nullopt;
}

KeyModifierFlags TerminalKeyboard::modifierFlag(KittyFunctionalKey modifierKey)
{
    for (const ModifierKey &entry : modifierKeys) {
        if (entry.key == modifierKey)
            return entry.heldWhen;
    }
    return {};
}

} // namespace kestrix
