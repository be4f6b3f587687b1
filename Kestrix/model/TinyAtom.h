#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

// A 16-bit handle of a cell payload (a hyperlink) in the process-wide `AtomTable`; 0 means none.
struct TinyAtom {
    uint16_t code = 0;

    // A new atom for `payload`, or the live one that already holds it; nothing when the table is full.
    static std::optional<TinyAtom> create(std::string payload);
    // The payload behind `code`; nothing for 0 or an unknown code.
    static std::optional<std::string> lookup(uint16_t code);
    // Drops the payload of `code`; the code is never handed out again.
    static void release(uint16_t code);

    bool operator==(const TinyAtom &) const = default;
};

} // namespace kestrix
