#pragma once

#include <optional>
#include <string_view>

namespace kestrix {

// The caret shapes a host can choose with CSI SP q.
enum class CursorStyle {
    blinkBlock,
    steadyBlock,
    blinkUnderline,
    steadyUnderline,
    blinkBar,
    steadyBar,
};

// The style whose name is exactly the given text (case-sensitive), or nothing.
std::optional<CursorStyle> cursorStyleFromRawValue(std::string_view rawValue);
// The name of a style: "blinkBlock", "steadyBar", ...
std::string_view rawValue(CursorStyle style);

} // namespace kestrix
