#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// A colour with 16-bit channels: the terminal's foreground, background and cursor colours and every
// palette entry. An 8-bit channel value v is stored as v * 257, so 0xff becomes 0xffff.
struct Color {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;

    // CIE L*a*b* with the D65 white point.
    struct LabColor {
        double l = 0;
        double a = 0;
        double b = 0;

        bool operator==(const LabColor &) const = default;
    };

    // An OSC colour argument: "#rgb", "#rrggbb", "#rrrgggbbb", "#rrrrggggbbbb" or "rgb:r/g/b" with one
    // to four hex digits per channel. Nothing when the text is not a colour.
    static std::optional<Color> parseColor(std::span<const uint8_t> text);
    static std::optional<Color> parseColor(std::string_view text);

    // "rgb:rrrr/gggg/bbbb" with four lower-case hex digits per channel, as xterm answers colour queries.
    std::string formatAsXtermRgb() const;

    LabColor toLab() const;
    static Color fromLab(const LabColor &lab);

    // A colour from 8-bit channels.
    static constexpr Color fromRgb8(uint8_t red, uint8_t green, uint8_t blue)
    {
        return {static_cast<uint16_t>(red * 0x0101), static_cast<uint16_t>(green * 0x0101),
                static_cast<uint16_t>(blue * 0x0101)};
    }

    static const Color &defaultForeground();
    static const Color &defaultBackground();
    // The 16 base colours a terminal starts with.
    static const std::vector<Color> &defaultInstalledColors();

    bool operator==(const Color &) const = default;
};

} // namespace kestrix

template <> struct std::hash<kestrix::Color> {
    size_t operator()(const kestrix::Color &color) const noexcept
    {
        return std::hash<uint64_t>{}((uint64_t{color.red} << 32) | (uint64_t{color.green} << 16) |
                                     color.blue);
    }
};
