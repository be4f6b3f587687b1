// Key events, input-method text and paste through a real view, with key events as the desktop
// delivers them: X key codes, keysyms and text from the US layout.

#include "Kestrix/view/PlatformKeyEventAdaptor.h"
#include "TerminalViewTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QtTest/QTest>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <string>
#include <xkbcommon/xkbcommon.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

const Qt::KeyboardModifiers none = Qt::NoModifier;
const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
const Qt::KeyboardModifiers alt = Qt::AltModifier;

// The US layout from the system's keyboard data.
class UsKeyboard {
public:
    UsKeyboard()
        : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
    {
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ~UsKeyboard()
    {
        xkb_keymap_unref(keymap_);
        xkb_context_unref(context_);
    }
    UsKeyboard(const UsKeyboard &) = delete;
    UsKeyboard &operator=(const UsKeyboard &) = delete;

    bool loaded() const { return keymap_ != nullptr; }

    QKeyEvent event(uint32_t evdevCode, Qt::KeyboardModifiers modifiers, QEvent::Type type = QEvent::KeyPress,
                    bool repeat = false, int qtKey = Qt::Key_unknown) const
    {
        xkb_state *state = xkb_state_new(keymap_);
        xkb_state_update_mask(state, modifierMask(modifiers), 0, 0, 0, 0, 0);
        const xkb_keycode_t code = evdevCode + 8;
        const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state, code);
        char text[16] = {};
        xkb_state_key_get_utf8(state, code, text, sizeof text);
        xkb_state_unref(state);
        return QKeyEvent(type, qtKey, modifiers, code, keysym, 0, QString::fromUtf8(text), repeat);
    }

private:
    xkb_mod_mask_t modifierMask(Qt::KeyboardModifiers modifiers) const
    {
        xkb_mod_mask_t mask = 0;
        const auto add = [&](const char *name) { mask |= 1u << xkb_keymap_mod_get_index(keymap_, name); };
        if (modifiers & Qt::ShiftModifier)
            add(XKB_MOD_NAME_SHIFT);
        if (modifiers & Qt::ControlModifier)
            add(XKB_MOD_NAME_CTRL);
        if (modifiers & Qt::AltModifier)
            add(XKB_MOD_NAME_ALT);
        return mask;
    }

    xkb_context *context_;
    xkb_keymap *keymap_ = nullptr;
};

class TerminalViewKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(keyboard.loaded()) << "the xkb-data package provides the US layout"; }

    void press(uint32_t evdevCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent down = keyboard.event(evdevCode, modifiers);
        QApplication::sendEvent(f.view, &down);
    }
    void release(uint32_t evdevCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent up = keyboard.event(evdevCode, modifiers, QEvent::KeyRelease);
        QApplication::sendEvent(f.view, &up);
    }
    std::string takeSent()
    {
        std::string text = f.host.sentText();
        f.host.sent.clear();
        return text;
    }

    UsKeyboard keyboard;
    ViewFixture f;
};

TEST_F(TerminalViewKeyboardTest, LegacyKeysSendTheirBytes)
{
    struct Case {
        const char *name;
        uint32_t key;
        Qt::KeyboardModifiers modifiers;
        bool applicationCursor;
        std::string expected;
    };
    const Case cases[] = {
        {"up", KEY_UP, none, false, "\x1b[A"},
        {"up, application mode", KEY_UP, none, true, "\x1bOA"},
        {"left", KEY_LEFT, none, false, "\x1b[D"},
        {"home", KEY_HOME, none, false, "\x1b[H"},
        {"home, application mode", KEY_HOME, none, true, "\x1bOH"},
        {"end, application mode", KEY_END, none, true, "\x1bOF"},
        {"F1", KEY_F1, none, false, "\x1bOP"},
        {"F5", KEY_F5, none, false, "\x1b[15~"},
        {"F6", KEY_F6, none, false, "\x1b[17~"},
        {"F12", KEY_F12, none, false, "\x1b[24~"},
        {"forward delete", KEY_DELETE, none, false, "\x1b[3~"},
        {"return", KEY_ENTER, none, false, "\r"},
        {"escape", KEY_ESC, none, false, "\x1b"},
        {"tab", KEY_TAB, none, false, "\t"},
        {"shift+tab", KEY_TAB, shift, false, "\x1b[Z"},
        {"backspace", KEY_BACKSPACE, none, false, "\x7f"},
        {"a", KEY_A, none, false, "a"},
        {"shift+a", KEY_A, shift, false, "A"},
        {"ctrl+a", KEY_A, ctrl, false, "\x01"},
        {"ctrl+[", KEY_LEFTBRACE, ctrl, false, "\x1b"},
        {"ctrl+]", KEY_RIGHTBRACE, ctrl, false, "\x1d"},
        {"ctrl+\\", KEY_BACKSLASH, ctrl, false, "\x1c"},
        {"ctrl+_", KEY_MINUS, ctrl | shift, false, "\x1f"},
        {"ctrl+^", KEY_6, ctrl | shift, false, "\x1e"},
        {"ctrl+6", KEY_6, ctrl, false, "\x1e"},
        {"ctrl+space", KEY_SPACE, ctrl, false, std::string(1, '\0')},
        {"ctrl+1", KEY_1, ctrl, false, ""},
        {"ctrl+left", KEY_LEFT, ctrl, false, "\x1b[1;5D"},
        {"ctrl+up", KEY_UP, ctrl, false, ""},
    };
    for (const Case &c : cases) {
        f.view->feedHostOutput(std::string_view(c.applicationCursor ? "\x1b[?1h" : "\x1b[?1l"));
        press(c.key, c.modifiers);
        EXPECT_EQ(takeSent(), c.expected) << c.name;
    }
}

TEST_F(TerminalViewKeyboardTest, ControlLettersOnACyrillicLayoutSendTheirControlCharacters)
{
    QKeyEvent controlEs(QEvent::KeyPress, 0x421, ctrl, KEY_C + 8, XKB_KEY_Cyrillic_es, 0);
    QApplication::sendEvent(f.view, &controlEs);
    EXPECT_EQ(takeSent(), "\x03");
}

TEST_F(TerminalViewKeyboardTest, BackspaceSendsControlHWhenAsked)
{
    f.view->setBackspaceSendsControlH(true);
    press(KEY_BACKSPACE);
    EXPECT_EQ(takeSent(), "\x08");
}

TEST_F(TerminalViewKeyboardTest, AltIsMetaFromTheStartAndKeepsNavigationKeys)
{
    press(KEY_B, alt);
    ASSERT_EQ(f.host.sent.size(), 2u);
    EXPECT_EQ(takeSent(), "\x1b"
                          "b");
    press(KEY_X, alt);
    ASSERT_EQ(f.host.sent.size(), 2u);
    EXPECT_EQ(takeSent(), "\x1bx");

    struct Case {
        uint32_t key;
        std::string expected;
    };
    const Case cases[] = {
        {KEY_LEFT, "\x1b"
                   "b"},
        {KEY_RIGHT, "\x1b"
                    "f"},
        {KEY_UP, "\x1b[A"},
        {KEY_F5, "\x1b[15~"},
        {KEY_DELETE, "\x1b[3~"},
    };
    for (const Case &c : cases) {
        press(c.key, alt);
        EXPECT_EQ(takeSent(), c.expected) << c.key;
    }
}

TEST_F(TerminalViewKeyboardTest, AltGrComposesTheCharacterOfItsLevel)
{
    // German layout: AltGr+Q types an at sign and AltGr+E a euro sign. AltGr reaches the view as
    // the group switch, never as Alt.
    struct Case {
        uint32_t key;
        int qtKey;
        uint32_t keysym;
        const char *text;
    };
    const Case cases[] = {
        {KEY_Q, Qt::Key_At, XKB_KEY_at, "@"},
        {KEY_E, 0x20AC, XKB_KEY_EuroSign, "\xe2\x82\xac"},
        {KEY_7, Qt::Key_BraceLeft, XKB_KEY_braceleft, "{"},
    };
    for (const Case &c : cases) {
        for (Qt::KeyboardModifiers modifiers :
             {Qt::KeyboardModifiers(none), Qt::KeyboardModifiers(Qt::GroupSwitchModifier)}) {
            QKeyEvent event(QEvent::KeyPress, c.qtKey, modifiers, c.key + 8, c.keysym, 0,
                            QString::fromUtf8(c.text));
            QApplication::sendEvent(f.view, &event);
            EXPECT_EQ(takeSent(), c.text);
        }
    }
}

TEST_F(TerminalViewKeyboardTest, PageKeysReachTheProgramAndShiftedPagingKeysScrollTheView)
{
    for (int i = 0; i < 100; ++i)
        f.view->feedHostOutput(std::string_view("line\r\n"));
    const int64_t bottom = f.terminal().buffer->yDisp();
    press(KEY_PAGEUP);
    press(KEY_PAGEDOWN);
    EXPECT_EQ(takeSent(), "\x1b[5~\x1b[6~");
    EXPECT_EQ(f.terminal().buffer->yDisp(), bottom);

    struct Case {
        uint32_t key;
        int64_t yDisp;
    };
    const Case cases[] = {
        {KEY_PAGEUP, bottom - 25}, {KEY_PAGEUP, bottom - 50}, {KEY_PAGEDOWN, bottom - 25}, {KEY_HOME, 0},
        {KEY_END, bottom},
    };
    for (const Case &c : cases) {
        press(c.key, shift);
        EXPECT_EQ(f.terminal().buffer->yDisp(), c.yDisp) << c.key;
    }
    EXPECT_EQ(takeSent(), "");

    f.view->feedHostOutput(std::string_view("\x1b[?1049h\x1b[?1h"));
    press(KEY_PAGEUP);
    press(KEY_PAGEDOWN);
    press(KEY_PAGEUP, shift);
    press(KEY_END, shift);
    EXPECT_EQ(takeSent(), "\x1b[5~\x1b[6~");
}

TEST_F(TerminalViewKeyboardTest, KittyModeEventsByFlags)
{
    struct Case {
        const char *name;
        std::string_view flags;
        uint32_t key;
        Qt::KeyboardModifiers modifiers;
        QEvent::Type type;
        bool repeat;
        std::string expected;
    };
    const auto press = QEvent::KeyPress;
    const auto release = QEvent::KeyRelease;
    const Case cases[] = {
        {"escape, disambiguated", "1", KEY_ESC, none, press, false, "\x1b[27u"},
        {"a stays text", "1", KEY_A, none, press, false, "a"},
        {"ctrl+a", "1", KEY_A, ctrl, press, false, "\x1b[97;5u"},
        {"alt+x is Meta", "1", KEY_X, alt, press, false, "\x1b[120;3u"},
        {"up", "1", KEY_UP, none, press, false, "\x1b[A"},
        {"tab", "1", KEY_TAB, none, press, false, "\t"},
        {"a as an escape code", "8", KEY_A, none, press, false, "\x1b[97u"},
        {"return as an escape code", "8", KEY_ENTER, none, press, false, "\x1b[13u"},
        {"a with its text", "24", KEY_A, none, press, false, "\x1b[97;;97u"},
        {"shift+a with its text", "24", KEY_A, shift, press, false, "\x1b[97;2;65u"},
        {"a released", "10", KEY_A, none, release, false, "\x1b[97;1:3u"},
        {"a repeated", "10", KEY_A, none, press, true, "\x1b[97;1:2u"},
        {"up released", "3", KEY_UP, none, release, false, "\x1b[1;1:3A"},
        {"return released without all keys", "3", KEY_ENTER, none, release, false, ""},
        {"release without event types", "8", KEY_A, none, release, false, ""},
        {"left shift pressed", "8", KEY_LEFTSHIFT, none, press, false, "\x1b[57441;2u"},
        {"left shift released", "10", KEY_LEFTSHIFT, shift, release, false, "\x1b[57441;1:3u"},
        {"left shift released without event types", "8", KEY_LEFTSHIFT, shift, release, false, ""},
        {"left shift without all keys", "3", KEY_LEFTSHIFT, none, press, false, ""},
    };
    for (const Case &c : cases) {
        f.view->feedHostOutput("\x1b[=" + std::string(c.flags) + "u");
        QKeyEvent event = keyboard.event(c.key, c.modifiers, c.type, c.repeat);
        QApplication::sendEvent(f.view, &event);
        EXPECT_EQ(takeSent(), c.expected) << c.name;
    }
}

TEST_F(TerminalViewKeyboardTest, TabReachesTheHostAndFocusStays)
{
    f.view->setFocus();
    QLineEdit *neighbour = new QLineEdit(&f.window);
    neighbour->show();
    QTest::keyClick(f.view, Qt::Key_Tab);
    QTest::keyClick(f.view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(takeSent(), "\t\x1b[Z");
    EXPECT_FALSE(neighbour->hasFocus());
}

TEST_F(TerminalViewKeyboardTest, ControlKeysBeatShortcutsButControlShiftLettersDoNot)
{
    QAction closeTab(&f.window);
    closeTab.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QAction palette(&f.window);
    palette.setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    f.window.addAction(&closeTab);
    f.window.addAction(&palette);
    int closeTabRuns = 0;
    int paletteRuns = 0;
    QObject::connect(&closeTab, &QAction::triggered, [&] { ++closeTabRuns; });
    QObject::connect(&palette, &QAction::triggered, [&] { ++paletteRuns; });
    f.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
    f.view->setFocus();

    QTest::keyClick(f.view, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(takeSent(), "\x17");
    EXPECT_EQ(closeTabRuns, 0);

    QTest::keyClick(f.view, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(takeSent(), "");
    EXPECT_EQ(paletteRuns, 1);
}

TEST_F(TerminalViewKeyboardTest, ControlShiftCopyPasteAndSelectAllNeverReachTheHostAsKeys)
{
    for (int i = 0; i < 30; ++i)
        f.view->feedHostOutput(std::string_view("line\r\n"));
    QTest::keyClick(f.view, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    const std::optional<SelectionEnds> all = f.view->selectionEnds();
    ASSERT_TRUE(all && all->active);
    EXPECT_EQ(all->start, (Position{0, 0}));
    // 500 lines of scrollback and 25 rows.
    EXPECT_EQ(all->end, (Position{79, 524}));
    QTest::keyClick(f.view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(takeSent(), "");
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("line\nline\n"));
    QGuiApplication::clipboard()->setText("pasted");
    QTest::keyClick(f.view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(takeSent(), "pasted");
}

TEST_F(TerminalViewKeyboardTest, HoldingCtrlMakesLinksActive)
{
    press(KEY_LEFTCTRL);
    EXPECT_TRUE(f.view->commandActive());
    press(KEY_LEFTSHIFT, ctrl);
    EXPECT_TRUE(f.view->commandActive());
    release(KEY_LEFTCTRL, ctrl | shift);
    EXPECT_FALSE(f.view->commandActive());
    EXPECT_EQ(takeSent(), "");
}

TEST_F(TerminalViewKeyboardTest, TypingEndsTheSelection)
{
    f.view->selectAll();
    press(KEY_A);
    ASSERT_TRUE(f.view->selectionEnds());
    EXPECT_FALSE(f.view->selectionEnds()->active);
    EXPECT_EQ(takeSent(), "a");
}

TEST_F(TerminalViewKeyboardTest, MadeUpKeyEventsGiveTheSameBytesAsTheDesktopsOnes)
{
    QTest::keyClick(f.view, Qt::Key_Up);
    QTest::keyClick(f.view, Qt::Key_F5);
    QTest::keyClick(f.view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(f.view, Qt::Key_BracketLeft, Qt::ControlModifier);
    QTest::keyClick(f.view, Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(f.view, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(f.view, Qt::Key_Backspace);
    QTest::keyClick(f.view, Qt::Key_Return);
    QTest::keyClicks(f.view, "Hi!");
    EXPECT_EQ(takeSent(), "\x1b[A\x1b[15~\x01\x1b\x1bx\x1b"
                          "b\x7f\rHi!");
}

TEST(PlatformKeyEventAdaptor, RecordsCarryMacKeyCodesAndFunctionKeyCharacters)
{
    UsKeyboard keyboard;
    ASSERT_TRUE(keyboard.loaded());
    const PlatformKeyEvent up = PlatformKeyEventAdaptor::fromQKeyEvent(keyboard.event(KEY_UP, none));
    EXPECT_EQ(up.keyCode, 126);
    EXPECT_EQ(up.charactersIgnoringModifiers, "\xEF\x9C\x80"); // U+F700
    EXPECT_TRUE(up.modifierFlags.contains(KeyModifierFlags::function | KeyModifierFlags::numericPad));

    const PlatformKeyEvent shiftA =
        PlatformKeyEventAdaptor::fromQKeyEvent(keyboard.event(KEY_A, shift | ctrl));
    EXPECT_EQ(shiftA.keyCode, 0);
    EXPECT_EQ(shiftA.charactersIgnoringModifiers, "A");
    EXPECT_EQ(shiftA.modifierFlags, KeyModifierFlags::shift | KeyModifierFlags::control);

    const PlatformKeyEvent backspace =
        PlatformKeyEventAdaptor::fromQKeyEvent(keyboard.event(KEY_BACKSPACE, none));
    EXPECT_EQ(backspace.keyCode, 51);
    EXPECT_EQ(backspace.characters, "\x7f");

    // Num Lock off: the keypad's 8 is its up key, not its digit.
    QKeyEvent keypadUp(QEvent::KeyPress, Qt::Key_Up, Qt::KeypadModifier, KEY_KP8 + 8, XKB_KEY_KP_Up, 0);
    const PlatformKeyEvent keypad = PlatformKeyEventAdaptor::fromQKeyEvent(keypadUp);
    EXPECT_EQ(TerminalKeyboard::kittyFunctionalKey(keypad), KittyFunctionalKey::keypadUp);
    QKeyEvent keypadEight(QEvent::KeyPress, Qt::Key_8, Qt::KeypadModifier, KEY_KP8 + 8, XKB_KEY_KP_8, 0, "8");
    EXPECT_EQ(TerminalKeyboard::kittyFunctionalKey(PlatformKeyEventAdaptor::fromQKeyEvent(keypadEight)),
              KittyFunctionalKey::keypad8);

    // A modifier key's own flag follows its press and release.
    const PlatformKeyEvent shiftDown =
        PlatformKeyEventAdaptor::fromQKeyEvent(keyboard.event(KEY_RIGHTSHIFT, none));
    EXPECT_EQ(shiftDown.keyCode, 60);
    EXPECT_TRUE(shiftDown.modifierFlags.contains(KeyModifierFlags::shift));
    const PlatformKeyEvent shiftUp =
        PlatformKeyEventAdaptor::fromQKeyEvent(keyboard.event(KEY_RIGHTSHIFT, shift, QEvent::KeyRelease));
    EXPECT_FALSE(shiftUp.modifierFlags.contains(KeyModifierFlags::shift));
}

// MARK: Text input

TEST_F(TerminalViewKeyboardTest, ComposingTextShowsOverTheCaretAndTheCommitIsSent)
{
    f.view->feedHostOutput(std::string_view("ab"));
    f.advance(20);
    QInputMethodEvent composing("にほ", {{QInputMethodEvent::Cursor, 2, 1, {}}});
    QApplication::sendEvent(f.view, &composing);
    ASSERT_NE(f.view->markedTextOverlay(), nullptr);
    EXPECT_EQ(f.view->markedTextOverlay()->text(), "にほ");
    EXPECT_EQ(f.view->markedTextOverlay()->pos(), QPoint(16, 0));
    EXPECT_TRUE(f.view->kittyIsComposing());
    EXPECT_EQ(takeSent(), "");

    QInputMethodEvent commit;
    commit.setCommitString("日本");
    QApplication::sendEvent(f.view, &commit);
    EXPECT_EQ(f.view->markedTextOverlay(), nullptr);
    EXPECT_FALSE(f.view->hasMarkedText());
    EXPECT_EQ(takeSent(), "日本");
}

TEST_F(TerminalViewKeyboardTest, OverlayWiderThanTheRoomRightOfTheCaretEndsAtTheEdgeButNotPastZero)
{
    f.view->feedHostOutput(std::string_view("\x1b[1;78H"));
    f.advance(20);
    f.view->setMarkedText("wide composing text", -1, 0);
    QLabel *overlay = f.view->markedTextOverlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry().right() + 1, f.view->width());

    f.view->setMarkedText(QString(400, 'x'), -1, 0);
    EXPECT_EQ(f.view->markedTextOverlay()->x(), 0);
}

TEST_F(TerminalViewKeyboardTest, EmptyComposingTextHidesTheOverlayButKeepsComposingUntilCancelled)
{
    f.view->setMarkedText("ka", 2, 0);
    f.view->setMarkedText("", 0, 0);
    EXPECT_EQ(f.view->markedTextOverlay(), nullptr);
    EXPECT_TRUE(f.view->kittyIsComposing());
    QInputMethodEvent cancel;
    QApplication::sendEvent(f.view, &cancel);
    EXPECT_FALSE(f.view->kittyIsComposing());
    EXPECT_EQ(takeSent(), "");
}

TEST_F(TerminalViewKeyboardTest, KittyCommitsAreSentAsTheirText)
{
    for (std::string_view flags : {"\x1b[=1u", "\x1b[=8u", "\x1b[=24u", "\x1b[=31u"}) {
        f.view->feedHostOutput(flags);
        f.view->setMarkedText("nihon", 5, 0);
        QInputMethodEvent commit;
        commit.setCommitString("日本\n");
        QApplication::sendEvent(f.view, &commit);
        EXPECT_EQ(takeSent(), "日本\n") << flags.substr(1);
        EXPECT_FALSE(f.view->kittyIsComposing());

        QInputMethodEvent oneCharacter;
        oneCharacter.setCommitString("é");
        QApplication::sendEvent(f.view, &oneCharacter);
        EXPECT_EQ(takeSent(), "é") << flags.substr(1);
    }
}

TEST_F(TerminalViewKeyboardTest, KittyTypedCharacterIsEncodedFromItsKeyAndAltComposedTextIsText)
{
    f.view->feedHostOutput(std::string_view("\x1b[=24u"));
    press(KEY_X);
    EXPECT_EQ(takeSent(), "\x1b[120;;120u");
    f.view->setOptionAsMetaKey(false);
    press(KEY_X, alt);
    EXPECT_EQ(takeSent(), "x");
}

// MARK: Paste

TEST_F(TerminalViewKeyboardTest, PasteIsBracketedInThreeSendsWhenTheHostAsked)
{
    f.view->insertText("ls\n", true);
    ASSERT_EQ(f.host.sent.size(), 1u);
    EXPECT_EQ(takeSent(), "ls\n");

    f.view->feedHostOutput(std::string_view("\x1b[?2004h"));
    f.view->insertText("ls\n", true);
    ASSERT_EQ(f.host.sent.size(), 3u);
    EXPECT_EQ(takeSent(), "\x1b[200~ls\n\x1b[201~");

    // An empty clipboard still sends the bracket.
    QGuiApplication::clipboard()->clear();
    f.view->paste();
    EXPECT_EQ(takeSent(), "\x1b[200~\x1b[201~");
}

TEST_F(TerminalViewKeyboardTest, BracketedPasteCannotEndTheBracketEarly)
{
    f.view->feedHostOutput(std::string_view("\x1b[?2004h"));
    f.view->insertText("echo safe\x1b[201~rm -rf ~\n\x1b[20\x1b[200~1~", true);
    EXPECT_EQ(takeSent(), "\x1b[200~echo saferm -rf ~\n\x1b[201~");
}

TEST_F(TerminalViewKeyboardTest, KittyModePasteIsItsTextWithLineBreaks)
{
    for (std::string_view flags : {"\x1b[=1u", "\x1b[=8u", "\x1b[=31u"}) {
        f.view->feedHostOutput(flags);
        f.view->feedHostOutput(std::string_view("\x1b[?2004l"));
        f.view->insertText("make\ntest\n", true);
        EXPECT_EQ(takeSent(), "make\ntest\n") << flags.substr(1);

        f.view->feedHostOutput(std::string_view("\x1b[?2004h"));
        f.view->insertText("make\n", true);
        ASSERT_EQ(f.host.sent.size(), 3u);
        EXPECT_EQ(takeSent(), "\x1b[200~make\n\x1b[201~") << flags.substr(1);
    }
}

} // namespace
} // namespace kestrix

namespace kestrix {
namespace {

TEST(TerminalViewMenuValidation, EditAndFindItemsByActionAndTag)
{
    testing::ViewFixture f;
    struct Case {
        std::string_view action;
        int64_t tag;
        bool enabled;
    };
    const Case cases[] = {
        {"paste:", 0, true},
        {"selectAll:", 0, true},
        // Nothing is selected.
        {"copy:", 0, false},
        {"performFindPanelAction:", 1, true},
        {"performFindPanelAction:", 3, true},
        {"performFindPanelAction:", 7, false},
        {"performFindPanelAction:", 11, false},
        {"performTextFinderAction:", 11, true},
        {"performTextFinderAction:", 13, true},
        {"performTextFinderAction:", 4, false},
        {"performTextFinderAction:", 0, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(f.view->validateUserInterfaceItem(c.action, c.tag), c.enabled) << c.action << " " << c.tag;
    }

    f.view->selectAll();
    EXPECT_TRUE(f.view->validateUserInterfaceItem("copy:", 0));
    EXPECT_TRUE(f.view->validateUserInterfaceItem("performFindPanelAction:", 7));
    EXPECT_TRUE(f.view->validateUserInterfaceItem("performTextFinderAction:", 7));

    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(f.view->validateUserInterfaceItem("cut:", 0));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Validating User Interface Item: cut:\n");
}

} // namespace
} // namespace kestrix
