#pragma once

#include <cstdint>

namespace kestrix {

// True for a scalar that has both a text and an emoji presentation, selected by VS15 and VS16.
bool hasEmojiVariation(uint32_t scalar);

} // namespace kestrix
