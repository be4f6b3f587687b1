// Kitty graphics commands: intake of APC "G" strings, chunked uploads, dispatch by action and the
// OK and error replies.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyGraphicsMedia.h"

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

// The protocol answers only a client that named its image: without "i" or "I" a reply would reach
// the client's shell as typed input.
bool wantsKittyReply(const KittyGraphicsControl &control)
{
    return control.suppressResponses == 0 && (control.imageId || control.imageNumber);
}

} // namespace

void Terminal::handleKittyGraphicsCommand(ByteSpan data)
{
    const auto [control, payload] = parseKittyGraphicsControl(data);
    std::optional<KittyGraphicsPending> &pending = kittyGraphicsState.pending;
    if (control.action == 'd' || control.action == 'D') {
        pending.reset();
    }
    // While an upload is pending, a chunk's own keys do not count: only its payload does.
    if (control.more == 1) {
        if (!pending) {
            pending.emplace(control);
        }
        pending->appendChunk(payload);
        return;
    }
    KittyGraphicsPending upload = pending ? std::move(*pending) : KittyGraphicsPending(control);
    pending.reset();
    upload.appendChunk(payload);
    // Decoded into storage of its own: handling the command may feed the parser whose string
    // `payload` points into.
    const std::vector<uint8_t> decoded = upload.takeData();
    dispatchKittyGraphicsAction(upload.control, decoded);
}

void Terminal::dispatchKittyGraphicsAction(const KittyGraphicsControl &control, ByteSpan payload)
{
    switch (control.action) {
    case 'q':
        // A query checks the payload as a direct transmission, whatever the medium key says, and
        // keeps nothing.
        if (!decodeKittyDirectPayload(control, payload)) {
            sendKittyGraphicsError(control, kittyerror::badPayload);
            return;
        }
        sendKittyGraphicsOk(control, control.imageId, control.imageNumber, control.placementId);
        return;
    case 't':
        transmitKittyImage(control, payload, false);
        return;
    case 'T':
        transmitKittyImage(control, payload, true);
        return;
    case 'p':
        putKittyImage(control);
        return;
    case 'd':
    case 'D':
        deleteKittyPlacements(control);
        return;
    default:
        sendKittyGraphicsError(control, kittyerror::unsupportedAction);
        return;
    }
}

void Terminal::sendKittyGraphicsError(const KittyGraphicsControl &control, std::string_view message)
{
    if (!wantsKittyReply(control)) {
        return;
    }
    // An error names the image by its id, else by its number, never both and never the placement.
    std::string text = "G";
    if (control.imageId) {
        appendKey(text, "i", *control.imageId);
    } else {
        appendKey(text, "I", *control.imageNumber);
    }
    text += ';';
    text += message;
    sendReply({cc.send8bit ? "\x9f" : "\x1b_", text, st()});
}

void Terminal::sendKittyGraphicsOk(const KittyGraphicsControl &control, std::optional<uint32_t> imageId,
                                   std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId)
{
    if (!wantsKittyReply(control)) {
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
