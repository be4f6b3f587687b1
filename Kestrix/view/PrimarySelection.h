#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The desktop's primary selection: the text last selected, which a middle click pastes. Where
// the platform has none, the process keeps it, shared by its terminal views. Main thread only.
class PrimarySelection {
public:
    // Empty when nothing was selected.
    static std::string string();
    // Replaces the contents.
    static void setString(std::string_view text);
};

} // namespace kestrix
