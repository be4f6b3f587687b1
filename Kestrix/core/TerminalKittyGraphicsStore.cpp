// The Kitty image store: transmissions, access ticks and eviction under the byte limit.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyGraphicsMedia.h"
#include "Kestrix/graphics/KittyPlacementImage.h"

#include <algorithm>

namespace kestrix {

namespace {

constexpr int64_t largestCacheLimit = 4294967296;

int64_t flooredDifference(int64_t total, int64_t amount)
{
    return std::max<int64_t>(total - amount, 0);
}

} // namespace

void Terminal::transmitKittyImage(const KittyGraphicsControl &control, ByteSpan payload, bool display)
{
    if (control.imageId && control.imageNumber) {
        sendKittyGraphicsError(control, kittyerror::idAndNumberExclusive);
        return;
    }
    KittyPayloadResult loaded = loadKittyPayload(
        control, payload, options.allowsKittyLocalMedia ? KittyLocalMedia::allowed : KittyLocalMedia::refused);
    if (const auto *message = std::get_if<std::string_view>(&loaded)) {
        sendKittyGraphicsError(control, *message);
        return;
    }
    storeKittyImage(control, std::move(std::get<KittyGraphicsPayload>(loaded)), display);
}

void Terminal::storeKittyImage(const KittyGraphicsControl &control, KittyGraphicsPayload image, bool display)
{
    KittyGraphicsState &state = kittyGraphicsState;
    uint32_t id = 0;
    if (control.imageNumber) {
        // The counter wraps; 0 means "no image" in the protocol, so it is never handed out.
        id = state.nextImageId == 0 ? 1 : state.nextImageId;
        state.nextImageId = id + 1;
    } else if (control.imageId) {
        id = *control.imageId;
    } else {
        // Without an id nothing is stored and nothing answered; a display still shows the image.
        if (display) {
            placeKittyImage(image, control, std::nullopt, std::nullopt);
        }
        return;
    }
    // The image stays at hand for the placement even when eviction drops it from the store at once.
    insertKittyImage(image, id, control.imageNumber);
    if (display && !placeKittyImage(image, control, id, control.imageNumber)) {
        return;
    }
    sendKittyGraphicsOk(control, id, control.imageNumber, control.placementId);
}

void Terminal::insertKittyImage(KittyGraphicsPayload payload, uint32_t id, std::optional<uint32_t> number)
{
    KittyGraphicsState &state = kittyGraphicsState;
    const uint64_t tick = state.nextImageAccessTick++;
    if (const auto old = state.imagesById.find(id); old != state.imagesById.end()) {
        state.totalImageBytes = flooredDifference(state.totalImageBytes, old->second.byteSize);
    }
    const auto byteSize = static_cast<int64_t>(payload.bytes().size());
    const uint64_t revision = ++state.transmissionRevision;
    state.imagesById.insert_or_assign(id, KittyGraphicsImage{std::move(payload), byteSize, tick, revision});
    state.totalImageBytes += byteSize;
    if (number) {
        state.imageNumbers[*number] = id;
    }
    evictKittyImages();
}

const KittyGraphicsImage *Terminal::lookupKittyImage(uint32_t id)
{
    KittyGraphicsState &state = kittyGraphicsState;
    const auto found = state.imagesById.find(id);
    if (found == state.imagesById.end()) {
        return nullptr;
    }
    found->second.lastAccessTick = state.nextImageAccessTick++;
    return &found->second;
}

void Terminal::removeKittyImage(uint32_t id)
{
    KittyGraphicsState &state = kittyGraphicsState;
    const auto found = state.imagesById.find(id);
    if (found == state.imagesById.end()) {
        return;
    }
    state.totalImageBytes = flooredDifference(state.totalImageBytes, found->second.byteSize);
    state.imagesById.erase(found);
    std::erase_if(state.imageNumbers, [id](const auto &entry) { return entry.second == id; });
}

std::unordered_set<uint32_t> Terminal::referencedKittyImageIds()
{
    std::unordered_set<uint32_t> ids;
    for (Buffer *each : {normalBuffer.get(), altBuffer.get()}) {
        if (!each->hasLinesWithImages()) {
            continue;
        }
        CircularBufferLineList &lines = each->lines();
        for (int64_t row = 0; row < lines.count(); ++row) {
            const BufferLine &line = lines[row];
            if (!line.images) {
                continue;
            }
            for (const std::shared_ptr<TerminalImage> &image : *line.images) {
                const auto *kitty = dynamic_cast<const KittyPlacementImage *>(image.get());
                if (kitty != nullptr && kitty->kittyIsKitty && kitty->kittyImageId) {
                    ids.insert(*kitty->kittyImageId);
                }
            }
        }
    }
    for (const auto &[key, record] : kittyGraphicsState.placementsByKey) {
        ids.insert(record.imageId);
    }
    return ids;
}

void Terminal::evictKittyImages()
{
    KittyGraphicsState &state = kittyGraphicsState;
    const int64_t limit = std::clamp<int64_t>(options.kittyImageCacheLimitBytes, 0, largestCacheLimit);
    if (state.totalImageBytes <= limit) {
        return;
    }
    const std::unordered_set<uint32_t> referenced = referencedKittyImageIds();
    // Unused images go first; only when they are all gone do images in use follow. Oldest first.
    for (const bool takeReferenced : {false, true}) {
        std::vector<std::pair<uint64_t, uint32_t>> candidates;
        for (const auto &[id, image] : state.imagesById) {
            if (takeReferenced || !referenced.contains(id)) {
                candidates.emplace_back(image.lastAccessTick, id);
            }
        }
        std::sort(candidates.begin(), candidates.end());
        for (const auto &[tick, id] : candidates) {
            removeKittyImage(id);
            if (state.totalImageBytes <= limit) {
                return;
            }
        }
    }
}

} // namespace kestrix
