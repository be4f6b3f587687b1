#include "Kestrix/view/TerminalKeyboard.h"

#include "Kestrix/view/EscapeSequences.h"
#include "Kestrix/view/KeyText.h"
#include "Kestrix/view/StandardKeyBindings.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace kestrix {
namespace {

using Bytes = std::vector<uint8_t>;
using Flags = KittyKeyboardFlags;
using Key = KittyFunctionalKey;
using Type = KittyKeyboardEventType;
namespace Fk = FunctionKeyCharacter;

std::optional<char32_t> firstScalar(const std::optional<std::string> &text)
{
    if (!text || text->empty())
        return std::nullopt;
    return decodeUtf8Scalars(*text).front();
}

bool isKittyMode(TerminalKeyboard::Context context)
{
    return !context.kittyFlags.isEmpty();
}

// Legacy text commands: what each sends, by cursor mode where the two differ.
enum class CommandKind : uint8_t { fixed, cursor, deleteBackward, pageDownAndModifySelection };

struct LegacyCommand {
    std::string_view selector;
    CommandKind kind;
    std::string_view normal;
    std::string_view application;
};

using Seq = EscapeSequences;

constexpr auto legacyCommands = std::to_array<LegacyCommand>({
    {"insertNewline:", CommandKind::fixed, Seq::carriageReturn, {}},
    {"cancelOperation:", CommandKind::fixed, Seq::escape, {}},
    {"deleteBackward:", CommandKind::deleteBackward, {}, {}},
    {"moveUp:", CommandKind::cursor, Seq::moveUpNormal, Seq::moveUpApp},
    {"moveDown:", CommandKind::cursor, Seq::moveDownNormal, Seq::moveDownApp},
    {"moveLeft:", CommandKind::cursor, Seq::moveLeftNormal, Seq::moveLeftApp},
    {"moveRight:", CommandKind::cursor, Seq::moveRightNormal, Seq::moveRightApp},
    {"insertTab:", CommandKind::fixed, Seq::tab, {}},
    {"insertBacktab:", CommandKind::fixed, Seq::backTab, {}},
    {"moveToBeginningOfLine:", CommandKind::cursor, Seq::homeNormal, Seq::homeApp},
    {"scrollToBeginningOfDocument:", CommandKind::cursor, Seq::homeNormal, Seq::homeApp},
    {"moveToEndOfLine:", CommandKind::cursor, Seq::endNormal, Seq::endApp},
    {"scrollToEndOfDocument:", CommandKind::cursor, Seq::endNormal, Seq::endApp},
    {"scrollPageUp:", CommandKind::fixed, Seq::pageUp, {}},
    {"pageUp:", CommandKind::fixed, Seq::pageUp, {}},
    {"scrollPageDown:", CommandKind::fixed, Seq::pageDown, {}},
    {"pageDown:", CommandKind::fixed, Seq::pageDown, {}},
    {"pageDownAndModifySelection:", CommandKind::pageDownAndModifySelection, Seq::pageDown, {}},
    {"moveToLeftEndOfLine:", CommandKind::fixed, Seq::wordBackward, {}},
    {"moveToRightEndOfLine:", CommandKind::fixed, Seq::wordForward, {}},
});

// Text commands that stand for a functional key in the Kitty protocol.
struct KittyCommand {
    std::string_view selector;
    Key key;
    bool addsShift;
};

constexpr auto kittyCommands = std::to_array<KittyCommand>({
    {"insertNewline:", Key::enter, false},
    {"cancelOperation:", Key::escape, false},
    {"deleteBackward:", Key::backspace, false},
    {"moveUp:", Key::up, false},
    {"moveDown:", Key::down, false},
    {"moveLeft:", Key::left, false},
    {"moveRight:", Key::right, false},
    {"insertTab:", Key::tab, false},
    {"insertBacktab:", Key::tab, true},
    {"moveToBeginningOfLine:", Key::home, false},
    {"scrollToBeginningOfDocument:", Key::home, false},
    {"moveToEndOfLine:", Key::end, false},
    {"scrollToEndOfDocument:", Key::end, false},
    {"scrollPageUp:", Key::pageUp, false},
    {"pageUp:", Key::pageUp, false},
    {"scrollPageDown:", Key::pageDown, false},
    {"pageDown:", Key::pageDown, false},
});

template <typename Entry, std::size_t N>
const Entry *findCommand(const std::array<Entry, N> &table, std::string_view selector)
{
    const auto found = std::find_if(table.begin(), table.end(),
                                    [selector](const Entry &entry) { return entry.selector == selector; });
    return found == table.end() ? nullptr : &*found;
}

std::vector<KeyboardAction> sendAll(std::initializer_list<std::string_view> sends)
{
    std::vector<KeyboardAction> actions;
    for (std::string_view bytes : sends)
        actions.push_back(KeyboardAction::send(bytes));
    return actions;
}

std::vector<KeyboardAction> send(Bytes bytes)
{
    return {KeyboardAction::send(std::move(bytes))};
}

// Function keys the view sends itself; the rest go to the input system as text commands.
std::vector<KeyboardAction> legacyFunctionKey(char32_t character)
{
    if (character >= Fk::f1 && character <= Fk::f12)
        return sendAll({Seq::functionKeys[character - Fk::f1]});
    if (character == Fk::deleteForward)
        return sendAll({Seq::deleteForward});
    if (character == Fk::pageUp)
        return sendAll({Seq::pageUp});
    if (character == Fk::pageDown)
        return sendAll({Seq::pageDown});
    return {KeyboardAction::interpretKeyEvents()};
}

// Shift with a paging key moves the view through the scrollback, as on every Linux terminal; the
// keys without Shift belong to the program.
std::optional<KeyboardAction> viewportKey(const PlatformKeyEvent &event)
{
    const KeyModifierFlags ignored =
        KeyModifierFlags::capsLock | KeyModifierFlags::numericPad | KeyModifierFlags::function;
    if (event.modifierFlags - ignored != KeyModifierFlags::shift)
        return std::nullopt;
    switch (firstScalar(event.charactersIgnoringModifiers).value_or(0)) {
    case Fk::pageUp:
        return KeyboardAction::scrollPageUp();
    case Fk::pageDown:
        return KeyboardAction::scrollPageDown();
    case Fk::home:
        return KeyboardAction::scrollToTop();
    case Fk::end:
        return KeyboardAction::scrollToBottom();
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<PendingKittyKeyEvent> TerminalKeyboard::takePendingKittyKeyEvent()
{
    std::optional<PendingKittyKeyEvent> pending = std::move(pendingKittyKeyEvent_);
    pendingKittyKeyEvent_.reset();
    return pending;
}

KittyKeyboardEncoder TerminalKeyboard::encoder(Context context) const
{
    return KittyKeyboardEncoder{context.kittyFlags, context.applicationCursor, backspaceSendsControlH_};
}

std::vector<KeyboardAction> TerminalKeyboard::keyDown(const PlatformKeyEvent &event, Context context)
{
    if (const std::optional<KeyboardAction> scroll = viewportKey(event))
        return {*scroll};
    return isKittyMode(context) ? kittyKeyDown(event, context) : legacyKeyDown(event, context);
}

std::vector<KeyboardAction> TerminalKeyboard::legacyKeyDown(const PlatformKeyEvent &event, Context context)
{
    const KeyModifierFlags flags = event.modifierFlags;
    const std::optional<std::string> &characters = event.charactersIgnoringModifiers;
    if (flags.contains(KeyModifierFlags::command | KeyModifierFlags::option)) {
        if (characters == "o")
            optionAsMetaKey_ = !optionAsMetaKey_;
        return {KeyboardAction::interpretKeyEvents()};
    }

    const std::optional<char32_t> scalar = firstScalar(characters);
    // A key without a character of its own keeps its usual encoding under Meta: an ESC in front
    // of a private-use character would reach the host as garbage.
    const bool isFunctionKeyCharacter = scalar && *scalar >= Fk::first && *scalar <= Fk::last;
    if (flags.contains(KeyModifierFlags::option) && optionAsMetaKey_) {
        if (!scalar)
            return {};
        if (*scalar == Fk::rightArrow)
            return sendAll({Seq::wordForward});
        if (*scalar == Fk::leftArrow)
            return sendAll({Seq::wordBackward});
        if (!isFunctionKeyCharacter)
            return sendAll({Seq::escape, *characters});
        return withoutMeta(event, context);
    }

    if (!flags.contains(KeyModifierFlags::control)) {
        if (!flags.contains(KeyModifierFlags::function))
            return {KeyboardAction::interpretKeyEvents()};
        if (!scalar)
            return {};
        return legacyFunctionKey(*scalar);
    }

    if (!characters)
        return {KeyboardAction::interpretKeyEvents()};
    if (scalar == Fk::rightArrow)
        return sendAll({Seq::controlRight});
    if (scalar == Fk::leftArrow)
        return sendAll({Seq::controlLeft});
    Bytes bytes = controlKeyBytes(*characters);
    // On a layout without Latin letters Control+key still sends the control character of the
    // letter in the key's place, so Control+C interrupts whatever the layout.
    const std::optional<char32_t> baseLayoutKey = kittyBaseLayoutKey(event.keyCode);
    if (bytes.empty() && scalar > 0x7F && baseLayoutKey >= U'a' && baseLayoutKey <= U'z')
        bytes = controlKeyBytes(encodeUtf8(*baseLayoutKey));
    return send(std::move(bytes));
}

// The key as it is sent without Option, resolved through the standard bindings here because the
// input system would bind the key with Option held.
std::vector<KeyboardAction> TerminalKeyboard::withoutMeta(const PlatformKeyEvent &event, Context context)
{
    PlatformKeyEvent plain = event;
    plain.modifierFlags = plain.modifierFlags - KeyModifierFlags::option;
    std::vector<KeyboardAction> actions;
    for (KeyboardAction &action : legacyKeyDown(plain, context)) {
        if (action.kind != KeyboardAction::Kind::interpretKeyEvents) {
            actions.push_back(std::move(action));
            continue;
        }
        if (const auto selector = StandardKeyBindings::textCommand(plain)) {
            for (KeyboardAction &commandAction : doCommand(*selector, context))
                actions.push_back(std::move(commandAction));
        }
    }
    return actions;
}

std::vector<KeyboardAction> TerminalKeyboard::kittyKeyDown(const PlatformKeyEvent &event, Context context)
{
    pendingKittyKeyEvent_.reset();
    const KeyModifierFlags flags = event.modifierFlags;
    if (flags.contains(KeyModifierFlags::command | KeyModifierFlags::option) &&
        event.charactersIgnoringModifiers == "o") {
        optionAsMetaKey_ = !optionAsMetaKey_;
        return {};
    }

    const Flags kittyFlags = context.kittyFlags;
    const bool reportsRepeat = event.isARepeat && kittyFlags.contains(Flags::reportEventTypes);
    const Type eventType = reportsRepeat ? Type::repeatPress : Type::press;
    const KittyKeyboardEncoder keyEncoder = encoder(context);

    if (const std::optional<Key> key = kittyFunctionalKey(event)) {
        KittyKeyEvent keyEvent;
        keyEvent.key = KittyKey::functional(*key);
        keyEvent.modifiers = kittyModifiers(flags, optionAsMetaKey_);
        keyEvent.eventType = eventType;
        keyEvent.text = kittyTextForFunctionalKey(*key, event);
        keyEvent.composing = kittyIsComposing_;
        if (auto bytes = keyEncoder.encode(keyEvent))
            return send(std::move(*bytes));
    }

    const bool isMeta = flags.contains(KeyModifierFlags::option) && optionAsMetaKey_;
    if (flags.contains(KeyModifierFlags::control) || isMeta) {
        if (const std::optional<KittyKeyEvent> keyEvent = kittyKeyEvent(event, eventType, std::nullopt)) {
            if (auto bytes = keyEncoder.encode(*keyEvent))
                return send(std::move(*bytes));
        }
    }

    // Text input reports the key once the input system has turned it into text or a command.
    const bool reportsPendingRepeat = reportsRepeat && kittyFlags.contains(Flags::reportAllKeysAsEscapeCodes);
    pendingKittyKeyEvent_ =
        PendingKittyKeyEvent{event, reportsPendingRepeat ? Type::repeatPress : Type::press};
    return {KeyboardAction::interpretKeyEvents()};
}

std::vector<KeyboardAction> TerminalKeyboard::doCommand(std::string_view selector, Context context) const
{
    if (isKittyMode(context)) {
        if (auto actions = kittyCommand(selector, context))
            return std::move(*actions);
    }
    return legacyCommand(selector, context);
}

std::optional<std::vector<KeyboardAction>> TerminalKeyboard::kittyCommand(std::string_view selector,
                                                                          Context context) const
{
    const KittyCommand *command = findCommand(kittyCommands, selector);
    if (!command)
        return std::nullopt;
    KittyKeyboardModifiers modifiers;
    if (pendingKittyKeyEvent_)
        modifiers = kittyModifiers(pendingKittyKeyEvent_->event.modifierFlags, optionAsMetaKey_);
    if (command->addsShift)
        modifiers.insert(KittyKeyboardModifiers::shift);
    if (auto bytes = kittyFunctionalKeyBytes(command->key, modifiers, Type::press, context))
        return send(std::move(*bytes));
    return std::nullopt;
}

std::vector<KeyboardAction> TerminalKeyboard::legacyCommand(std::string_view selector, Context context) const
{
    const LegacyCommand *command = findCommand(legacyCommands, selector);
    if (!command) {
        std::cout << "Unhandle selector " << selector << std::endl;
        return {};
    }
    const bool app = context.applicationCursor;
    switch (command->kind) {
    case CommandKind::fixed:
        return sendAll({command->normal});
    case CommandKind::cursor:
        return sendAll({app ? command->application : command->normal});
    case CommandKind::deleteBackward:
        return send(Bytes{static_cast<uint8_t>(backspaceSendsControlH_ ? 0x08 : 0x7F)});
    case CommandKind::pageDownAndModifySelection:
        if (app)
            return {};
        return sendAll({command->normal});
    }
    return {};
}

std::optional<std::vector<uint8_t>>
TerminalKeyboard::kittyFunctionalKeyBytes(KittyFunctionalKey key, KittyKeyboardModifiers modifiers,
                                          KittyKeyboardEventType eventType, Context context) const
{
    KittyKeyEvent keyEvent;
    keyEvent.key = KittyKey::functional(key);
    keyEvent.modifiers = modifiers;
    keyEvent.eventType = eventType;
    keyEvent.composing = kittyIsComposing_;
    return encoder(context).encode(keyEvent);
}

std::optional<std::vector<uint8_t>> TerminalKeyboard::keyUp(const PlatformKeyEvent &event,
                                                            Context context) const
{
    const Flags kittyFlags = context.kittyFlags;
    if (!isKittyMode(context) || !kittyFlags.contains(Flags::reportEventTypes))
        return std::nullopt;
    const KeyModifierFlags flags = event.modifierFlags;
    const bool reportsAllKeys = kittyFlags.contains(Flags::reportAllKeysAsEscapeCodes);
    const bool isMeta = flags.contains(KeyModifierFlags::option) && optionAsMetaKey_;
    const std::optional<Key> functionalKey = kittyFunctionalKey(event);
    if (!flags.contains(KeyModifierFlags::control) && !reportsAllKeys && !isMeta && !functionalKey)
        return std::nullopt;

    if (functionalKey)
        return kittyFunctionalKeyBytes(*functionalKey, kittyModifiers(flags, optionAsMetaKey_), Type::release,
                                       context);
    const std::optional<KittyKeyEvent> keyEvent = kittyKeyEvent(event, Type::release, std::nullopt);
    if (!keyEvent)
        return std::nullopt;
    // Tab, Return and Backspace releases stay unreported so a shell left in this mode still works.
    const KittyKey key = keyEvent->key;
    if (!reportsAllKeys &&
        (key == KittyKey::unicode('\t') || key == KittyKey::unicode('\r') || key == KittyKey::unicode(0x7F)))
        return std::nullopt;
    return encoder(context).encode(*keyEvent);
}

std::optional<std::vector<uint8_t>> TerminalKeyboard::flagsChanged(const PlatformKeyEvent &event,
                                                                   Context context) const
{
    const Flags kittyFlags = context.kittyFlags;
    if (!kittyFlags.contains(Flags::reportAllKeysAsEscapeCodes) || kittyIsComposing_)
        return std::nullopt;
    const std::optional<Key> modifierKey = kittyModifierKey(event.keyCode);
    if (!modifierKey)
        return std::nullopt;
    const bool held = event.modifierFlags.contains(modifierFlag(*modifierKey));
    if (!held && !kittyFlags.contains(Flags::reportEventTypes))
        return std::nullopt;
    return kittyFunctionalKeyBytes(*modifierKey, kittyModifiers(event.modifierFlags, true),
                                   held ? Type::press : Type::release, context);
}

std::vector<uint8_t> TerminalKeyboard::controlKeyBytes(std::string_view characters)
{
    if (characters.size() != 1)
        return {};
    const auto byte = static_cast<uint8_t>(characters.front());
    if (byte >= 'A' && byte <= 'Z')
        return {static_cast<uint8_t>(byte - 64)};
    if (byte >= 'a' && byte <= 'z')
        return {static_cast<uint8_t>(byte - 96)};
    switch (byte) {
    case '\\':
        return {28};
    case '_':
        return {31};
    case ']':
        return {29};
    case '[':
        return {27};
    case '^':
    case '6':
        return {30};
    case ' ':
        return {0};
    default:
        return {};
    }
}

} // namespace kestrix
