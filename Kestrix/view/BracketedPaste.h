#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// Pasted text inside the paste bracket.
struct BracketedPaste {
    // The text with every paste start and end marker taken out, including markers that only form
    // once another is gone, so the pasted text can never close the bracket early.
    static std::string removeMarkers(std::string_view text);
};

} // namespace kestrix
