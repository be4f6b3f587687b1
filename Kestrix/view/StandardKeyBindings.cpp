#include "Kestrix/view/StandardKeyBindings.h"

#include "Kestrix/view/KeyText.h"

#include <algorithm>
#include <array>

namespace kestrix {
namespace {

namespace Fk = FunctionKeyCharacter;

enum class Modifier : uint8_t { none, shift, option, command };

struct Binding {
    char32_t key;
    Modifier modifier;
    std::string_view selector;
};

constexpr char32_t backTab = 0x19;
constexpr char32_t keypadEnter = 0x03;

constexpr auto bindings = std::to_array<Binding>({
    {'\r', Modifier::none, "insertNewline:"},
    {'\r', Modifier::shift, "insertNewline:"},
    {keypadEnter, Modifier::none, "insertNewline:"},
    {0x1B, Modifier::none, "cancelOperation:"},
    {0x7F, Modifier::none, "deleteBackward:"},
    {0x7F, Modifier::shift, "deleteBackward:"},
    {'\t', Modifier::none, "insertTab:"},
    {'\t', Modifier::shift, "insertBacktab:"},
    {backTab, Modifier::none, "insertBacktab:"},
    {backTab, Modifier::shift, "insertBacktab:"},
    {Fk::upArrow, Modifier::none, "moveUp:"},
    {Fk::downArrow, Modifier::none, "moveDown:"},
    {Fk::leftArrow, Modifier::none, "moveLeft:"},
    {Fk::rightArrow, Modifier::none, "moveRight:"},
    {Fk::upArrow, Modifier::shift, "moveUpAndModifySelection:"},
    {Fk::downArrow, Modifier::shift, "moveDownAndModifySelection:"},
    {Fk::leftArrow, Modifier::shift, "moveLeftAndModifySelection:"},
    {Fk::rightArrow, Modifier::shift, "moveRightAndModifySelection:"},
    {Fk::leftArrow, Modifier::option, "moveWordLeft:"},
    {Fk::rightArrow, Modifier::option, "moveWordRight:"},
    {Fk::upArrow, Modifier::command, "moveToBeginningOfDocument:"},
    {Fk::downArrow, Modifier::command, "moveToEndOfDocument:"},
    {Fk::leftArrow, Modifier::command, "moveToLeftEndOfLine:"},
    {Fk::rightArrow, Modifier::command, "moveToRightEndOfLine:"},
    {Fk::home, Modifier::none, "scrollToBeginningOfDocument:"},
    {Fk::end, Modifier::none, "scrollToEndOfDocument:"},
    {Fk::pageUp, Modifier::none, "scrollPageUp:"},
    {Fk::pageDown, Modifier::none, "scrollPageDown:"},
    {Fk::pageUp, Modifier::shift, "pageUpAndModifySelection:"},
    {Fk::pageDown, Modifier::shift, "pageDownAndModifySelection:"},
    {Fk::deleteForward, Modifier::none, "deleteForward:"},
});

// Bindings name at most one modifier; Caps Lock and the keypad flag do not change a binding.
std::optional<Modifier> bindingModifier(KeyModifierFlags flags)
{
    const bool shift = flags.contains(KeyModifierFlags::shift);
    const bool option = flags.contains(KeyModifierFlags::option);
    const bool command = flags.contains(KeyModifierFlags::command);
    if (flags.contains(KeyModifierFlags::control) || shift + option + command > 1)
        return std::nullopt;
    if (shift)
        return Modifier::shift;
    if (option)
        return Modifier::option;
    if (command)
        return Modifier::command;
    return Modifier::none;
}

} // namespace

std::optional<std::string_view> StandardKeyBindings::textCommand(const PlatformKeyEvent &event)
{
    const std::optional<std::string> &characters = event.charactersIgnoringModifiers;
    if (!characters || characters->empty())
        return std::nullopt;
    const std::optional<Modifier> modifier = bindingModifier(event.modifierFlags);
    const char32_t key = decodeUtf8Scalars(*characters).front();
    // A key without a character of its own is never text, bound or not.
    const bool isFunctionKey = key >= Fk::first && key <= Fk::last;
    const std::optional<std::string_view> unbound =
        isFunctionKey ? std::optional<std::string_view>("noop:") : std::nullopt;
    if (!modifier)
        return unbound;
    const auto found = std::find_if(bindings.begin(), bindings.end(), [&](const Binding &binding) {
        return binding.key == key && binding.modifier == *modifier;
    });
    if (found == bindings.end())
        return unbound;
    return found->selector;
}

} // namespace kestrix
