#pragma once

#include "Kestrix/model/Attribute.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrix {

// One cell of a Kitty Unicode placeholder: U+10EEEE followed by diacritics that say which row and
// column of a virtual placement the cell shows. The image id travels in the foreground colour (its
// high byte in a third diacritic) and the placement id in the underline colour.
struct KittyPlaceholderCell {
    static constexpr uint32_t placeholderScalar = 0x10EEEE;

    int64_t row = 0;
    int64_t col = 0;
    uint32_t imageId = 0;
    // 0: any placement of the image.
    uint32_t placementId = 0;
    int64_t placeholderRow = 0;
    int64_t placeholderCol = 0;
    int64_t msb = 0;

    // The cell's text and attribute at (row, col); `previous` is the result of the cell to its left
    // in the same pass (nothing when that was no placeholder) and the two colours are that cell's.
    // A placeholder without diacritics continues the previous one at the next column.
    static std::optional<KittyPlaceholderCell> decode(std::string_view text, const Attribute &attribute,
                                                      int64_t row, int64_t col,
                                                      const std::optional<KittyPlaceholderCell> &previous,
                                                      const Attribute::Color &previousForeground,
                                                      const Attribute::OptionalColor &previousUnderlineColor);

    bool operator==(const KittyPlaceholderCell &) const = default;
};

// The value of a placeholder diacritic (0 to 296), nothing for any other scalar.
std::optional<int64_t> kittyDiacriticIndex(uint32_t scalar);

} // namespace kestrix
