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
    class OptionalColor;

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
        friend class OptionalColor;
        // A kind no colour has: the empty state of an `OptionalColor`.
        static constexpr Kind absentKind = static_cast<Kind>(0xFF);

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

    // An optional colour in the four bytes of the colour itself, with the interface of
    // std::optional: absence is a kind that no colour has.
    class OptionalColor {
    public:
        constexpr OptionalColor() = default;
        constexpr OptionalColor(std::nullopt_t) {}
        constexpr OptionalColor(const Color &color)
            : color_(color)
        {
        }
        constexpr OptionalColor(const std::optional<Color> &color)
        {
            if (color) {
                color_ = *color;
            }
        }

        constexpr OptionalColor &operator=(std::nullopt_t)
        {
            reset();
            return *this;
        }
        constexpr OptionalColor &operator=(const Color &color)
        {
            color_ = color;
            return *this;
        }

        constexpr bool has_value() const { return color_.kind_ != Color::absentKind; }
        constexpr explicit operator bool() const { return has_value(); }
        constexpr const Color &operator*() const { return color_; }
        constexpr const Color *operator->() const { return &color_; }
        const Color &value() const
        {
            if (!has_value()) {
                throw std::bad_optional_access();
            }
            return color_;
        }
        constexpr Color value_or(const Color &fallback) const { return has_value() ? color_ : fallback; }
        constexpr void reset() { color_ = Color(Color::absentKind, 0, 0, 0); }
        constexpr operator std::optional<Color>() const
        {
            return has_value() ? std::optional<Color>(color_) : std::nullopt;
        }

        constexpr bool operator==(const OptionalColor &) const = default;
        constexpr bool operator==(std::nullopt_t) const { return !has_value(); }
        constexpr bool operator==(const Color &color) const { return has_value() && color_ == color; }

    private:
        Color color_ = Color(Color::absentKind, 0, 0, 0);
    };

    Color fg;
    Color bg;
    CharacterStyle style;
    UnderlineStyle underlineStyle = UnderlineStyle::none;
    // Absent means the underline takes the foreground colour.
    OptionalColor underlineColor;

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
