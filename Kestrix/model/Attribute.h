#pragma once

#include "Kestrix/model/CharacterStyle.h"
#include "Kestrix/model/UnderlineStyle.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

// Colours and style of one cell. A plain value of a few bytes: cells copy it with memory moves.
struct Attribute {
    // A cell colour: a palette index, a direct colour, or the role's default (plain or inverted).
    class Color {
    public:
        enum class Kind : uint8_t { ansi256, trueColor, defaultColor, defaultInvertedColor };

        static constexpr Color ansi256(uint8_t code) { return Color(Kind::ansi256, code, 0, 0); }
        static constexpr Color trueColor(uint8_t red, uint8_t green, uint8_t blue)
        {
            return Color(Kind::trueColor, red, green, blue);
        }
        static constexpr Color defaultColor() { return Color(Kind::defaultColor, 0, 0, 0); }
        static constexpr Color defaultInvertedColor() { return Color(Kind::defaultInvertedColor, 0, 0, 0); }

        constexpr Color() = default;

        constexpr Kind kind() const { return kind_; }
        constexpr bool isDefault() const { return kind_ == Kind::defaultColor; }
        // Palette index of an `ansi256` colour (0 for the other kinds).
        constexpr uint8_t code() const { return kind_ == Kind::ansi256 ? first_ : 0; }
        // Channels of a `trueColor` colour (0 for the other kinds).
        constexpr uint8_t red() const { return kind_ == Kind::trueColor ? first_ : 0; }
        constexpr uint8_t green() const { return second_; }
        constexpr uint8_t blue() const { return third_; }

        constexpr bool operator==(const Color &) const = default;

    private:
        constexpr Color(Kind kind, uint8_t first, uint8_t second, uint8_t third)
            : kind_(kind)
            , first_(first)
            , second_(second)
            , third_(third)
        {
        }

        // Unused payload bytes stay 0, so equality is case and payload equality.
        Kind kind_ = Kind::defaultColor;
        uint8_t first_ = 0;
        uint8_t second_ = 0;
        uint8_t third_ = 0;
    };

    Color fg;
    Color bg;
    CharacterStyle style;
    UnderlineStyle underlineStyle = UnderlineStyle::none;
    // Absent means the underline takes the foreground colour.
    std::optional<Color> underlineColor;

    // The SGR parameters that select this attribute, for the DECRQSS answer ("0;1;31m").
    std::string sgrParameters() const;

    // True for the attribute of a cell nobody styled: default colours, no style, no underline.
    bool isPlainDefault() const { return *this == Attribute(); }

    bool operator==(const Attribute &) const = default;
};

} // namespace kestrix

template <> struct std::hash<kestrix::Attribute::Color> {
    size_t operator()(const kestrix::Attribute::Color &color) const noexcept;
};

template <> struct std::hash<kestrix::Attribute> {
    size_t operator()(const kestrix::Attribute &attribute) const noexcept;
};
