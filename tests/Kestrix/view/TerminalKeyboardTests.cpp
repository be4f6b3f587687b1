#include "Kestrix/view/KeyText.h"
#include "Kestrix/view/StandardKeyBindings.h"
#include "Kestrix/view/TerminalKeyboard.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrix {
namespace {

using Flags = KittyKeyboardFlags;
using Mods = KittyKeyboardModifiers;
using Context = TerminalKeyboard::Context;
namespace Fk = FunctionKeyCharacter;

constexpr KeyModifierFlags shift = KeyModifierFlags::shift;
constexpr KeyModifierFlags control = KeyModifierFlags::control;
constexpr KeyModifierFlags option = KeyModifierFlags::option;
constexpr KeyModifierFlags command = KeyModifierFlags::command;
constexpr KeyModifierFlags function = KeyModifierFlags::function;
constexpr KeyModifierFlags numericPad = KeyModifierFlags::numericPad;

const Context normalCursor{};
const Context applicationCursor{{}, true};

Context kitty(Flags flags, bool application = false)
{
    return Context{flags, application};
}

// Builds a key record the way the view's adaptor fills it.
class Keystroke {
public:
    Keystroke(uint16_t keyCode, std::string characters, std::string charactersIgnoringModifiers)
    {
        event_.keyCode = keyCode;
        event_.characters = std::move(characters);
        event_.charactersIgnoringModifiers = std::move(charactersIgnoringModifiers);
    }

    Keystroke &with(KeyModifierFlags flags)
    {
        event_.modifierFlags = event_.modifierFlags | flags;
        return *this;
    }
    Keystroke &repeated()
    {
        event_.isARepeat = true;
        return *this;
    }
    Keystroke &typing(std::string characters)
    {
        event_.characters = std::move(characters);
        return *this;
    }
    operator PlatformKeyEvent() const { return event_; }

private:
    PlatformKeyEvent event_;
};

Keystroke letter(uint16_t keyCode, std::string typed)
{
    return Keystroke(keyCode, typed, typed);
}

// A key without a character: arrows, function and editing keys.
Keystroke functionKey(uint16_t keyCode, char32_t character)
{
    const std::string text = encodeUtf8(character);
    return Keystroke(keyCode, text, text).with(function);
}

Keystroke up()
{
    return functionKey(126, Fk::upArrow).with(numericPad);
}
Keystroke down()
{
    return functionKey(125, Fk::downArrow).with(numericPad);
}
Keystroke left()
{
    return functionKey(123, Fk::leftArrow).with(numericPad);
}
Keystroke right()
{
    return functionKey(124, Fk::rightArrow).with(numericPad);
}
Keystroke home()
{
    return functionKey(115, Fk::home);
}
Keystroke end()
{
    return functionKey(119, Fk::end);
}
Keystroke pageUp()
{
    return functionKey(116, Fk::pageUp);
}
Keystroke pageDown()
{
    return functionKey(121, Fk::pageDown);
}
Keystroke forwardDelete()
{
    return functionKey(117, Fk::deleteForward);
}
Keystroke f(int number)
{
    static constexpr uint16_t keyCodes[] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
    return functionKey(keyCodes[number - 1], Fk::f1 + static_cast<char32_t>(number - 1));
}
Keystroke returnKey()
{
    return letter(36, "\r");
}
Keystroke tab()
{
    return letter(48, "\t");
}
Keystroke backspace()
{
    return letter(51, "\x7f");
}
Keystroke escapeKey()
{
    return letter(53, "\x1b");
}

std::string str(const std::vector<uint8_t> &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string str(const std::optional<std::vector<uint8_t>> &bytes)
{
    return bytes ? str(*bytes) : "<nothing>";
}

// What reaches the host, one entry per send, with the input system played by the standard key
// bindings: a bound key becomes a text command, any other key becomes text input.
class KeyboardHarness {
public:
    std::vector<std::string> press(const PlatformKeyEvent &event, Context context)
    {
        std::vector<std::string> trace;
        for (const KeyboardAction &action : keyboard.keyDown(event, context)) {
            if (action.kind != KeyboardAction::Kind::interpretKeyEvents) {
                record(action, trace);
                continue;
            }
            if (const auto selector = StandardKeyBindings::textCommand(event)) {
                for (const KeyboardAction &commandAction : keyboard.doCommand(*selector, context))
                    record(commandAction, trace);
            } else {
                keyboard.takePendingKittyKeyEvent();
                trace.push_back("<text " + event.characters.value_or("") + ">");
            }
        }
        return trace;
    }

    // The bytes of a key that sends exactly once.
    std::string sendOf(const PlatformKeyEvent &event, Context context)
    {
        const std::vector<std::string> trace = press(event, context);
        if (trace.size() != 1)
            return "<" + std::to_string(trace.size()) + " actions>";
        return trace.front();
    }

    TerminalKeyboard keyboard;

private:
    static void record(const KeyboardAction &action, std::vector<std::string> &trace)
    {
        switch (action.kind) {
        case KeyboardAction::Kind::send:
            trace.push_back(str(action.bytes));
            break;
        case KeyboardAction::Kind::scrollPageUp:
            trace.push_back("<scroll page up>");
            break;
        case KeyboardAction::Kind::scrollPageDown:
            trace.push_back("<scroll page down>");
            break;
        case KeyboardAction::Kind::scrollToTop:
            trace.push_back("<scroll to top>");
            break;
        case KeyboardAction::Kind::scrollToBottom:
            trace.push_back("<scroll to bottom>");
            break;
        case KeyboardAction::Kind::interpretKeyEvents:
            trace.push_back("<input system>");
            break;
        }
    }
};

struct KeyCase {
    const char *name;
    PlatformKeyEvent event;
    Context context;
    std::string expected;
};

void expectSends(KeyboardHarness &harness, const std::vector<KeyCase> &cases)
{
    for (const KeyCase &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(harness.sendOf(testCase.event, testCase.context), testCase.expected);
    }
}

TEST(TerminalKeyboard, CursorKeysFollowTheCursorKeyMode)
{
    KeyboardHarness harness;
    expectSends(harness, {
                             {"Up", up(), normalCursor, "\x1b[A"},
                             {"Down", down(), normalCursor, "\x1b[B"},
                             {"Right", right(), normalCursor, "\x1b[C"},
                             {"Left", left(), normalCursor, "\x1b[D"},
                             {"Home", home(), normalCursor, "\x1b[H"},
                             {"End", end(), normalCursor, "\x1b[F"},
                             {"Up, application", up(), applicationCursor, "\x1bOA"},
                             {"Down, application", down(), applicationCursor, "\x1bOB"},
                             {"Right, application", right(), applicationCursor, "\x1bOC"},
                             {"Left, application", left(), applicationCursor, "\x1bOD"},
                             {"Home, application", home(), applicationCursor, "\x1bOH"},
                             {"End, application", end(), applicationCursor, "\x1bOF"},
                         });
}

TEST(TerminalKeyboard, FunctionKeysSendTheVt220Sequences)
{
    const char *expected[] = {"\x1bOP",   "\x1bOQ",   "\x1bOR",   "\x1bOS",   "\x1b[15~", "\x1b[17~",
                              "\x1b[18~", "\x1b[19~", "\x1b[20~", "\x1b[21~", "\x1b[23~", "\x1b[24~"};
    KeyboardHarness harness;
    for (int number = 1; number <= 12; ++number) {
        SCOPED_TRACE(number);
        EXPECT_EQ(harness.sendOf(f(number), normalCursor), expected[number - 1]);
        EXPECT_EQ(harness.sendOf(f(number), applicationCursor), expected[number - 1]);
    }
}

TEST(TerminalKeyboard, ControlKeysSendControlCharacters)
{
    const auto ctrl = [](uint16_t keyCode, std::string key) { return letter(keyCode, key).with(control); };
    KeyboardHarness harness;
    expectSends(harness,
                {
                    {"Control+a", ctrl(0, "a"), normalCursor, "\x01"},
                    {"Control+Shift+A", ctrl(0, "A").with(shift), normalCursor, "\x01"},
                    {"Control+z", ctrl(6, "z"), normalCursor, "\x1a"},
                    {"Control+[", ctrl(33, "["), normalCursor, "\x1b"},
                    {"Control+]", ctrl(30, "]"), normalCursor, "\x1d"},
                    {"Control+\\", ctrl(42, "\\"), normalCursor, "\x1c"},
                    {"Control+_", ctrl(27, "_").with(shift), normalCursor, "\x1f"},
                    {"Control+^", ctrl(22, "^").with(shift), normalCursor, "\x1e"},
                    {"Control+6", ctrl(22, "6"), normalCursor, "\x1e"},
                    {"Control+space", ctrl(49, " "), normalCursor, std::string(1, '\0')},
                    {"Control+1 sends nothing", ctrl(18, "1"), normalCursor, ""},
                    {"Control+Return sends nothing", ctrl(36, "\r"), normalCursor, ""},
                    {"Control+e acute on the 2 key sends nothing", ctrl(19, "\xc3\xa9"), normalCursor, ""},
                    {"Control+Cyrillic es on the C key", ctrl(8, "\xd1\x81"), normalCursor, "\x03"},
                    {"Control+Left", left().with(control), normalCursor, "\x1b[1;5D"},
                    {"Control+Right", right().with(control), normalCursor, "\x1b[1;5C"},
                    {"Control+Up sends nothing", up().with(control), normalCursor, ""},
                });
}

TEST(TerminalKeyboard, EditingKeys)
{
    KeyboardHarness harness;
    expectSends(harness, {
                             {"Return", returnKey(), normalCursor, "\r"},
                             {"Tab", tab(), normalCursor, "\t"},
                             {"Shift+Tab", Keystroke(48, "\x19", "\x19").with(shift), normalCursor, "\x1b[Z"},
                             {"Escape", escapeKey(), normalCursor, "\x1b"},
                             {"Backspace", backspace(), normalCursor, "\x7f"},
                             {"forward delete", forwardDelete(), normalCursor, "\x1b[3~"},
                             {"a letter is text", letter(0, "a"), normalCursor, "<text a>"},
                         });
    harness.keyboard.setBackspaceSendsControlH(true);
    EXPECT_EQ(harness.sendOf(backspace(), normalCursor), "\x08");
}

TEST(TerminalKeyboard, OptionAsMetaPrefixesEscapeButKeepsKeysWithoutCharacters)
{
    KeyboardHarness harness;
    const PlatformKeyEvent optionX = letter(7, "x").typing("\xe2\x89\x88").with(option);
    harness.keyboard.setOptionAsMetaKey(false);
    EXPECT_EQ(harness.press(optionX, normalCursor), (std::vector<std::string>{"<text \xe2\x89\x88>"}));

    harness.keyboard.setOptionAsMetaKey(true);
    EXPECT_EQ(harness.press(optionX, normalCursor), (std::vector<std::string>{"\x1b", "x"}));
    expectSends(harness, {
                             {"Option+Left", left().with(option), normalCursor,
                              "\x1b"
                              "b"},
                             {"Option+Right", right().with(option), normalCursor,
                              "\x1b"
                              "f"},
                             {"Option+Up", up().with(option), normalCursor, "\x1b[A"},
                             {"Option+Down, application", down().with(option), applicationCursor, "\x1bOB"},
                             {"Option+F5", f(5).with(option), normalCursor, "\x1b[15~"},
                             {"Option+forward delete", forwardDelete().with(option), normalCursor, "\x1b[3~"},
                             {"Option+Page Up", pageUp().with(option), normalCursor, "\x1b[5~"},
                             {"Option+Home", home().with(option), normalCursor, "\x1b[H"},
                             {"Option+Return", returnKey().with(option), normalCursor, "<2 actions>"},
                         });
}

TEST(TerminalKeyboard, AltIsMetaFromTheStartAndAltGrStillComposes)
{
    KeyboardHarness harness;
    EXPECT_TRUE(harness.keyboard.optionAsMetaKey());
    const Context disambiguate = kitty(Flags::disambiguateEscapeCodes);
    expectSends(
        harness,
        {
            {"Alt+b moves back a word in bash", letter(11, "b").with(option), normalCursor, "<2 actions>"},
            {"Alt+b, Kitty", letter(11, "b").with(option), disambiguate, "\x1b[98;3u"},
            // AltGr is no modifier of its own: the key arrives as the character it
            // composed (German AltGr+Q and AltGr+E).
            {"AltGr+q composes an at sign", letter(12, "@"), normalCursor, "<text @>"},
            {"AltGr+e composes a euro sign", letter(14, "\xe2\x82\xac"), normalCursor, "<text \xe2\x82\xac>"},
            {"AltGr+q, Kitty", letter(12, "@"), disambiguate, "<text @>"},
        });
    EXPECT_EQ(harness.press(letter(11, "b").with(option), normalCursor),
              (std::vector<std::string>{"\x1b", "b"}));
    EXPECT_EQ(harness.press(letter(11, "B").with(option | shift), normalCursor),
              (std::vector<std::string>{"\x1b", "B"}));
}

TEST(TerminalKeyboard, CommandOptionOTogglesMeta)
{
    KeyboardHarness harness;
    const PlatformKeyEvent commandOptionO = letter(31, "o").typing("\xc3\xb8").with(command | option);
    EXPECT_EQ(harness.keyboard.keyDown(commandOptionO, normalCursor),
              std::vector<KeyboardAction>{KeyboardAction::interpretKeyEvents()});
    EXPECT_FALSE(harness.keyboard.optionAsMetaKey());

    EXPECT_TRUE(harness.keyboard.keyDown(commandOptionO, kitty(Flags::disambiguateEscapeCodes)).empty());
    EXPECT_TRUE(harness.keyboard.optionAsMetaKey());
}

TEST(TerminalKeyboard, PlainPageKeysReachTheProgramAndShiftedPagingKeysScrollTheView)
{
    KeyboardHarness harness;
    const Context disambiguate = kitty(Flags::disambiguateEscapeCodes);
    expectSends(
        harness,
        {
            {"Page Up", pageUp(), normalCursor, "\x1b[5~"},
            {"Page Up, application", pageUp(), applicationCursor, "\x1b[5~"},
            {"Page Down", pageDown(), normalCursor, "\x1b[6~"},
            {"Page Down, application", pageDown(), applicationCursor, "\x1b[6~"},
            {"Page Up, Kitty", pageUp(), disambiguate, "\x1b[5~"},
            {"Page Down, Kitty", pageDown(), disambiguate, "\x1b[6~"},
            {"Shift+Page Up", pageUp().with(shift), normalCursor, "<scroll page up>"},
            {"Shift+Page Down", pageDown().with(shift), applicationCursor, "<scroll page down>"},
            {"Shift+Home", home().with(shift), normalCursor, "<scroll to top>"},
            {"Shift+End", end().with(shift), applicationCursor, "<scroll to bottom>"},
            {"Shift+Page Up, Kitty", pageUp().with(shift), disambiguate, "<scroll page up>"},
            {"Shift+End, Kitty", end().with(shift), disambiguate, "<scroll to bottom>"},
            {"Shift+Page Up with Caps Lock", pageUp().with(shift | KeyModifierFlags::capsLock), normalCursor,
             "<scroll page up>"},
            {"Shift+Alt+Page Up is the program's", pageUp().with(shift | option), normalCursor, "\x1b[5~"},
        });

    // The page commands of the input system are the program's too.
    for (const char *selector : {"pageUp:", "scrollPageUp:"}) {
        EXPECT_EQ(harness.keyboard.doCommand(selector, normalCursor),
                  std::vector<KeyboardAction>{KeyboardAction::send("\x1b[5~")});
        EXPECT_EQ(harness.keyboard.doCommand(selector, applicationCursor),
                  std::vector<KeyboardAction>{KeyboardAction::send("\x1b[5~")});
    }
    for (const char *selector : {"pageDown:", "scrollPageDown:"}) {
        EXPECT_EQ(harness.keyboard.doCommand(selector, normalCursor),
                  std::vector<KeyboardAction>{KeyboardAction::send("\x1b[6~")});
    }
    EXPECT_EQ(harness.keyboard.doCommand("pageDownAndModifySelection:", normalCursor),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b[6~")});
    EXPECT_TRUE(harness.keyboard.doCommand("pageDownAndModifySelection:", applicationCursor).empty());
}

TEST(TerminalKeyboard, UnknownTextCommandsAreReportedAndSendNothing)
{
    TerminalKeyboard keyboard;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(keyboard.doCommand("moveUpAndModifySelection:", normalCursor).empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unhandle selector moveUpAndModifySelection:\n");
}

TEST(TerminalKeyboard, KittyModeEncodesFunctionalAndModifiedKeysAndLeavesTextToTheInputSystem)
{
    KeyboardHarness harness;
    const Context disambiguate = kitty(Flags::disambiguateEscapeCodes, true);
    expectSends(
        harness,
        {
            {"Control+a", letter(0, "a").typing("\x01").with(control), disambiguate, "\x1b[97;5u"},
            {"Escape", escapeKey(), disambiguate, "\x1b[27u"},
            {"Up", up(), disambiguate, "\x1b[A"},
            {"Shift+Tab", Keystroke(48, "\x19", "\x19").with(shift), disambiguate, "\x1b[9;2u"},
            {"Control+Backspace", backspace().with(control), disambiguate, "\x1b[127;5u"},
            {"Return", returnKey(), disambiguate, "\r"},
            {"F5", f(5), disambiguate, "\x1b[15~"},
            {"Keypad 1", Keystroke(83, "1", "1").with(numericPad), disambiguate, "\x1b[57400u"},
            {"Page Up without cursor mode", pageUp(), kitty(Flags::disambiguateEscapeCodes), "\x1b[5~"},
            {"Home command", home(), disambiguate, "\x1b[H"},
        });

    const PlatformKeyEvent a = letter(0, "a");
    EXPECT_EQ(harness.keyboard.keyDown(a, disambiguate),
              std::vector<KeyboardAction>{KeyboardAction::interpretKeyEvents()});
    ASSERT_TRUE(harness.keyboard.pendingKittyKeyEvent());
    EXPECT_EQ(harness.keyboard.pendingKittyKeyEvent()->eventType, KittyKeyboardEventType::press);
    EXPECT_EQ(harness.keyboard.pendingKittyKeyEvent()->event.charactersIgnoringModifiers, "a");
}

TEST(TerminalKeyboard, KittyCommandsUseThePendingKeysModifiers)
{
    TerminalKeyboard keyboard;
    const Context flags = kitty(Flags::disambiguateEscapeCodes);
    EXPECT_EQ(keyboard.keyDown(returnKey().with(shift), flags),
              std::vector<KeyboardAction>{KeyboardAction::interpretKeyEvents()});
    EXPECT_EQ(keyboard.doCommand("insertNewline:", flags),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b[13;2u")});
    EXPECT_EQ(keyboard.doCommand("insertBacktab:", flags),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b[9;2u")});
    // Commands the protocol has no key for keep their legacy bytes.
    EXPECT_EQ(keyboard.doCommand("moveToLeftEndOfLine:", flags),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b"
                                                               "b")});

    keyboard.takePendingKittyKeyEvent();
    EXPECT_EQ(keyboard.doCommand("insertNewline:", flags),
              std::vector<KeyboardAction>{KeyboardAction::send("\r")});
    // While an input method composes, the encoder reports nothing and the legacy bytes go out.
    keyboard.setKittyIsComposing(true);
    EXPECT_EQ(keyboard.doCommand("deleteBackward:", flags),
              std::vector<KeyboardAction>{KeyboardAction::send("\x7f")});
}

TEST(TerminalKeyboard, KittyRepeatsAreReportedOnlyWithEventTypes)
{
    TerminalKeyboard keyboard;
    const Flags eventTypes = Flags::reportEventTypes;
    const Flags allKeys = Flags::reportAllKeysAsEscapeCodes;
    EXPECT_EQ(keyboard.keyDown(up().repeated(), kitty(eventTypes)),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b[1;1:2A")});
    EXPECT_EQ(keyboard.keyDown(up().repeated(), kitty(Flags::disambiguateEscapeCodes)),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b[A")});
    EXPECT_EQ(keyboard.keyDown(letter(0, "a").with(control).repeated(), kitty(eventTypes)),
              std::vector<KeyboardAction>{KeyboardAction::send("\x1b[97;5:2u")});

    keyboard.keyDown(letter(0, "a").repeated(), kitty(eventTypes | allKeys));
    EXPECT_EQ(keyboard.pendingKittyKeyEvent()->eventType, KittyKeyboardEventType::repeatPress);
    keyboard.keyDown(letter(0, "a").repeated(), kitty(eventTypes));
    EXPECT_EQ(keyboard.pendingKittyKeyEvent()->eventType, KittyKeyboardEventType::press);
}

TEST(TerminalKeyboard, KeyUpIsReportedOnlyWithEventTypes)
{
    TerminalKeyboard keyboard;
    const Flags eventTypes = Flags::reportEventTypes;
    const Flags allKeys = Flags::reportAllKeysAsEscapeCodes;
    const auto release = [&](const PlatformKeyEvent &event, Flags flags) {
        return str(keyboard.keyUp(event, kitty(flags)));
    };
    EXPECT_EQ(str(keyboard.keyUp(up(), normalCursor)), "<nothing>");
    EXPECT_EQ(release(up(), Flags::disambiguateEscapeCodes), "<nothing>");
    EXPECT_EQ(release(up(), eventTypes), "\x1b[1;1:3A");
    EXPECT_EQ(release(letter(0, "a"), eventTypes), "<nothing>");
    EXPECT_EQ(release(letter(0, "a").with(control), eventTypes), "\x1b[97;5:3u");
    EXPECT_EQ(release(letter(0, "a"), eventTypes | allKeys), "\x1b[97;1:3u");
    EXPECT_EQ(release(returnKey().with(control), eventTypes), "<nothing>");
    EXPECT_EQ(release(tab().with(control), eventTypes), "<nothing>");
    EXPECT_EQ(release(returnKey(), eventTypes | allKeys), "\x1b[13;1:3u");
    EXPECT_EQ(release(Keystroke(83, "1", "1").with(numericPad), eventTypes), "\x1b[57400;1:3u");
}

TEST(TerminalKeyboard, ModifierKeysAreReportedUnderAllKeysAsEscapeCodes)
{
    TerminalKeyboard keyboard;
    const Flags eventTypes = Flags::reportEventTypes;
    const Flags allKeys = Flags::reportAllKeysAsEscapeCodes;
    const PlatformKeyEvent leftShiftDown = Keystroke(56, "", "").with(shift);
    const PlatformKeyEvent leftShiftUp = Keystroke(56, "", "");
    const auto change = [&](const PlatformKeyEvent &event, Flags flags) {
        return str(keyboard.flagsChanged(event, kitty(flags)));
    };
    EXPECT_EQ(change(leftShiftDown, eventTypes | allKeys), "\x1b[57441;2u");
    EXPECT_EQ(change(leftShiftUp, eventTypes | allKeys), "\x1b[57441;1:3u");
    EXPECT_EQ(change(leftShiftDown, allKeys), "\x1b[57441;2u");
    EXPECT_EQ(change(leftShiftUp, allKeys), "<nothing>");
    EXPECT_EQ(change(leftShiftDown, eventTypes | Flags::disambiguateEscapeCodes), "<nothing>");
    // Option counts whatever the Meta setting says.
    EXPECT_EQ(change(Keystroke(61, "", "").with(option | shift), allKeys), "\x1b[57449;4u");
    EXPECT_EQ(change(Keystroke(54, "", "").with(command), allKeys), "\x1b[57450;9u");
    EXPECT_EQ(change(Keystroke(57, "", "").with(KeyModifierFlags::capsLock), allKeys), "\x1b[57358;65u");
    EXPECT_EQ(change(Keystroke(63, "", ""), allKeys), "<nothing>");

    keyboard.setKittyIsComposing(true);
    EXPECT_EQ(change(leftShiftDown, eventTypes | allKeys), "<nothing>");
}

TEST(TerminalKeyboard, KittyKeyEventsCarryTheShiftedAndBaseLayoutKeys)
{
    TerminalKeyboard keyboard;
    const auto press = KittyKeyboardEventType::press;

    const auto shifted = keyboard.kittyKeyEvent(letter(0, "A").with(shift), press, std::nullopt);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->key, KittyKey::unicode('a'));
    EXPECT_EQ(shifted->shiftedKey, U'A');
    EXPECT_EQ(shifted->baseLayoutKey, std::nullopt);
    EXPECT_EQ(shifted->modifiers, Mods::shift);

    // A Cyrillic layout: the key in the "a" position types ef.
    const auto cyrillic = keyboard.kittyKeyEvent(letter(3, "\xd0\xa4").with(shift), press, "x");
    ASSERT_TRUE(cyrillic);
    EXPECT_EQ(cyrillic->key, KittyKey::unicode(U'ф'));
    EXPECT_EQ(cyrillic->shiftedKey, U'Ф');
    EXPECT_EQ(cyrillic->baseLayoutKey, U'f');
    EXPECT_EQ(cyrillic->text, "x");

    EXPECT_EQ(keyboard.kittyKeyEvent(Keystroke(0, "", ""), press, std::nullopt), std::nullopt);

    const auto optionA = letter(0, "a").with(option | control | command | KeyModifierFlags::capsLock);
    keyboard.setOptionAsMetaKey(false);
    EXPECT_EQ(keyboard.kittyKeyEvent(optionA, press, std::nullopt)->modifiers,
              Mods::ctrl | Mods::super | Mods::capsLock);
    keyboard.setOptionAsMetaKey(true);
    EXPECT_EQ(keyboard.kittyKeyEvent(optionA, press, std::nullopt)->modifiers,
              Mods::alt | Mods::ctrl | Mods::super | Mods::capsLock);
}

TEST(TerminalKeyboard, FunctionalKeysComeFromKeypadCodesAndFunctionCharacters)
{
    using Key = KittyFunctionalKey;
    struct Case {
        PlatformKeyEvent event;
        std::optional<Key> expected;
    };
    const Case cases[] = {
        {Keystroke(83, "1", "1"), Key::keypad1},
        {Keystroke(91, "8", "8"), Key::keypad8},
        {Keystroke(76, "\x03", "\x03"), Key::keypadEnter},
        {up(), Key::up},
        {functionKey(200, Fk::upArrow).with(numericPad), Key::keypadUp},
        {functionKey(200, Fk::home).with(numericPad), Key::keypadHome},
        {f(1), Key::f1},
        {functionKey(0, 0xF715), Key::f18},
        {functionKey(0, Fk::f35), Key::f35},
        {functionKey(0, Fk::menu), Key::menu},
        {functionKey(0, Fk::begin), std::nullopt},
        {letter(0, "a"), std::nullopt},
        {Keystroke(0, "", ""), std::nullopt},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.event.keyCode);
        EXPECT_EQ(TerminalKeyboard::kittyFunctionalKey(testCase.event), testCase.expected);
    }
    EXPECT_EQ(TerminalKeyboard::kittyTextForFunctionalKey(Key::keypad1, Keystroke(83, "1", "1")), "1");
    EXPECT_EQ(TerminalKeyboard::kittyTextForFunctionalKey(Key::keypadEnter, Keystroke(76, "\x03", "\x03")),
              std::nullopt);
    EXPECT_EQ(TerminalKeyboard::kittyTextForFunctionalKey(Key::up, up()), std::nullopt);
}

TEST(StandardKeyBindings, EditingKeysBecomeTextCommandsAndKeysWithoutCharactersNeverBecomeText)
{
    struct Case {
        const char *name;
        PlatformKeyEvent event;
        std::optional<std::string_view> expected;
    };
    const Case cases[] = {
        {"Up", up(), "moveUp:"},
        {"Shift+Up", up().with(shift), "moveUpAndModifySelection:"},
        {"Command+Left", left().with(command), "moveToLeftEndOfLine:"},
        {"Home", home(), "scrollToBeginningOfDocument:"},
        {"Shift+Page Down", functionKey(121, Fk::pageDown).with(shift), "pageDownAndModifySelection:"},
        {"Return", returnKey(), "insertNewline:"},
        {"Shift+Tab", tab().with(shift), "insertBacktab:"},
        {"Control+Up", up().with(control), "noop:"},
        {"F13", functionKey(105, 0xF710), "noop:"},
        {"a", letter(0, "a"), std::nullopt},
        {"Option+e", letter(14, "e").with(option), std::nullopt},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(StandardKeyBindings::textCommand(testCase.event), testCase.expected);
    }
}

} // namespace
} // namespace kestrix
