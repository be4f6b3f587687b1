#include "Kestrix/rendering/TextAttributes.h"

#include "Kestrix/rendering/UnderlineGeometry.h"

#include <array>

namespace kestrix {

namespace {

using namespace decorationStyleBits;

// Indexed by the raw value of UnderlineStyle. A curl is drawn from the exact kind; its style value
// reads as a single line.
constexpr std::array<int64_t, 6> underlineStyleValues{
    0,                   // none
    single,              // single
    single | doubled,    // double
    single,              // curly
    single | patternDot, // dotted
    single | patternDash // dashed
};

} // namespace

int64_t underlineStyleValue(UnderlineStyle style)
{
    const auto index = static_cast<size_t>(style);
    return index < underlineStyleValues.size() ? underlineStyleValues[index] : single;
}

UnderlineStyle underlineStyle(const TextAttributes &attributes)
{
    if (attributes.kestrixUnderlineStyle && *attributes.kestrixUnderlineStyle >= 0 &&
        *attributes.kestrixUnderlineStyle <= static_cast<int64_t>(UnderlineStyle::dashed)) {
        return static_cast<UnderlineStyle>(*attributes.kestrixUnderlineStyle);
    }
    if (attributes.underlineStyleValue) {
        return underlineStyleFromStyleValue(*attributes.underlineStyleValue);
    }
    return UnderlineStyle::none;
}

} // namespace kestrix
