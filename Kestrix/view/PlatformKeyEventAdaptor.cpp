#include "Kestrix/view/PlatformKeyEventAdaptor.h"

#include "Kestrix/view/KeyMapping.h"
#include "Kestrix/view/KeyText.h"
#include "Kestrix/view/TerminalKeyboard.h"

#include <QKeyEvent>

#include <array>
#include <xkbcommon/xkbcommon.h>

namespace kestrix {
namespace {

namespace Fk = FunctionKeyCharacter;

// Linux input key codes to Mac key codes. Keys a Mac keyboard lacks take the key in the same
// place: Insert is Help, Print, Scroll Lock and Pause are F13 to F15, Num Lock is Clear.
constexpr auto evdevKeyCodes = std::to_array<KeyMapping<uint32_t, uint16_t>>({
    {1, 53},    {2, 18},    {3, 19},    {4, 20},    {5, 21},    {6, 23},    {7, 22},    {8, 26},
    {9, 28},    {10, 25},   {11, 29},   {12, 27},   {13, 24},   {14, 51},   {15, 48},   {16, 12},
    {17, 13},   {18, 14},   {19, 15},   {20, 17},   {21, 16},   {22, 32},   {23, 34},   {24, 31},
    {25, 35},   {26, 33},   {27, 30},   {28, 36},   {29, 59},   {30, 0},    {31, 1},    {32, 2},
    {33, 3},    {34, 5},    {35, 4},    {36, 38},   {37, 40},   {38, 37},   {39, 41},   {40, 39},
    {41, 50},   {42, 56},   {43, 42},   {44, 6},    {45, 7},    {46, 8},    {47, 9},    {48, 11},
    {49, 45},   {50, 46},   {51, 43},   {52, 47},   {53, 44},   {54, 60},   {55, 67},   {56, 58},
    {57, 49},   {58, 57},   {59, 122},  {60, 120},  {61, 99},   {62, 118},  {63, 96},   {64, 97},
    {65, 98},   {66, 100},  {67, 101},  {68, 109},  {69, 71},   {70, 107},  {71, 89},   {72, 91},
    {73, 92},   {74, 78},   {75, 86},   {76, 87},   {77, 88},   {78, 69},   {79, 83},   {80, 84},
    {81, 85},   {82, 82},   {83, 65},   {86, 10},   {87, 103},  {88, 111},  {96, 76},   {97, 62},
    {98, 75},   {99, 105},  {100, 61},  {102, 115}, {103, 126}, {104, 116}, {105, 123}, {106, 124},
    {107, 119}, {108, 125}, {109, 121}, {110, 114}, {111, 117}, {117, 81},  {119, 113}, {125, 55},
    {126, 54},  {127, 110}, {183, 105}, {184, 107}, {185, 113}, {186, 106}, {187, 64},  {188, 79},
    {189, 80},  {190, 90},
});

// Keysyms of keys that type no text of their own, to the characters the key tables expect.
constexpr auto keysymCharacters = std::to_array<KeyMapping<uint32_t, char32_t>>({
    {XKB_KEY_BackSpace, 0x7F},
    {XKB_KEY_Tab, '\t'},
    {XKB_KEY_ISO_Left_Tab, 0x19},
    {XKB_KEY_Return, '\r'},
    {XKB_KEY_KP_Enter, 0x03},
    {XKB_KEY_Escape, 0x1B},
    {XKB_KEY_Delete, Fk::deleteForward},
    {XKB_KEY_Insert, Fk::insert},
    {XKB_KEY_Home, Fk::home},
    {XKB_KEY_Left, Fk::leftArrow},
    {XKB_KEY_Up, Fk::upArrow},
    {XKB_KEY_Right, Fk::rightArrow},
    {XKB_KEY_Down, Fk::downArrow},
    {XKB_KEY_Prior, Fk::pageUp},
    {XKB_KEY_Next, Fk::pageDown},
    {XKB_KEY_End, Fk::end},
    {XKB_KEY_Begin, Fk::begin},
    {XKB_KEY_Print, Fk::printScreen},
    {XKB_KEY_Scroll_Lock, Fk::scrollLock},
    {XKB_KEY_Pause, Fk::pause},
    {XKB_KEY_Menu, Fk::menu},
    {XKB_KEY_KP_Home, Fk::home},
    {XKB_KEY_KP_Left, Fk::leftArrow},
    {XKB_KEY_KP_Up, Fk::upArrow},
    {XKB_KEY_KP_Right, Fk::rightArrow},
    {XKB_KEY_KP_Down, Fk::downArrow},
    {XKB_KEY_KP_Prior, Fk::pageUp},
    {XKB_KEY_KP_Next, Fk::pageDown},
    {XKB_KEY_KP_End, Fk::end},
    {XKB_KEY_KP_Insert, Fk::insert},
    {XKB_KEY_KP_Delete, Fk::deleteForward},
});

// Key codes of keys whose keysym says more than a made-up event's scan code could.
constexpr auto keysymKeyCodes = std::to_array<KeyMapping<uint32_t, uint16_t>>({
    {XKB_KEY_Return, 36},
    {XKB_KEY_Tab, 48},
    {XKB_KEY_ISO_Left_Tab, 48},
    {XKB_KEY_space, 49},
    {XKB_KEY_BackSpace, 51},
    {XKB_KEY_Escape, 53},
    {XKB_KEY_Super_R, 54},
    {XKB_KEY_Meta_R, 54},
    {XKB_KEY_Super_L, 55},
    {XKB_KEY_Meta_L, 55},
    {XKB_KEY_Shift_L, 56},
    {XKB_KEY_Caps_Lock, 57},
    {XKB_KEY_Alt_L, 58},
    {XKB_KEY_Control_L, 59},
    {XKB_KEY_Shift_R, 60},
    {XKB_KEY_Alt_R, 61},
    {XKB_KEY_ISO_Level3_Shift, 61},
    {XKB_KEY_Control_R, 62},
    {XKB_KEY_KP_Decimal, 65},
    {XKB_KEY_KP_Multiply, 67},
    {XKB_KEY_KP_Add, 69},
    {XKB_KEY_Num_Lock, 71},
    {XKB_KEY_KP_Begin, 71},
    {XKB_KEY_KP_Divide, 75},
    {XKB_KEY_KP_Enter, 76},
    {XKB_KEY_KP_Subtract, 78},
    {XKB_KEY_KP_Equal, 81},
    {XKB_KEY_KP_0, 82},
    {XKB_KEY_KP_1, 83},
    {XKB_KEY_KP_2, 84},
    {XKB_KEY_KP_3, 85},
    {XKB_KEY_KP_4, 86},
    {XKB_KEY_KP_5, 87},
    {XKB_KEY_KP_6, 88},
    {XKB_KEY_KP_7, 89},
    {XKB_KEY_KP_8, 91},
    {XKB_KEY_KP_9, 92},
    {XKB_KEY_F5, 96},
    {XKB_KEY_F6, 97},
    {XKB_KEY_F7, 98},
    {XKB_KEY_F3, 99},
    {XKB_KEY_F8, 100},
    {XKB_KEY_F9, 101},
    {XKB_KEY_F11, 103},
    {XKB_KEY_F13, 105},
    {XKB_KEY_Print, 105},
    {XKB_KEY_F10, 109},
    {XKB_KEY_Menu, 110},
    {XKB_KEY_F12, 111},
    {XKB_KEY_Pause, 113},
    {XKB_KEY_Insert, 114},
    {XKB_KEY_Home, 115},
    {XKB_KEY_Prior, 116},
    {XKB_KEY_Delete, 117},
    {XKB_KEY_F4, 118},
    {XKB_KEY_End, 119},
    {XKB_KEY_F2, 120},
    {XKB_KEY_Next, 121},
    {XKB_KEY_F1, 122},
    {XKB_KEY_Left, 123},
    {XKB_KEY_Right, 124},
    {XKB_KEY_Down, 125},
    {XKB_KEY_Up, 126},
    {XKB_KEY_Scroll_Lock, 107},
});

// The shifted characters of the US layout, by the key that types them.
constexpr auto usShiftedKeys = std::to_array<KeyMapping<char32_t, uint16_t>>({
    {'~', 50}, {'!', 18}, {'@', 19}, {'#', 20}, {'$', 21}, {'%', 23}, {'^', 22},
    {'&', 26}, {'*', 28}, {'(', 25}, {')', 29}, {'_', 27}, {'+', 24}, {'{', 33},
    {'}', 30}, {'|', 42}, {':', 41}, {'"', 39}, {'<', 43}, {'>', 47}, {'?', 44},
});

// Qt keys of made-up events to keysyms; printable Latin-1 keys are their own keysyms.
constexpr auto qtKeysyms = std::to_array<KeyMapping<int, uint32_t>>({
    {Qt::Key_Escape, XKB_KEY_Escape},
    {Qt::Key_Tab, XKB_KEY_Tab},
    {Qt::Key_Backtab, XKB_KEY_ISO_Left_Tab},
    {Qt::Key_Backspace, XKB_KEY_BackSpace},
    {Qt::Key_Return, XKB_KEY_Return},
    {Qt::Key_Enter, XKB_KEY_KP_Enter},
    {Qt::Key_Insert, XKB_KEY_Insert},
    {Qt::Key_Delete, XKB_KEY_Delete},
    {Qt::Key_Pause, XKB_KEY_Pause},
    {Qt::Key_Print, XKB_KEY_Print},
    {Qt::Key_Home, XKB_KEY_Home},
    {Qt::Key_End, XKB_KEY_End},
    {Qt::Key_Left, XKB_KEY_Left},
    {Qt::Key_Up, XKB_KEY_Up},
    {Qt::Key_Right, XKB_KEY_Right},
    {Qt::Key_Down, XKB_KEY_Down},
    {Qt::Key_PageUp, XKB_KEY_Prior},
    {Qt::Key_PageDown, XKB_KEY_Next},
    {Qt::Key_Shift, XKB_KEY_Shift_L},
    {Qt::Key_Control, XKB_KEY_Control_L},
    {Qt::Key_Meta, XKB_KEY_Super_L},
    {Qt::Key_Super_L, XKB_KEY_Super_L},
    {Qt::Key_Super_R, XKB_KEY_Super_R},
    {Qt::Key_Alt, XKB_KEY_Alt_L},
    {Qt::Key_AltGr, XKB_KEY_ISO_Level3_Shift},
    {Qt::Key_CapsLock, XKB_KEY_Caps_Lock},
    {Qt::Key_NumLock, XKB_KEY_Num_Lock},
    {Qt::Key_ScrollLock, XKB_KEY_Scroll_Lock},
    {Qt::Key_Menu, XKB_KEY_Menu},
    {Qt::Key_Clear, XKB_KEY_KP_Begin},
});

// Qt keys on the keypad to keypad keysyms.
constexpr auto qtKeypadKeysyms = std::to_array<KeyMapping<int, uint32_t>>({
    {Qt::Key_0, XKB_KEY_KP_0},
    {Qt::Key_1, XKB_KEY_KP_1},
    {Qt::Key_2, XKB_KEY_KP_2},
    {Qt::Key_3, XKB_KEY_KP_3},
    {Qt::Key_4, XKB_KEY_KP_4},
    {Qt::Key_5, XKB_KEY_KP_5},
    {Qt::Key_6, XKB_KEY_KP_6},
    {Qt::Key_7, XKB_KEY_KP_7},
    {Qt::Key_8, XKB_KEY_KP_8},
    {Qt::Key_9, XKB_KEY_KP_9},
    {Qt::Key_Asterisk, XKB_KEY_KP_Multiply},
    {Qt::Key_Plus, XKB_KEY_KP_Add},
    {Qt::Key_Comma, XKB_KEY_KP_Separator},
    {Qt::Key_Minus, XKB_KEY_KP_Subtract},
    {Qt::Key_Period, XKB_KEY_KP_Decimal},
    {Qt::Key_Slash, XKB_KEY_KP_Divide},
    {Qt::Key_Equal, XKB_KEY_KP_Equal},
    {Qt::Key_Enter, XKB_KEY_KP_Enter},
    {Qt::Key_Home, XKB_KEY_KP_Home},
    {Qt::Key_Left, XKB_KEY_KP_Left},
    {Qt::Key_Up, XKB_KEY_KP_Up},
    {Qt::Key_Right, XKB_KEY_KP_Right},
    {Qt::Key_Down, XKB_KEY_KP_Down},
    {Qt::Key_PageUp, XKB_KEY_KP_Prior},
    {Qt::Key_PageDown, XKB_KEY_KP_Next},
    {Qt::Key_End, XKB_KEY_KP_End},
    {Qt::Key_Insert, XKB_KEY_KP_Insert},
    {Qt::Key_Delete, XKB_KEY_KP_Delete},
    {Qt::Key_Clear, XKB_KEY_KP_Begin},
});

// X11's Lock modifier bit, which Qt does not report as a modifier of its own.
constexpr quint32 lockMask = 0x2;

bool isKeypadKeysym(uint32_t keysym)
{
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

// Keypad keys that move the cursor (Num Lock off) are not the keypad's digit keys.
bool isKeypadNavigationKeysym(uint32_t keysym)
{
    return keysym >= XKB_KEY_KP_Home && keysym <= XKB_KEY_KP_Delete && keysym != XKB_KEY_KP_Begin;
}

bool isFunctionKeyCharacter(char32_t character)
{
    return character >= Fk::first && character <= Fk::last;
}

std::optional<char32_t> characterOfKeysym(uint32_t keysym)
{
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35)
        return static_cast<char32_t>(Fk::f1 + (keysym - XKB_KEY_F1));
    if (auto character = lookUp(keysymCharacters, keysym))
        return character;
    const char32_t scalar = xkb_keysym_to_utf32(keysym);
    if (scalar == 0 || !isUnicodeScalarValue(scalar))
        return std::nullopt;
    return scalar;
}

std::optional<uint16_t> usKeyCodeOfCharacter(char32_t character)
{
    if (character >= 'A' && character <= 'Z')
        character += 'a' - 'A';
    for (uint16_t keyCode = 0; keyCode <= 50; ++keyCode) {
        if (TerminalKeyboard::kittyBaseLayoutKey(keyCode) == character)
            return keyCode;
    }
    return lookUp(usShiftedKeys, character);
}

uint16_t keyCodeOf(const QKeyEvent &event, uint32_t keysym)
{
    if (isKeypadNavigationKeysym(keysym))
        return PlatformKeyEventAdaptor::unknownKeyCode;
    // X key codes are Linux input codes plus 8.
    if (event.nativeScanCode() > 8)
        return PlatformKeyEventAdaptor::keyCodeFromEvdev(event.nativeScanCode() - 8);
    if (auto keyCode = lookUp(keysymKeyCodes, keysym))
        return *keyCode;
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35)
        return PlatformKeyEventAdaptor::unknownKeyCode;
    if (auto character = characterOfKeysym(keysym)) {
        if (auto keyCode = usKeyCodeOfCharacter(*character))
            return *keyCode;
    }
    return PlatformKeyEventAdaptor::unknownKeyCode;
}

KeyModifierFlags modifierFlagsOf(const QKeyEvent &event, uint32_t keysym, uint16_t keyCode)
{
    const Qt::KeyboardModifiers qt = event.modifiers();
    KeyModifierFlags flags;
    if (qt.testFlag(Qt::ShiftModifier))
        flags = flags | KeyModifierFlags::shift;
    if (qt.testFlag(Qt::ControlModifier))
        flags = flags | KeyModifierFlags::control;
    if (qt.testFlag(Qt::AltModifier))
        flags = flags | KeyModifierFlags::option;
    if (qt.testFlag(Qt::MetaModifier))
        flags = flags | KeyModifierFlags::command;
    if (event.nativeModifiers() & lockMask)
        flags = flags | KeyModifierFlags::capsLock;
    // Arrows count as keypad keys, as on the keyboards the tables were written for.
    if (qt.testFlag(Qt::KeypadModifier) || isKeypadKeysym(keysym) || (keyCode >= 123 && keyCode <= 126))
        flags = flags | KeyModifierFlags::numericPad;

    if (const auto modifierKey = TerminalKeyboard::kittyModifierKey(keyCode)) {
        const KeyModifierFlags own = TerminalKeyboard::modifierFlag(*modifierKey);
        // Caps Lock is a lock: its press turns the lock over, its release leaves it.
        if (*modifierKey == KittyFunctionalKey::capsLock) {
            const bool wasLocked = event.nativeModifiers() & lockMask;
            if (event.type() == QEvent::KeyPress)
                flags = wasLocked ? flags - own : flags | own;
        } else {
            flags = event.type() == QEvent::KeyPress ? flags | own : flags - own;
        }
    }
    return flags;
}

uint32_t keysymOf(const QKeyEvent &event)
{
    if (event.nativeVirtualKey() != 0)
        return event.nativeVirtualKey();
    return PlatformKeyEventAdaptor::keysymFromQtKey(event.key(),
                                                    event.modifiers().testFlag(Qt::ShiftModifier),
                                                    event.modifiers().testFlag(Qt::KeypadModifier));
}

} // namespace

uint16_t PlatformKeyEventAdaptor::keyCodeFromEvdev(uint32_t evdevCode)
{
    return lookUp(evdevKeyCodes, evdevCode).value_or(unknownKeyCode);
}

uint32_t PlatformKeyEventAdaptor::keysymFromQtKey(int qtKey, bool shift, bool keypad)
{
    if (keypad) {
        if (auto keysym = lookUp(qtKeypadKeysyms, qtKey))
            return *keysym;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return XKB_KEY_F1 + static_cast<uint32_t>(qtKey - Qt::Key_F1);
    if (auto keysym = lookUp(qtKeysyms, qtKey))
        return *keysym;
    if (qtKey < 0x20 || qtKey > 0x10FFFF || (qtKey >= 0x7F && qtKey < 0xA0))
        return 0;
    // Qt names letter keys by their capital.
    const bool isCapital =
        (qtKey >= 'A' && qtKey <= 'Z') || (qtKey >= 0xC0 && qtKey <= 0xDE && qtKey != 0xD7);
    const auto character = static_cast<uint32_t>(isCapital && !shift ? qtKey + 0x20 : qtKey);
    return character < 0x100 ? character : xkb_utf32_to_keysym(character);
}

PlatformKeyEvent PlatformKeyEventAdaptor::fromQKeyEvent(const QKeyEvent &event)
{
    const uint32_t keysym = keysymOf(event);
    PlatformKeyEvent record;
    record.keyCode = keyCodeOf(event, keysym);
    record.modifierFlags = modifierFlagsOf(event, keysym, record.keyCode);
    record.isARepeat = event.isAutoRepeat();

    const std::optional<char32_t> character = characterOfKeysym(keysym);
    if (!character)
        return record;
    const std::string unmodified = encodeUtf8(*character);
    record.charactersIgnoringModifiers = unmodified;
    if (isFunctionKeyCharacter(*character)) {
        record.modifierFlags = record.modifierFlags | KeyModifierFlags::function;
        record.characters = unmodified;
    } else if (isControlCharacter(*character) || event.text().isEmpty()) {
        record.characters = unmodified;
    } else {
        record.characters = event.text().toStdString();
    }
    return record;
}

} // namespace kestrix
