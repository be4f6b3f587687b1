#include "Kestrix/view/BracketedPaste.h"

#include "Kestrix/view/EscapeSequences.h"

namespace kestrix {

std::string BracketedPaste::removeMarkers(std::string_view text)
{
    constexpr std::string_view start = EscapeSequences::bracketedPasteStart;
    constexpr std::string_view end = EscapeSequences::bracketedPasteEnd;
    static_assert(start.size() == end.size());
    std::string out;
    out.reserve(text.size());
    // A marker is dropped the moment it is complete at the end of the output, so what is kept
    // never holds one: one pass, linear in the text.
    for (char byte : text) {
        out.push_back(byte);
        const std::string_view tail =
            out.size() >= start.size() ? std::string_view(out).substr(out.size() - start.size()) : "";
        if (tail == start || tail == end)
            out.resize(out.size() - start.size());
    }
    return out;
}

} // namespace kestrix
