#pragma once

#include <cstdint>

namespace kestrix {

// Which links the pointer tracking remembers: none, OSC 8 links only, or OSC 8 links and then URLs
// and paths found in the text.
enum class LinkReporting : uint8_t { none, explicitLinks, implicitLinks };

} // namespace kestrix
