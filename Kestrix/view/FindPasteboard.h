#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// The last searched-for text, shared by every terminal view of the process, so a term found in one
// terminal is offered by the find bar of the next. Linux desktops have no system-wide find buffer;
// where the clipboard has one (macOS), it is used instead, shared with other applications.
// Main thread only.
class FindPasteboard {
public:
    // Absent until something was searched for.
    static std::optional<std::string> string();
    // Replaces the contents.
    static void setString(std::string_view text);
};

} // namespace kestrix
