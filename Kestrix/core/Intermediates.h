#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrix {

// Whether a control function's intermediate bytes are exactly `expected` ("" for none).
inline bool intermediatesAre(std::span<const uint8_t> collect, std::string_view expected)
{
    return std::equal(collect.begin(), collect.end(), expected.begin(), expected.end(),
                      [](uint8_t byte, char c) { return byte == static_cast<uint8_t>(c); });
}

} // namespace kestrix
