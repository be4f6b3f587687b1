#pragma once

#include <functional>

namespace kestrix {

class Terminal;

// The terminals alive in this process. Payload atoms are shared by all of them, so pruning asks
// every live terminal which atoms its cells still use.
class TerminalRegistry {
public:
    static void add(Terminal *terminal);
    static void remove(Terminal *terminal);
    static void forEach(const std::function<void(Terminal &)> &visit);
};

} // namespace kestrix
