#pragma once

#include "Kestrix/core/LinkMatch.h"

#include <cstdint>

namespace kestrix {

// When links are drawn underlined: under the pointer, or always; either only while Ctrl is held.
enum class LinkHighlightMode : uint8_t { hover, hoverWithModifier, always, alwaysWithModifier };

// The columns [start, end) of one buffer row that the link under the pointer covers.
using LinkRowRange = LinkMatch::RowRange;

} // namespace kestrix
