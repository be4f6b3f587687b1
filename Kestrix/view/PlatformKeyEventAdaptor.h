#pragma once

#include "Kestrix/view/PlatformKeyEvent.h"

#include <cstdint>

class QKeyEvent;

namespace kestrix {

// Turns a Qt key event into the record the key tables read: the hardware key as a classic Mac
// key code, the key's character with Shift alone (from the event's X keysym through
// libxkbcommon, so the user's layout decides), keys without a character as private-use
// function-key characters, and Ctrl, Alt and Super as Control, Option and Command.
//
// Events a program makes up (no native scan code or keysym) are read from the Qt key as the US
// layout would type it.
class PlatformKeyEventAdaptor {
public:
    // Modifier keys change the flags: a press sets the key's own flag in the record and a
    // release clears it, whatever the toolkit reported.
    static PlatformKeyEvent fromQKeyEvent(const QKeyEvent &event);

    // The Mac key code of a Linux input (evdev) key code; absent keys give unknownKeyCode.
    static uint16_t keyCodeFromEvdev(uint32_t evdevCode);
    // The keysym a made-up event stands for, or 0.
    static uint32_t keysymFromQtKey(int qtKey, bool shift, bool keypad);

    // A key code no table knows.
    static constexpr uint16_t unknownKeyCode = 0xFFFF;
};

} // namespace kestrix
