// Character-set designation and shifts, window and icon titles.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

namespace kestrix {

void Terminal::setGLevel(uint8_t level)
{
    gLevel = level;
    charset = level < gCharsets.size() ? gCharsets[level] : std::nullopt;
}

void Terminal::designateCharset(uint8_t slot, std::optional<CharSetMap> map)
{
    if (slot >= gCharsets.size()) {
        return;
    }
    gCharsets[slot] = map;
    if (slot == gLevel) {
        charset = std::move(map);
    }
}

void Terminal::selectCharset(uint8_t intermediate, uint8_t designator)
{
    const CharSetMap *map = CharSets::mapLookup(designator);
    if (map == nullptr) {
        return;
    }
    uint8_t slot = 0;
    switch (intermediate) {
    case ')':
    case '-':
        slot = 1;
        break;
    case '*':
    case '.':
        slot = 2;
        break;
    case '+':
    case '/':
        slot = 3;
        break;
    default:
        break;
    }
    designateCharset(slot, *map);
}

namespace {

// Titles are host-controlled: keep at most the limit, cut at a character boundary.
std::string boundedTitle(std::string title)
{
    if (title.size() <= Terminal::maximumTitleLength) {
        return title;
    }
    size_t end = Terminal::maximumTitleLength;
    while (end > 0 && (static_cast<uint8_t>(title[end]) & 0xC0) == 0x80) {
        --end;
    }
    // A copy: cutting the host's string in place would keep its whole buffer alive.
    return title.substr(0, end);
}

} // namespace

void Terminal::updateTitle(std::string title)
{
    terminalTitle = boundedTitle(std::move(title));
    if (tdel_ != nullptr) {
        tdel_->terminalTitleDidChange(*this, terminalTitle);
    }
}

void Terminal::updateIconTitle(std::string title)
{
    iconTitle = boundedTitle(std::move(title));
    if (tdel_ != nullptr) {
        tdel_->terminalIconTitleDidChange(*this, iconTitle);
    }
}

} // namespace kestrix
