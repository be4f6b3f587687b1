#include "Kestrix/core/CursorStyle.h"

#include <array>
#include <utility>

namespace kestrix {

namespace {

constexpr std::array<std::pair<CursorStyle, std::string_view>, 6> cursorStyleNames{{
    {CursorStyle::blinkBlock, "blinkBlock"},
    {CursorStyle::steadyBlock, "steadyBlock"},
    {CursorStyle::blinkUnderline, "blinkUnderline"},
    {CursorStyle::steadyUnderline, "steadyUnderline"},
    {CursorStyle::blinkBar, "blinkBar"},
    {CursorStyle::steadyBar, "steadyBar"},
}};

} // namespace

std::optional<CursorStyle> cursorStyleFromRawValue(std::string_view rawValue)
{
    for (const auto &[style, name] : cursorStyleNames) {
        if (name == rawValue) {
            return style;
        }
    }
    return std::nullopt;
}

std::string_view rawValue(CursorStyle style)
{
    for (const auto &[candidate, name] : cursorStyleNames) {
        if (candidate == style) {
            return name;
        }
    }
    return {};
}

} // namespace kestrix
