#include "Kestrix/core/OscText.h"

#include <limits>

namespace kestrix::osctext {

std::vector<std::string_view> split(std::string_view text, char separator, bool keepEmpty)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        const std::string_view piece = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (keepEmpty || !piece.empty()) {
            pieces.push_back(piece);
        }
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

std::optional<int64_t> parseDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // Accumulated as a negative number, whose range holds the one extra value; saturates at the
    // end of the range, so a huge number stays huge.
    constexpr int64_t lowest = std::numeric_limits<int64_t>::min();
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const int digit = c - '0';
        value = value < (lowest + digit) / 10 ? lowest : value * 10 - digit;
    }
    if (!negative) {
        return value == lowest ? std::numeric_limits<int64_t>::max() : -value;
    }
    return value;
}

} // namespace kestrix::osctext
