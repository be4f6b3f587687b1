#include "Kestrix/view/KittyKeyboardEncoder.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {
namespace {

using Flags = KittyKeyboardFlags;
using Mods = KittyKeyboardModifiers;
using Key = KittyFunctionalKey;
using Type = KittyKeyboardEventType;

constexpr Flags disambiguate = Flags::disambiguateEscapeCodes;
constexpr Flags eventTypes = Flags::reportEventTypes;
constexpr Flags alternates = Flags::reportAlternateKeys;
constexpr Flags allKeys = Flags::reportAllKeysAsEscapeCodes;
constexpr Flags associatedText = Flags::reportAssociatedText;

// Builds a key event one field at a time; unnamed fields keep their defaults.
class EventBuilder {
public:
    explicit EventBuilder(KittyKey key) { event_.key = key; }

    EventBuilder &mods(Mods modifiers)
    {
        event_.modifiers = modifiers;
        return *this;
    }
    EventBuilder &type(Type eventType)
    {
        event_.eventType = eventType;
        return *this;
    }
    EventBuilder &text(std::string text)
    {
        event_.text = std::move(text);
        return *this;
    }
    EventBuilder &shifted(char32_t key)
    {
        event_.shiftedKey = key;
        return *this;
    }
    EventBuilder &base(char32_t key)
    {
        event_.baseLayoutKey = key;
        return *this;
    }
    EventBuilder &composing()
    {
        event_.composing = true;
        return *this;
    }
    operator KittyKeyEvent() const { return event_; }

private:
    KittyKeyEvent event_;
};

EventBuilder event(char32_t scalar)
{
    return EventBuilder(KittyKey::unicode(scalar));
}

EventBuilder event(Key key)
{
    return EventBuilder(KittyKey::functional(key));
}

EventBuilder event(KittyKey key)
{
    return EventBuilder(key);
}

struct EncoderCase {
    const char *name;
    Flags flags;
    KittyKeyEvent event;
    std::optional<std::string> expected;
    bool applicationCursor = false;
    bool backspaceSendsControlH = false;
};

void expectEncodings(const std::vector<EncoderCase> &cases)
{
    for (const EncoderCase &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const KittyKeyboardEncoder encoder{testCase.flags, testCase.applicationCursor,
                                           testCase.backspaceSendsControlH};
        const std::optional<std::vector<uint8_t>> bytes = encoder.encode(testCase.event);
        std::optional<std::string> actual;
        if (bytes)
            actual = std::string(bytes->begin(), bytes->end());
        EXPECT_EQ(actual, testCase.expected);
    }
}

TEST(KittyKeyboardEncoder, DisambiguateSendsAmbiguousKeysAsSequencesAndPlainTextAsText)
{
    expectEncodings({
        {"Escape", disambiguate, event(Key::escape), "\x1b[27u"},
        {"Control+a", disambiguate, event('a').mods(Mods::ctrl).text("\x01"), "\x1b[97;5u"},
        {"Alt+a", disambiguate, event('a').mods(Mods::alt).text("a"), "\x1b[97;3u"},
        {"plain a", disambiguate, event('a').text("a"), "a"},
        {"Shift+a typed", disambiguate, event('a').mods(Mods::shift).text("A"), "A"},
        {"Up in application cursor mode", disambiguate, event(Key::up), "\x1b[A", true},
        {"Shift+Up", disambiguate, event(Key::up).mods(Mods::shift), "\x1b[1;2A"},
        {"F1", disambiguate, event(Key::f1), "\x1b[P"},
        {"Enter", disambiguate, event(Key::enter).text("\r"), "\r"},
        {"Backspace", disambiguate, event(Key::backspace), "\x7f"},
        {"Backspace sending ^H", disambiguate, event(Key::backspace), "\x08", false, true},
        {"Control+Backspace", disambiguate, event(Key::backspace).mods(Mods::ctrl), "\x1b[127;5u"},
        {"Shift+Tab", disambiguate, event(Key::tab).mods(Mods::shift), "\x1b[9;2u"},
        {"Keypad 1", disambiguate, event(Key::keypad1).text("1"), "\x1b[57400u"},
        {"Control+Insert", disambiguate, event(Key::insert).mods(Mods::ctrl), "\x1b[2;5~"},
        {"F13", disambiguate, event(Key::f13), "\x1b[57376u"},
        {"no key", disambiguate, event(KittyKey::none()).mods(Mods::ctrl), "\x1b[0;5u"},
        {"release without event types", disambiguate, event(Key::escape).type(Type::release), std::nullopt},
    });
}

TEST(KittyKeyboardEncoder, EventTypesKeepLegacyFormsForPressesAndReportRepeatsAndReleases)
{
    expectEncodings({
        {"Up", eventTypes, event(Key::up), "\x1bOA", true},
        {"Home, normal cursor mode", eventTypes, event(Key::home), "\x1b[H"},
        {"F1", eventTypes, event(Key::f1), "\x1bOP", true},
        {"F2", eventTypes, event(Key::f2), "\x1bOQ"},
        {"F3", eventTypes, event(Key::f3), "\x1b[13~", true},
        {"F4", eventTypes, event(Key::f4), "\x1bOS"},
        {"Page Up", eventTypes, event(Key::pageUp), "\x1b[5~"},
        {"Shift+Page Up", eventTypes, event(Key::pageUp).mods(Mods::shift), "\x1b[5;2~"},
        {"release of Up", eventTypes, event(Key::up).type(Type::release), "\x1b[1;1:3A", true},
        {"repeat of Up", eventTypes, event(Key::up).type(Type::repeatPress), "\x1b[1;1:2A"},
        {"release of F5", eventTypes, event(Key::f5).type(Type::release), "\x1b[15;1:3~"},
        {"release of a with text", eventTypes, event('a').type(Type::release).text("a"), std::nullopt},
        {"repeat of a with text", eventTypes, event('a').type(Type::repeatPress).text("a"), "a"},
        {"release of Control+a", eventTypes, event('a').mods(Mods::ctrl).type(Type::release), "\x1b[97;5:3u"},
        {"release of Enter", eventTypes, event(Key::enter).type(Type::release), std::nullopt},
        {"release of Tab", eventTypes, event(Key::tab).type(Type::release), std::nullopt},
        {"Alt+Enter", eventTypes, event(Key::enter).mods(Mods::alt), "\x1b\r"},
        {"Shift+Tab", eventTypes, event(Key::tab).mods(Mods::shift), "\x1b[Z"},
        {"Alt+Tab", eventTypes, event(Key::tab).mods(Mods::alt), "\x1b\t"},
        {"Escape", eventTypes, event(Key::escape), "\x1b"},
        {"Alt+Escape", eventTypes, event(Key::escape).mods(Mods::alt), "\x1b\x1b"},
        {"Control+Backspace", eventTypes, event(Key::backspace).mods(Mods::ctrl), "\x08"},
    });
}

TEST(KittyKeyboardEncoder, LegacyTextUsesControlBytesAndAltAsEscapePrefix)
{
    // Under event types alone a key press without text takes the legacy path.
    const auto press = [](char32_t key, Mods modifiers) { return event(key).mods(modifiers); };
    expectEncodings({
        {"Control+a", eventTypes, press('a', Mods::ctrl), "\x01"},
        {"Control+A", eventTypes, press('A', Mods::ctrl), "\x01"},
        {"Control+z", eventTypes, press('z', Mods::ctrl), "\x1a"},
        {"Control+[", eventTypes, press('[', Mods::ctrl), "\x1b"},
        {"Control+]", eventTypes, press(']', Mods::ctrl), "\x1d"},
        {"Control+\\", eventTypes, press('\\', Mods::ctrl), "\x1c"},
        {"Control+_", eventTypes, press('_', Mods::ctrl), "\x1f"},
        {"Control+^", eventTypes, press('^', Mods::ctrl), "\x1e"},
        {"Control+space", eventTypes, press(' ', Mods::ctrl), std::string(1, '\0')},
        {"Control+@", eventTypes, press('@', Mods::ctrl), std::string(1, '\0')},
        {"Control+2", eventTypes, press('2', Mods::ctrl), std::string(1, '\0')},
        {"Control+3", eventTypes, press('3', Mods::ctrl), "\x1b"},
        {"Control+6", eventTypes, press('6', Mods::ctrl), "\x1e"},
        {"Control+8", eventTypes, press('8', Mods::ctrl), "\x7f"},
        {"Control+?", eventTypes, press('?', Mods::ctrl), "\x7f"},
        {"Control+/", eventTypes, press('/', Mods::ctrl), "\x1f"},
        {"Control+1 stays 1", eventTypes, press('1', Mods::ctrl), "1"},
        {"Control+9 stays 9", eventTypes, press('9', Mods::ctrl), "9"},
        {"Control+e acute has no control byte", eventTypes, press(U'é', Mods::ctrl), "\xc3\xa9"},
        {"Alt+x", eventTypes, press('x', Mods::alt), "\x1bx"},
        {"Alt+Control+a", eventTypes, press('a', Mods::alt | Mods::ctrl), "\x1b\x01"},
        {"Shift+1 types the shifted key", eventTypes, event('1').mods(Mods::shift).shifted(U'!'), "!"},
        {"Caps Lock is ignored", eventTypes, press('a', Mods::ctrl | Mods::capsLock), "\x01"},
        {"Control+Shift has no legacy form", eventTypes, press('a', Mods::ctrl | Mods::shift), "\x1b[97;6u"},
        {"Super has no legacy form", eventTypes, press('a', Mods::super), "\x1b[97;9u"},
        {"a surrogate is never sent as text", eventTypes, press(0xD800, Mods::alt), "\x1b[55296;3u"},
    });
}

TEST(KittyKeyboardEncoder, AllKeysAsEscapeCodesWithAssociatedTextAndAlternates)
{
    const Flags withText = allKeys | associatedText;
    expectEncodings({
        {"a", withText, event('a').text("a"), "\x1b[97;;97u"},
        {"Shift+a", withText, event('a').mods(Mods::shift).text("A"), "\x1b[97;2;65u"},
        {"Shift+a with the shifted key", withText | alternates,
         event('a').mods(Mods::shift).text("A").shifted(U'A'), "\x1b[97:65;2;65u"},
        {"base layout key without shift", withText | alternates,
         event(U'ф').text("ф").shifted(U'Ф').base(U'a'), "\x1b[1092::97;;1092u"},
        {"shifted and base layout keys", withText | alternates,
         event(U'ф').mods(Mods::shift).text("Ф").shifted(U'Ф').base(U'a'), "\x1b[1092:1060:97;2;1060u"},
        {"Keypad 1", withText, event(Key::keypad1).text("1"), "\x1b[57400;;49u"},
        {"Control+a carries no text", withText, event('a').mods(Mods::ctrl).text("\x01"), "\x1b[97;5u"},
        {"Escape never carries text", withText, event(Key::escape).text("\x1b"), "\x1b[27u"},
        {"Enter's control text is dropped", withText, event(Key::enter).text("\r"), "\x1b[13u"},
        {"control characters are left out of the text", withText,
         event('a').text("\x7f"
                         "a\xc2\x85"),
         "\x1b[97;;97u"},
        {"several scalars", withText, event(KittyKey::none()).text("e\xcc\x81"), "\x1b[0;;101:769u"},
        {"Up carries no text", withText, event(Key::up).text("x"), "\x1b[A"},
        {"text only with associated text", allKeys, event('a').text("a"), "\x1b[97u"},
        {"Caps Lock is reported", allKeys, event('a').mods(Mods::capsLock).text("a"), "\x1b[97;65u"},
        {"Num Lock is reported", allKeys, event('a').mods(Mods::numLock), "\x1b[97;129u"},
        {"Page Down", allKeys, event(Key::pageDown), "\x1b[6~"},
        {"Control+Home", allKeys, event(Key::home).mods(Mods::ctrl), "\x1b[1;5H"},
        {"alternates in a sequence without all keys", disambiguate | alternates,
         event('a').mods(Mods::ctrl | Mods::shift).shifted(U'A'), "\x1b[97:65;6u"},
    });
}

TEST(KittyKeyboardEncoder, AllKeysWithEventTypesReportsRepeatsAndReleasesOfEveryKey)
{
    const Flags flags = eventTypes | allKeys;
    expectEncodings({
        {"release of Enter", flags, event(Key::enter).type(Type::release), "\x1b[13;1:3u"},
        {"repeat of a", flags, event('a').type(Type::repeatPress).text("a"), "\x1b[97;1:2u"},
        {"press of a", flags, event('a').text("a"), "\x1b[97u"},
        {"release of Shift+a", flags, event('a').mods(Mods::shift).type(Type::release), "\x1b[97;2:3u"},
        {"release of Up", flags, event(Key::up).type(Type::release), "\x1b[1;1:3A"},
        {"release with text reports no text", flags | associatedText,
         event('a').type(Type::release).text("a"), "\x1b[97;1:3u"},
        {"repeat carries text", flags | associatedText, event('a').type(Type::repeatPress).text("a"),
         "\x1b[97;1:2;97u"},
    });
}

TEST(KittyKeyboardEncoder, ModifierKeysAreReportedOnlyAsEscapeCodes)
{
    const KittyKeyEvent shiftPress = event(Key::leftShift).mods(Mods::shift);
    const KittyKeyEvent shiftRelease = event(Key::leftShift).type(Type::release);
    const KittyKeyEvent composingShift = event(Key::leftShift).mods(Mods::shift).composing();
    expectEncodings({
        {"press", allKeys, shiftPress, "\x1b[57441;2u"},
        {"release", eventTypes | allKeys, shiftRelease, "\x1b[57441;1:3u"},
        {"release without event types", allKeys, shiftRelease, std::nullopt},
        {"last modifier key", eventTypes | allKeys, event(Key::isoLevel5Shift).type(Type::release),
         "\x1b[57454;1:3u"},
        {"without all keys", disambiguate | eventTypes, shiftPress, std::nullopt},
        {"while composing", allKeys, composingShift, "\x1b[57441;2u"},
        {"while composing without all keys", disambiguate, composingShift, std::nullopt},
        {"Caps Lock key is no modifier key", disambiguate, event(Key::capsLock), "\x1b[57358u"},
    });
}

TEST(KittyKeyboardEncoder, ComposingSuppressesEveryOtherKey)
{
    expectEncodings({
        {"a", Flags::all, event('a').text("a").composing(), std::nullopt},
        {"Enter", disambiguate, event(Key::enter).composing(), std::nullopt},
        {"Up", allKeys, event(Key::up).composing(), std::nullopt},
    });
}

TEST(KittyKeyboardEncoder, PrintableTextOnEnterIsSentAsTextAndOnBackspaceIsDropped)
{
    for (Flags flags : {disambiguate, eventTypes, allKeys, Flags::all}) {
        SCOPED_TRACE(flags.rawValue);
        expectEncodings({
            {"Enter commit", flags, event(Key::enter).text("日本"), "日本"},
            {"Backspace commit", flags, event(Key::backspace).text("x"), std::nullopt},
        });
    }
}

TEST(KittyKeyboardEncoder, AlternateKeysAloneLeaveTypedTextAsText)
{
    expectEncodings({
        {"Shift+a", alternates, event('a').mods(Mods::shift).text("A").shifted('A'), "A"},
        {"other layout", alternates, event(U'ф').text("ф").base('a'), "ф"},
        {"Control+Shift+a", alternates, event('a').mods(Mods::ctrl | Mods::shift).shifted('A'),
         "\x1b[97:65;6u"},
    });
}

TEST(KittyFunctionalKey, KeyNumbersFollowTheProtocolTable)
{
    const std::pair<Key, int64_t> numbers[] = {
        {Key::insert, 2},
        {Key::delete_, 3},
        {Key::pageUp, 5},
        {Key::pageDown, 6},
        {Key::f3, 13},
        {Key::f12, 24},
        {Key::f13, 57376},
        {Key::f35, 57398},
        {Key::menu, 57363},
        {Key::capsLock, 57358},
        {Key::pause, 57362},
        {Key::keypad0, 57399},
        {Key::keypad9, 57408},
        {Key::keypadBegin, 57427},
        {Key::mediaPlay, 57428},
        {Key::volumeMute, 57440},
        {Key::leftShift, 57441},
        {Key::rightMeta, 57452},
        {Key::isoLevel5Shift, 57454},
    };
    for (const auto &[key, number] : numbers) {
        SCOPED_TRACE(number);
        EXPECT_EQ(kittyFunctionalKeyCode(key).number, number);
    }
    EXPECT_EQ(kittyFunctionalKeyCode(Key::end).form, KittyKeyForm::letter);
    EXPECT_EQ(kittyFunctionalKeyCode(Key::end).number, 'F');
    EXPECT_TRUE(isKittyModifierKey(Key::leftShift));
    EXPECT_TRUE(isKittyModifierKey(Key::isoLevel5Shift));
    EXPECT_FALSE(isKittyModifierKey(Key::capsLock));
    EXPECT_FALSE(isKittyModifierKey(Key::volumeMute));
}

TEST(KittyKeyboardEventType, RawValuesAreTheWireValues)
{
    EXPECT_EQ(kittyKeyboardEventType(1), Type::press);
    EXPECT_EQ(kittyKeyboardEventType(2), Type::repeatPress);
    EXPECT_EQ(kittyKeyboardEventType(3), Type::release);
    EXPECT_EQ(kittyKeyboardEventType(0), std::nullopt);
    EXPECT_EQ(kittyKeyboardEventType(4), std::nullopt);
}

} // namespace
} // namespace kestrix
