// What the terminal does for inline graphics. The image state itself is not built yet: the hooks do
// what the screen needs of them now, over a state that holds no images.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/SixelDcsHandler.h"

namespace kestrix {

std::unique_ptr<DcsHandler> Terminal::makeSixelDcsHandler()
{
    return std::make_unique<SixelDcsHandler>(*this);
}

void Terminal::handleKittyGraphicsCommand(ByteSpan) {}

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
    markAllRowsDirty();
}

void Terminal::syncKittyPlacementsAfterScroll() {}

void Terminal::dropOrphanedKittyPlacements(Buffer &) {}

} // namespace kestrix
