#pragma once

#include "Kestrix/view/KittyFunctionalKey.h"
#include "Kestrix/view/KittyKeyboardEventType.h"
#include "Kestrix/view/KittyKeyboardModifiers.h"

#include <optional>
#include <string>

namespace kestrix {

// The key of an event: a character key (by its Unicode scalar), a functional key, or no key
// at all (reported with key number 0).
class KittyKey {
public:
    enum class Kind : uint8_t { unicode, functional, none };

    static constexpr KittyKey unicode(char32_t scalar) { return KittyKey(Kind::unicode, scalar, {}); }
    static constexpr KittyKey functional(KittyFunctionalKey key)
    {
        return KittyKey(Kind::functional, 0, key);
    }
    static constexpr KittyKey none() { return KittyKey(Kind::none, 0, {}); }

    constexpr Kind kind() const { return kind_; }
    // Meaningful only for the matching kind.
    constexpr char32_t scalar() const { return scalar_; }
    constexpr KittyFunctionalKey functionalKey() const { return functionalKey_; }

    constexpr bool isFunctional(KittyFunctionalKey key) const
    {
        return kind_ == Kind::functional && functionalKey_ == key;
    }

    constexpr bool operator==(const KittyKey &) const = default;

private:
    constexpr KittyKey(Kind kind, char32_t scalar, KittyFunctionalKey functionalKey)
        : kind_(kind)
        , scalar_(scalar)
        , functionalKey_(functionalKey)
    {
    }

    Kind kind_;
    char32_t scalar_;
    KittyFunctionalKey functionalKey_;
};

// One key event as the Kitty keyboard encoder takes it. Text is UTF-8.
struct KittyKeyEvent {
    KittyKey key = KittyKey::none();
    KittyKeyboardModifiers modifiers;
    KittyKeyboardEventType eventType = KittyKeyboardEventType::press;
    // What the key types, if anything.
    std::optional<std::string> text;
    // The key's character with Shift.
    std::optional<char32_t> shiftedKey;
    // The key in the standard (US) layout.
    std::optional<char32_t> baseLayoutKey;
    // An input method holds marked text.
    bool composing = false;

    bool operator==(const KittyKeyEvent &) const = default;
};

} // namespace kestrix
