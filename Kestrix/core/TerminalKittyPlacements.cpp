// Kitty placements and deletion. Not built yet: puts find nothing to place, placements fail and
// deletions remove nothing.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/KittyGraphicsErrors.h"

namespace kestrix {

void Terminal::putKittyImage(const KittyGraphicsControl &control)
{
    sendKittyGraphicsError(control, kittyerror::imageNotFound);
}

bool Terminal::placeKittyImage(const KittyGraphicsPayload &, const KittyGraphicsControl &,
                               std::optional<uint32_t>, std::optional<uint32_t>)
{
    return false;
}

void Terminal::deleteKittyPlacements(const KittyGraphicsControl &) {}

} // namespace kestrix
