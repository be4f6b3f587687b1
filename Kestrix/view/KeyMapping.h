#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

namespace kestrix {

// One row of a small constant key table.
template <typename From, typename To> struct KeyMapping {
    From from;
    To to;
};

// The `to` of the first row whose `from` matches, if any.
template <typename From, typename To, std::size_t N>
std::optional<To> lookUp(const std::array<KeyMapping<From, To>, N> &table, From from)
{
    const auto found =
        std::find_if(table.begin(), table.end(), [from](const auto &entry) { return entry.from == from; });
    if (found == table.end())
        return std::nullopt;
    return found->to;
}

} // namespace kestrix
