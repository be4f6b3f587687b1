#pragma once

#include "Kestrix/core/KittyKeyboardFlags.h"
#include "Kestrix/view/KeyboardAction.h"
#include "Kestrix/view/KittyKeyEvent.h"
#include "Kestrix/view/KittyKeyboardEncoder.h"
#include "Kestrix/view/PlatformKeyEvent.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The key event a Kitty-mode key press left for the input system; text input consumes it.
struct PendingKittyKeyEvent {
    PlatformKeyEvent event;
    KittyKeyboardEventType eventType = KittyKeyboardEventType::press;
};

// Turns key events and text commands into bytes for the host, in the legacy encoding or, when
// the host switched it on, the Kitty keyboard protocol. Knows nothing of the toolkit: the view
// hands it PlatformKeyEvent records and carries out the actions it returns.
class TerminalKeyboard {
public:
    // What the key handlers read of the terminal for one event.
    struct Context {
        // The Kitty flags of the active screen; zero means the legacy encoding.
        KittyKeyboardFlags kittyFlags;
        // DECCKM.
        bool applicationCursor = false;
    };

    std::vector<KeyboardAction> keyDown(const PlatformKeyEvent &event, Context context);
    // A text command of the input system, named by its selector ("moveUp:").
    std::vector<KeyboardAction> doCommand(std::string_view selector, Context context) const;
    // Bytes to send for a key release, if any.
    std::optional<std::vector<uint8_t>> keyUp(const PlatformKeyEvent &event, Context context) const;
    // Bytes to send when a modifier key goes down or up, if any.
    std::optional<std::vector<uint8_t>> flagsChanged(const PlatformKeyEvent &event, Context context) const;

    // Control plus one character; empty when the character has no control form.
    static std::vector<uint8_t> controlKeyBytes(std::string_view characters);
    static std::optional<KittyFunctionalKey> kittyFunctionalKey(const PlatformKeyEvent &event);
    // The text a keypad key types, which the Kitty protocol can report with the key.
    static std::optional<std::string> kittyTextForFunctionalKey(KittyFunctionalKey key,
                                                                const PlatformKeyEvent &event);
    std::optional<KittyKeyEvent> kittyKeyEvent(const PlatformKeyEvent &event,
                                               KittyKeyboardEventType eventType,
                                               std::optional<std::string> text) const;
    // The US-layout character of a key code, if it has one.
    static std::optional<char32_t> kittyBaseLayoutKey(uint16_t keyCode);
    static KittyKeyboardModifiers kittyModifiers(KeyModifierFlags flags, bool includeOption);
    // The modifier key of a key code (54 to 62), if it is one.
    static std::optional<KittyFunctionalKey> kittyModifierKey(uint16_t keyCode);
    // The flag that is set while the modifier key is held.
    static KeyModifierFlags modifierFlag(KittyFunctionalKey modifierKey);

    // Option (Alt) acts as Meta: an ESC prefix in the legacy encoding, the alt bit in the Kitty
    // one. On by default, as Linux users expect; AltGr, not Alt, composes characters there.
    bool optionAsMetaKey() const { return optionAsMetaKey_; }
    void setOptionAsMetaKey(bool on) { optionAsMetaKey_ = on; }
    bool backspaceSendsControlH() const { return backspaceSendsControlH_; }
    void setBackspaceSendsControlH(bool on) { backspaceSendsControlH_ = on; }
    // An input method holds marked text.
    bool kittyIsComposing() const { return kittyIsComposing_; }
    void setKittyIsComposing(bool composing) { kittyIsComposing_ = composing; }

    const std::optional<PendingKittyKeyEvent> &pendingKittyKeyEvent() const { return pendingKittyKeyEvent_; }
    std::optional<PendingKittyKeyEvent> takePendingKittyKeyEvent();

private:
    std::vector<KeyboardAction> legacyKeyDown(const PlatformKeyEvent &event, Context context);
    std::vector<KeyboardAction> withoutMeta(const PlatformKeyEvent &event, Context context);
    std::vector<KeyboardAction> kittyKeyDown(const PlatformKeyEvent &event, Context context);
    std::optional<std::vector<KeyboardAction>> kittyCommand(std::string_view selector, Context context) const;
    std::vector<KeyboardAction> legacyCommand(std::string_view selector, Context context) const;
    KittyKeyboardEncoder encoder(Context context) const;
    // Encodes a functional key with no text; absent when the encoder sends nothing.
    std::optional<std::vector<uint8_t>> kittyFunctionalKeyBytes(KittyFunctionalKey key,
                                                                KittyKeyboardModifiers modifiers,
                                                                KittyKeyboardEventType eventType,
                                                                Context context) const;

    bool optionAsMetaKey_ = true;
    bool backspaceSendsControlH_ = false;
    bool kittyIsComposing_ = false;
    std::optional<PendingKittyKeyEvent> pendingKittyKeyEvent_;
};

} // namespace kestrix
