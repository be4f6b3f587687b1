// Kitty graphics commands: intake of APC "G" strings, chunked uploads, dispatch by action and the
// OK and error replies.

#include "Kestrix/core/Terminal.h"

#include <string>

namespace kestrix {

namespace {

void appendKey(std::string &text, std::string_view key, uint32_t value)
{
    if (text.size() > 1) {
        text += ',';
    }
    text += key;
    text += '=';
    text += std::to_string(value);
}

} // namespace

void Terminal::handleKittyGraphicsCommand(ByteSpan) {}

void Terminal::sendKittyGraphicsError(const KittyGraphicsControl &control, std::string_view message)
{
    if (control.suppressResponses != 0) {
        return;
    }
    // An error names the image by its id, else by its number, never both and never the placement.
    std::string text = "G";
    if (control.imageId) {
        appendKey(text, "i", *control.imageId);
    } else if (control.imageNumber) {
        appendKey(text, "I", *control.imageNumber);
    }
    text += ';';
    text += message;
    sendReply({cc.send8bit ? "\x9f" : "\x1b_", text, st()});
}

void Terminal::sendKittyGraphicsOk(const KittyGraphicsControl &control, std::optional<uint32_t> imageId,
                                   std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId)
{
    if (control.suppressResponses != 0) {
        return;
    }
    std::string text = "G";
    if (imageId) {
        appendKey(text, "i", *imageId);
    }
    if (imageNumber) {
        appendKey(text, "I", *imageNumber);
    }
    if (placementId) {
        appendKey(text, "p", *placementId);
    }
    text += ";OK";
    sendReply({cc.send8bit ? "\x9f" : "\x1b_", text, st()});
}

} // namespace kestrix
