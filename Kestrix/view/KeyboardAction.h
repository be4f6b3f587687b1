#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrix {

// One thing the view does in answer to a key event or a text command, in order.
struct KeyboardAction {
    enum class Kind : uint8_t {
        // The bytes go to the host through the view's user-input send (even when empty: the send
        // still stamps the input time and brings the cursor into view).
        send,
        // The event goes on to the input system, which answers with text or a text command.
        interpretKeyEvents,
        // The viewport moves a page, or to the first or last line; nothing reaches the host.
        scrollPageUp,
        scrollPageDown,
        scrollToTop,
        scrollToBottom,
    };

    Kind kind = Kind::send;
    std::vector<uint8_t> bytes;

    static KeyboardAction send(std::vector<uint8_t> bytes) { return {Kind::send, std::move(bytes)}; }
    static KeyboardAction send(std::string_view bytes)
    {
        return {Kind::send, std::vector<uint8_t>(bytes.begin(), bytes.end())};
    }
    static KeyboardAction interpretKeyEvents() { return {Kind::interpretKeyEvents, {}}; }
    static KeyboardAction scrollPageUp() { return {Kind::scrollPageUp, {}}; }
    static KeyboardAction scrollPageDown() { return {Kind::scrollPageDown, {}}; }
    static KeyboardAction scrollToTop() { return {Kind::scrollToTop, {}}; }
    static KeyboardAction scrollToBottom() { return {Kind::scrollToBottom, {}}; }

    bool operator==(const KeyboardAction &) const = default;
};

} // namespace kestrix
