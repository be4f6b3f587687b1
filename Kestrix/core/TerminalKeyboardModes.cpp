// The progressive keyboard-enhancement flags: one set and one stack of saved sets per screen,
// pushed, popped, set and queried with CSI > u, CSI < u, CSI = u and CSI ? u.

#include "Kestrix/core/Terminal.h"

namespace kestrix {

namespace {

constexpr int64_t storedBits = KittyKeyboardFlags::all.rawValue;

KittyKeyboardFlags flagsFrom(int64_t value)
{
    return KittyKeyboardFlags{value & storedBits};
}

void push(Terminal::KeyboardModeState &state, ParameterSpan pars)
{
    if (state.stack.size() >= Terminal::maximumKeyboardModeStackDepth) {
        state.stack.erase(state.stack.begin());
    }
    state.stack.push_back(state.flags);
    state.flags = flagsFrom(pars.empty() ? 0 : pars[0]);
}

// Popping more entries than there are empties the stack and clears the flags.
void pop(Terminal::KeyboardModeState &state, ParameterSpan pars)
{
    const int64_t p0 = pars.empty() ? 0 : pars[0];
    const size_t count = p0 >= 2 ? static_cast<size_t>(p0) : 1;
    if (state.stack.size() < count) {
        state.stack.clear();
        state.flags = KittyKeyboardFlags{};
        return;
    }
    state.flags = state.stack[state.stack.size() - count];
    state.stack.resize(state.stack.size() - count);
}

// Mode 1 replaces the flags, 2 adds the bits, 3 removes them; any other mode changes nothing.
void set(Terminal::KeyboardModeState &state, ParameterSpan pars)
{
    if (pars.empty()) {
        state.flags = KittyKeyboardFlags{};
        return;
    }
    const KittyKeyboardFlags bits = flagsFrom(pars[0]);
    switch (pars.size() > 1 ? pars[1] : 1) {
    case 1:
        state.flags = bits;
        break;
    case 2:
        state.flags.insert(bits);
        break;
    case 3:
        state.flags.remove(bits);
        break;
    default:
        break;
    }
}

} // namespace

KittyKeyboardFlags Terminal::currentKeyboardFlags() const
{
    return isAlternateBufferActive() ? keyboardModeAlt.flags : keyboardModeNormal.flags;
}

Terminal::KeyboardModeState &Terminal::currentKeyboardMode()
{
    return isAlternateBufferActive() ? keyboardModeAlt : keyboardModeNormal;
}

bool Terminal::kittyKeyboardCsiU(ParameterSpan pars, ByteSpan collect)
{
    if (collect.size() != 1) {
        return false;
    }
    KeyboardModeState &state = currentKeyboardMode();
    switch (collect[0]) {
    case '>':
        push(state, pars);
        return true;
    case '<':
        pop(state, pars);
        return true;
    case '=':
        set(state, pars);
        return true;
    case '?':
        sendReply({csi(), "?", std::to_string(state.flags.rawValue), "u"});
        return true;
    default:
        return false;
    }
}

} // namespace kestrix
