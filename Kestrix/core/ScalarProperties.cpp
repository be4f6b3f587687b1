#include "Kestrix/core/ScalarProperties.h"

#include "Kestrix/core/NamedScalars.h"
#include "Kestrix/core/UnicodeUtil.h"
#include "Kestrix/model/Utf8.h"

#include <unicode/uchar.h>

namespace kestrix {
ScalarProperties ScalarProperties::compute(uint32_t scalar)
{
    const auto c = static_cast<UChar32>(scalar);
    const auto breakClass = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    const bool joinsPrevious = scalar == zeroWidthJoiner || u_getCombiningClass(c) != 0 ||
                               u_hasBinaryProperty(c, UCHAR_EMOJI_MODIFIER) ||
                               u_hasBinaryProperty(c, UCHAR_VARIATION_SELECTOR);
    const bool neverStartsCluster =
        breakClass == U_GCB_EXTEND || breakClass == U_GCB_ZWJ || breakClass == U_GCB_SPACING_MARK;
    const bool isControl = breakClass == U_GCB_CONTROL || breakClass == U_GCB_CR || breakClass == U_GCB_LF;
    const int width = UnicodeUtil::columnWidth(scalar);
    // A surrogate is no scalar: the print path never takes one for a character.
    const bool printsAlone =
        width >= 1 && !joinsPrevious && !isRegionalIndicator(scalar) && utf8::isScalarValue(scalar);
    ScalarProperties properties;
    properties.bits_ = static_cast<uint8_t>(
        (width + 1) | (printsAlone ? printsAloneBit : 0) | (joinsPrevious ? joinsPreviousBit : 0) |
        (neverStartsCluster ? neverStartsClusterBit : 0) | (isControl ? controlBit : 0) |
        (breakClass == U_GCB_EXTEND ? extendBit : 0) |
        (u_hasBinaryProperty(c, UCHAR_EXTENDED_PICTOGRAPHIC) ? pictographicBit : 0));
    return properties;
}

std::unique_ptr<ScalarProperties[]> ScalarProperties::buildTable()
{
    auto built = std::make_unique<ScalarProperties[]>(tableSize);
    for (uint32_t each = 0; each < tableSize; ++each) {
        built[each] = compute(each);
    }
    return built;
}

} // namespace kestrix
