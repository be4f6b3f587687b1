#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kestrix {

// One character set's translation: the character shown in place of a 7-bit byte. Bytes without an
// entry print as themselves. A value: a terminal that designates a set holds its own copy.
class CharSetMap {
public:
    constexpr CharSetMap() = default;
    // Entries are 7-bit bytes; the tables are compile-time data, so anything else fails to build.
    constexpr CharSetMap(std::initializer_list<std::pair<uint8_t, char32_t>> entries)
    {
        for (const auto &[byte, shown] : entries) {
            if (byte >= shown_.size()) {
                throw std::invalid_argument("character set entries are 7-bit bytes");
            }
            shown_[byte] = shown;
        }
    }

    // The character shown for the byte, or nothing when the byte prints as itself.
    std::optional<char32_t> lookup(uint8_t byte) const
    {
        if (byte >= shown_.size() || shown_[byte] == 0) {
            return std::nullopt;
        }
        return shown_[byte];
    }
    size_t count() const;

    bool operator==(const CharSetMap &) const = default;

private:
    // Indexed by byte; 0 where the byte has no entry.
    std::array<char32_t, 128> shown_{};
};

// The character sets a host can designate into G0-G3 with ESC ( ) * + - . / and a designator byte:
// DEC special graphics and the national replacement sets. Built once, read-only afterwards.
class CharSets {
public:
    using Table = std::vector<std::pair<uint8_t, CharSetMap>>;

    // Every designator with its map, in the order the table is built.
    static const Table &all();
    // The map of a designator, or nothing when the byte designates no set (the sequence is then
    // not a designation at all).
    static const CharSetMap *mapLookup(uint8_t designator);

private:
    static Table buildTables();
};

} // namespace kestrix
