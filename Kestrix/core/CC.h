#pragma once

namespace kestrix {

// How replies to the host are introduced: with 7-bit escape sequences (ESC and a letter) or with
// the single 8-bit C1 bytes (CSI 0x9B, DCS 0x90, OSC 0x9D, ST 0x9C). S7C1T, S8C1T and DECSCL
// switch it.
struct CC {
    bool send8bit = false;

    bool operator==(const CC &) const = default;
};

} // namespace kestrix
