#pragma once

#include "Kestrix/core/KittyKeyboardFlags.h"
#include "Kestrix/view/KittyKeyEvent.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrix {

// Turns one key event into the bytes the Kitty keyboard protocol sends for it under the active
// enhancement flags. Holds no state between events; the view fills it in for each use.
struct KittyKeyboardEncoder {
    KittyKeyboardFlags flags;
    // DECCKM: unmodified cursor keys use SS3 where the protocol keeps their legacy form.
    bool applicationCursor = false;
    // Backspace sends 0x08 instead of 0x7F where it keeps its legacy byte.
    bool backspaceSendsControlH = false;

    // Absent when the event must not be reported.
    std::optional<std::vector<uint8_t>> encode(const KittyKeyEvent &event) const;
};

} // namespace kestrix
