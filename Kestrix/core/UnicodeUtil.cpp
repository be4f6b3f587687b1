#include "Kestrix/core/UnicodeUtil.h"

#include "Kestrix/core/NamedScalars.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace kestrix {

namespace {

// Scalars shown in two columns: East Asian wide and fullwidth characters and the emoji that are
// presented as emoji by default.
constexpr std::array<UnicodeUtil::LH, 123> wideRanges{{
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2630, 0x2637},   {0x2648, 0x2653},
    {0x267F, 0x267F},   {0x268A, 0x268F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},
    {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},
    {0x26F2, 0x26F3},   {0x26F5, 0x26F5},   {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},
    {0x270A, 0x270B},   {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},
    {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x2E99},   {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},
    {0x2FF0, 0x303E},   {0x3041, 0x3096},   {0x3099, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},
    {0x3190, 0x31E5},   {0x31EF, 0x321E},   {0x3220, 0x3247},   {0x3250, 0xA48C},   {0xA490, 0xA4C6},
    {0xA960, 0xA97C},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},
    {0xFE54, 0xFE66},   {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF6}, {0x17000, 0x18CD5}, {0x18CFF, 0x18D1E}, {0x18D80, 0x18DF2}, {0x1AFF0, 0x1AFF3},
    {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122}, {0x1B132, 0x1B132}, {0x1B150, 0x1B152},
    {0x1B155, 0x1B155}, {0x1B164, 0x1B167}, {0x1B170, 0x1B2FB}, {0x1D300, 0x1D356}, {0x1D360, 0x1D376},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202},
    {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320},
    {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC},
    {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596},
    {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2},
    {0x1F6D5, 0x1F6D8}, {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB},
    {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FA7C},
    {0x1FA80, 0x1FA8A}, {0x1FA8E, 0x1FAC6}, {0x1FAC8, 0x1FAC8}, {0x1FACD, 0x1FADC}, {0x1FADF, 0x1FAEA},
    {0x1FAEF, 0x1FAF8}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
}};

static_assert(std::is_sorted(wideRanges.begin(), wideRanges.end(),
                             [](const UnicodeUtil::LH &a, const UnicodeUtil::LH &b) { return a.hi < b.lo; }));

constexpr char32_t softHyphen = 0xAD;
constexpr std::string_view variationSelector16 = "\xEF\xB8\x8F"; // U+FE0F in UTF-8

bool isHangulJamoMedialOrFinal(uint32_t value)
{
    return (value >= 0x1160 && value <= 0x11FF) || (value >= 0xD7B0 && value <= 0xD7FF);
}

// Fullwidth circumflex, grave accent and macron: modifier symbols that are nonetheless wide.
bool isWideModifierSymbol(uint32_t value)
{
    return value == 0xFF3E || value == 0xFF40 || value == 0xFFE3;
}

// The width decided by the general category, or nothing when the category does not decide it.
std::optional<int> widthByCategory(uint32_t value)
{
    const auto scalar = static_cast<UChar32>(value);
    switch (u_charType(scalar)) {
    case U_NON_SPACING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
        return 0;
    case U_MODIFIER_SYMBOL:
        if (u_hasBinaryProperty(scalar, UCHAR_EMOJI_MODIFIER)) {
            return 0;
        }
        if (isWideModifierSymbol(value)) {
            return 2;
        }
        return std::nullopt;
    case U_FORMAT_CHAR:
        return value == softHyphen ? 1 : 0;
    default:
        return std::nullopt;
    }
}

} // namespace

int UnicodeUtil::columnWidth(uint32_t value)
{
    if (value == 0) {
        return 0;
    }
    if (value < 0x20 || (value >= 0x7F && value <= 0x9F)) {
        return -1;
    }
    if (value < 0x7F) {
        return 1;
    }
    if (value > 0x10FFFF) {
        return 1; // not a scalar: nothing to look up
    }
    if (const auto width = widthByCategory(value)) {
        return *width;
    }
    if (isHangulJamoMedialOrFinal(value)) {
        return 0;
    }
    if (isRegionalIndicator(value)) {
        return 2;
    }
    return isWide(value) ? 2 : 1;
}

bool UnicodeUtil::isWide(uint32_t value)
{
    if (value < wideRanges.front().lo || value > wideRanges.back().hi) {
        return false;
    }
    int lo = 0;
    int hi = static_cast<int>(wideRanges.size()) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (wideRanges[mid].hi < value) {
            lo = mid + 1;
        } else if (value >= wideRanges[mid].lo) {
            return true;
        } else {
            hi = mid - 1;
        }
    }
    return false;
}

std::span<const UnicodeUtil::LH> UnicodeUtil::wideTable()
{
    return wideRanges;
}

std::string UnicodeUtil::forceEmojiPresentation(const std::string &text)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(text.data());
    const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
    int32_t offset = 0;
    UChar32 scalar = U_SENTINEL;
    if (length > 0) {
        U8_NEXT(bytes, offset, length, scalar);
    }
    const bool isOneScalar = scalar >= 0 && static_cast<size_t>(offset) == text.size();
    if (!isOneScalar || scalar <= 0xFF || !u_hasBinaryProperty(scalar, UCHAR_EMOJI) ||
        u_hasBinaryProperty(scalar, UCHAR_EMOJI_PRESENTATION)) {
        return text;
    }
    std::string presented = text;
    presented += variationSelector16;
    return presented;
}

} // namespace kestrix
