// The Kitty image store: transmissions, access ticks and eviction under the byte limit.

#include "Kestrix/core/Terminal.h"
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

void Terminal::insertKittyImage(KittyGraphicsPayload payload, uint32_t id, std::optional<uint32_t> number)
{
    KittyGraphicsState &state = kittyGraphicsState;
    const uint64_t tick = state.nextImageAccessTick++;
    if (const auto old = state.imagesById.find(id); old != state.imagesById.end()) {
        state.totalImageBytes = flooredDifference(state.totalImageBytes, old->second.byteSize);
    }
    const auto byteSize = static_cast<int64_t>(payload.bytes().size());
    state.imagesById.insert_or_assign(id, KittyGraphicsImage{std::move(payload), byteSize, tick});
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
