#include "Kestrix/core/TerminalRegistry.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace kestrix {

namespace {

struct LiveTerminals {
    std::mutex mutex;
    std::vector<Terminal *> terminals;
};

LiveTerminals &liveTerminals()
{
    static LiveTerminals live;
    return live;
}

} // namespace

void TerminalRegistry::add(Terminal *terminal)
{
    LiveTerminals &live = liveTerminals();
    std::lock_guard lock(live.mutex);
    live.terminals.push_back(terminal);
}

void TerminalRegistry::remove(Terminal *terminal)
{
    LiveTerminals &live = liveTerminals();
    std::lock_guard lock(live.mutex);
    std::erase(live.terminals, terminal);
}

void TerminalRegistry::forEach(const std::function<void(Terminal &)> &visit)
{
    LiveTerminals &live = liveTerminals();
    std::vector<Terminal *> terminals;
    {
        std::lock_guard lock(live.mutex);
        terminals = live.terminals;
    }
    for (Terminal *terminal : terminals) {
        visit(*terminal);
    }
}

} // namespace kestrix
