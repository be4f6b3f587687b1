#include "Kestrix/model/TinyAtom.h"

#include "Kestrix/model/AtomTable.h"

namespace kestrix {

std::optional<TinyAtom> TinyAtom::create(std::string payload)
{
    if (auto code = AtomTable::shared().create(std::move(payload))) {
        return TinyAtom{*code};
    }
    return std::nullopt;
}

std::optional<std::string> TinyAtom::lookup(uint16_t code)
{
    if (code == 0) {
        return std::nullopt;
    }
    return AtomTable::shared().lookup(code);
}

void TinyAtom::release(uint16_t code)
{
    AtomTable::shared().release(code);
}

} // namespace kestrix
