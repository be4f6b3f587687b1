#pragma once

#include <cstdint>
#include <initializer_list>

namespace kestrix {

// The style bits of a cell, as a set of flags over one byte.
class CharacterStyle {
public:
    static const CharacterStyle none;
    static const CharacterStyle bold;
    static const CharacterStyle underline;
    static const CharacterStyle blink;
    static const CharacterStyle inverse;
    static const CharacterStyle invisible;
    static const CharacterStyle dim;
    static const CharacterStyle italic;
    static const CharacterStyle crossedOut;

    constexpr CharacterStyle() = default;
    constexpr explicit CharacterStyle(uint8_t rawValue)
        : rawValue_(rawValue)
    {
    }
    constexpr CharacterStyle(std::initializer_list<CharacterStyle> flags)
    {
        for (CharacterStyle flag : flags) {
            rawValue_ |= flag.rawValue_;
        }
    }

    constexpr uint8_t rawValue() const { return rawValue_; }
    constexpr bool isEmpty() const { return rawValue_ == 0; }
    constexpr bool contains(CharacterStyle other) const
    {
        return (rawValue_ & other.rawValue_) == other.rawValue_;
    }
    constexpr bool isSubset(CharacterStyle of) const { return (rawValue_ & of.rawValue_) == rawValue_; }
    constexpr bool isDisjoint(CharacterStyle with) const { return (rawValue_ & with.rawValue_) == 0; }

    constexpr CharacterStyle unionWith(CharacterStyle other) const
    {
        return CharacterStyle(rawValue_ | other.rawValue_);
    }
    constexpr CharacterStyle intersection(CharacterStyle other) const
    {
        return CharacterStyle(rawValue_ & other.rawValue_);
    }
    constexpr CharacterStyle symmetricDifference(CharacterStyle other) const
    {
        return CharacterStyle(rawValue_ ^ other.rawValue_);
    }

    constexpr void insert(CharacterStyle other) { rawValue_ |= other.rawValue_; }
    constexpr void remove(CharacterStyle other) { rawValue_ &= static_cast<uint8_t>(~other.rawValue_); }
    // Sets the flags of `other` on `self` depending on `enabled`.
    constexpr void update(CharacterStyle other, bool enabled) { enabled ? insert(other) : remove(other); }

    constexpr CharacterStyle operator|(CharacterStyle other) const { return unionWith(other); }
    constexpr CharacterStyle operator&(CharacterStyle other) const { return intersection(other); }
    constexpr CharacterStyle operator^(CharacterStyle other) const { return symmetricDifference(other); }

    constexpr bool operator==(const CharacterStyle &) const = default;

private:
    uint8_t rawValue_ = 0;
};

inline constexpr CharacterStyle CharacterStyle::none{uint8_t{0}};
inline constexpr CharacterStyle CharacterStyle::bold{uint8_t{1}};
inline constexpr CharacterStyle CharacterStyle::underline{uint8_t{2}};
inline constexpr CharacterStyle CharacterStyle::blink{uint8_t{4}};
inline constexpr CharacterStyle CharacterStyle::inverse{uint8_t{8}};
inline constexpr CharacterStyle CharacterStyle::invisible{uint8_t{16}};
inline constexpr CharacterStyle CharacterStyle::dim{uint8_t{32}};
inline constexpr CharacterStyle CharacterStyle::italic{uint8_t{64}};
inline constexpr CharacterStyle CharacterStyle::crossedOut{uint8_t{128}};

} // namespace kestrix
