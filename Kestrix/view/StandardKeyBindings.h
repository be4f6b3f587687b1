#pragma once

#include "Kestrix/view/PlatformKeyEvent.h"

#include <optional>
#include <string_view>

namespace kestrix {

// The input system's standard bindings from editing keys to text commands. A key that has no
// binding is text input instead.
struct StandardKeyBindings {
    // The selector of the text command the key stands for ("moveUp:"), if any.
    static std::optional<std::string_view> textCommand(const PlatformKeyEvent &event);
};

} // namespace kestrix
