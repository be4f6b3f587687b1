#include "Kestrix/graphics/KittyPlaceholderCell.h"

#include "Kestrix/model/Utf8.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kestrix {

namespace {

struct ScalarRange {
    uint32_t first;
    uint32_t last;
};

// The placeholder diacritics in ascending order; a diacritic's value is its position in this list.
constexpr ScalarRange diacriticRanges[] = {
    {0x0305, 0x0305},   {0x030D, 0x030E},   {0x0310, 0x0310},   {0x0312, 0x0312},   {0x033D, 0x033F},
    {0x0346, 0x0346},   {0x034A, 0x034C},   {0x0350, 0x0352},   {0x0357, 0x0357},   {0x035B, 0x035B},
    {0x0363, 0x036F},   {0x0483, 0x0487},   {0x0592, 0x0595},   {0x0597, 0x0599},   {0x059C, 0x05A1},
    {0x05A8, 0x05A9},   {0x05AB, 0x05AC},   {0x05AF, 0x05AF},   {0x05C4, 0x05C4},   {0x0610, 0x0617},
    {0x0657, 0x065B},   {0x065D, 0x065E},   {0x06D6, 0x06DC},   {0x06DF, 0x06E2},   {0x06E4, 0x06E4},
    {0x06E7, 0x06E8},   {0x06EB, 0x06EC},   {0x0730, 0x0730},   {0x0732, 0x0733},   {0x0735, 0x0736},
    {0x073A, 0x073A},   {0x073D, 0x073D},   {0x073F, 0x0741},   {0x0743, 0x0743},   {0x0745, 0x0745},
    {0x0747, 0x0747},   {0x0749, 0x074A},   {0x07EB, 0x07F1},   {0x07F3, 0x07F3},   {0x0816, 0x0819},
    {0x081B, 0x0823},   {0x0825, 0x0827},   {0x0829, 0x082D},   {0x0951, 0x0951},   {0x0953, 0x0954},
    {0x0F82, 0x0F83},   {0x0F86, 0x0F87},   {0x135D, 0x135F},   {0x17DD, 0x17DD},   {0x193A, 0x193A},
    {0x1A17, 0x1A17},   {0x1A75, 0x1A7C},   {0x1B6B, 0x1B6B},   {0x1B6D, 0x1B73},   {0x1CD0, 0x1CD2},
    {0x1CDA, 0x1CDB},   {0x1CE0, 0x1CE0},   {0x1DC0, 0x1DC1},   {0x1DC3, 0x1DC9},   {0x1DCB, 0x1DCC},
    {0x1DD1, 0x1DE6},   {0x1DFE, 0x1DFE},   {0x20D0, 0x20D1},   {0x20D4, 0x20D7},   {0x20DB, 0x20DC},
    {0x20E1, 0x20E1},   {0x20E7, 0x20E7},   {0x20E9, 0x20E9},   {0x20F0, 0x20F0},   {0x2CEF, 0x2CF1},
    {0x2DE0, 0x2DFF},   {0xA66F, 0xA66F},   {0xA67C, 0xA67D},   {0xA6F0, 0xA6F1},   {0xA8E0, 0xA8F1},
    {0xAAB0, 0xAAB0},   {0xAAB2, 0xAAB3},   {0xAAB7, 0xAAB8},   {0xAABE, 0xAABF},   {0xAAC1, 0xAAC1},
    {0xFE20, 0xFE26},   {0x10A0F, 0x10A0F}, {0x10A38, 0x10A38}, {0x1D185, 0x1D189}, {0x1D1AA, 0x1D1AD},
    {0x1D242, 0x1D244},
};

constexpr size_t diacriticCount = [] {
    size_t count = 0;
    for (const ScalarRange &range : diacriticRanges) {
        count += range.last - range.first + 1;
    }
    return count;
}();

constexpr std::array<uint32_t, diacriticCount> diacritics = [] {
    std::array<uint32_t, diacriticCount> all{};
    size_t i = 0;
    for (const ScalarRange &range : diacriticRanges) {
        for (uint32_t scalar = range.first; scalar <= range.last; ++scalar) {
            all[i++] = scalar;
        }
    }
    return all;
}();

static_assert(diacriticCount == 297);
static_assert(std::ranges::is_sorted(diacritics));

// 8 bits of a palette index, 24 of a true colour (red highest), nothing of a default colour.
uint32_t colorBits(const Attribute::Color &color)
{
    switch (color.kind()) {
    case Attribute::Color::Kind::ansi256:
        return color.code();
    case Attribute::Color::Kind::trueColor:
        return static_cast<uint32_t>(color.red()) << 16 | static_cast<uint32_t>(color.green()) << 8 |
               color.blue();
    default:
        return 0;
    }
}

uint32_t colorBits(const Attribute::OptionalColor &color)
{
    return color.has_value() ? colorBits(*color) : 0;
}

} // namespace

std::optional<int64_t> kittyDiacriticIndex(uint32_t scalar)
{
    const auto found = std::ranges::lower_bound(diacritics, scalar);
    if (found == diacritics.end() || *found != scalar) {
        return std::nullopt;
    }
    return found - diacritics.begin();
}

std::optional<KittyPlaceholderCell>
KittyPlaceholderCell::decode(std::string_view text, const Attribute &attribute, int64_t row, int64_t col,
                             const std::optional<KittyPlaceholderCell> &previous,
                             const Attribute::Color &previousForeground,
                             const Attribute::OptionalColor &previousUnderlineColor)
{
    size_t index = 0;
    if (text.empty() || utf8::next(text, index) != placeholderScalar) {
        return std::nullopt;
    }
    // Only the first three values are used; further diacritics are read past.
    std::array<int64_t, 3> values{};
    size_t found = 0;
    while (index < text.size()) {
        if (const auto value = kittyDiacriticIndex(utf8::next(text, index)); value && found < values.size()) {
            values[found++] = *value;
        }
    }

    const bool continues = previous && attribute.fg == previousForeground &&
                           attribute.underlineColor == previousUnderlineColor && previous->row == row &&
                           previous->col + 1 == col;
    KittyPlaceholderCell cell;
    cell.row = row;
    cell.col = col;
    switch (found) {
    case 3:
        cell.placeholderRow = values[0];
        cell.placeholderCol = values[1];
        cell.msb = values[2];
        break;
    case 2:
        cell.placeholderRow = values[0];
        cell.placeholderCol = values[1];
        if (continues && previous->placeholderRow == values[0] && previous->placeholderCol + 1 == values[1]) {
            cell.msb = previous->msb;
        }
        break;
    case 1:
        cell.placeholderRow = values[0];
        if (continues && previous->placeholderRow == values[0]) {
            cell.placeholderCol = previous->placeholderCol + 1;
            cell.msb = previous->msb;
        }
        break;
    default:
        if (continues) {
            cell.placeholderRow = previous->placeholderRow;
            cell.placeholderCol = previous->placeholderCol + 1;
            cell.msb = previous->msb;
        }
        break;
    }
    cell.imageId = colorBits(attribute.fg) + (static_cast<uint32_t>(std::min<int64_t>(cell.msb, 255)) << 24);
    cell.placementId = colorBits(attribute.underlineColor);
    return cell;
}

} // namespace kestrix
