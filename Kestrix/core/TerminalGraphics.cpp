// The hooks of inline graphics that the screen calls: Sixel strings, clearing on resets, and keeping
// Kitty placements in step with scrolling and screen switches.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/graphics/SixelDcsHandler.h"

namespace kestrix {

std::unique_ptr<DcsHandler> Terminal::makeSixelDcsHandler()
{
    return std::make_unique<SixelDcsHandler>(defaultAnsiColors, [this](std::span<const uint8_t> pixels,
                                                                       int64_t width, int64_t height) {
        if (tdel_ != nullptr) {
            tdel_->terminalBitmapImage(*this, pixels, width, height);
        }
    });
}

void Terminal::clearKittyGraphics()
{
    for (Buffer *each : {normalBuffer.get(), altBuffer.get()}) {
        if (!each->hasLinesWithImages()) {
            continue;
        }
        CircularBufferLineList &lines = each->lines();
        for (int64_t row = 0; row < lines.count(); ++row) {
            each->clearLineImages(row);
        }
    }
    // The pending upload and the id counters survive a reset.
    KittyGraphicsState &state = kittyGraphicsState;
    state.imagesById.clear();
    state.imageNumbers.clear();
    state.placementsByKey.clear();
    state.totalImageBytes = 0;
    state.nextImageAccessTick = 1;
    markAllRowsDirty();
}

} // namespace kestrix
