#pragma once

#include <array>
#include <string_view>

namespace kestrix {

// The fixed byte sequences of the legacy (VT100/xterm) key encoding.
struct EscapeSequences {
    static constexpr std::string_view lineFeed = "\n";
    static constexpr std::string_view carriageReturn = "\r";
    static constexpr std::string_view escape = "\x1b";
    static constexpr std::string_view delete_ = "\x7f";
    static constexpr std::string_view deleteForward = "\x1b[3~";
    static constexpr std::string_view moveUpApp = "\x1bOA";
    static constexpr std::string_view moveUpNormal = "\x1b[A";
    static constexpr std::string_view moveDownApp = "\x1bOB";
    static constexpr std::string_view moveDownNormal = "\x1b[B";
    static constexpr std::string_view moveLeftApp = "\x1bOD";
    static constexpr std::string_view moveLeftNormal = "\x1b[D";
    static constexpr std::string_view moveRightApp = "\x1bOC";
    static constexpr std::string_view moveRightNormal = "\x1b[C";
    static constexpr std::string_view homeApp = "\x1bOH";
    static constexpr std::string_view homeNormal = "\x1b[H";
    static constexpr std::string_view endApp = "\x1bOF";
    static constexpr std::string_view endNormal = "\x1b[F";
    static constexpr std::string_view tab = "\t";
    static constexpr std::string_view backTab = "\x1b[Z";
    static constexpr std::string_view pageUp = "\x1b[5~";
    static constexpr std::string_view pageDown = "\x1b[6~";
    static constexpr std::string_view insert = "\x1b[2~";
    static constexpr std::string_view wordBackward = "\x1b"
                                                     "b";
    static constexpr std::string_view wordForward = "\x1b"
                                                    "f";
    static constexpr std::string_view controlLeft = "\x1b[1;5D";
    static constexpr std::string_view controlRight = "\x1b[1;5C";
    // Fixed rather than settable: a paste bracket that could change would let pasted text end it.
    static constexpr std::string_view bracketedPasteStart = "\x1b[200~";
    static constexpr std::string_view bracketedPasteEnd = "\x1b[201~";

    // F1 to F12; 16 and 22 are skipped, as on the VT220.
    static constexpr std::array<std::string_view, 12> functionKeys{
        "\x1bOP",   "\x1bOQ",   "\x1bOR",   "\x1bOS",   "\x1b[15~", "\x1b[17~",
        "\x1b[18~", "\x1b[19~", "\x1b[20~", "\x1b[21~", "\x1b[23~", "\x1b[24~",
    };
};

} // namespace kestrix
