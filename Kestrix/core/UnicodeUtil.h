#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrix {

// How many terminal columns a Unicode scalar occupies, and the emoji presentation fix-up of the
// renderers. Character properties come from ICU.
struct UnicodeUtil {
    // One inclusive range of the wide table.
    struct LH {
        uint32_t lo = 0;
        uint32_t hi = 0;
    };

    // -1 for a control that prints nothing, 0 for marks, format characters and other zero-width
    // scalars, 2 for wide ones, else 1.
    static int columnWidth(uint32_t value);
    // Whether the scalar is in the wide table (the table search alone).
    static bool isWide(uint32_t value);
    // A single scalar above U+00FF that is an emoji shown as text by default gets U+FE0F appended;
    // every other string comes back unchanged.
    static std::string forceEmojiPresentation(const std::string &text);

    static std::span<const LH> wideTable();
};

} // namespace kestrix
