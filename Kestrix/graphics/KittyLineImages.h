#pragma once

#include "Kestrix/graphics/KittyPlacementImage.h"
#include "Kestrix/graphics/KittyPlacementKey.h"
#include "Kestrix/model/Buffer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>

namespace kestrix {

using KittyPlacementKeySet = std::unordered_set<KittyPlacementKey>;

// The line image as a stripe of a Kitty placement; nothing for any other image.
inline KittyPlacementImage *kittyLineImage(const std::shared_ptr<TerminalImage> &image)
{
    auto *kitty = dynamic_cast<KittyPlacementImage *>(image.get());
    return kitty != nullptr && kitty->kittyIsKitty ? kitty : nullptr;
}

// The placement a stripe belongs to, when it carries both an image id and a placement id.
inline std::optional<KittyPlacementKey> kittyPlacementKeyOf(const KittyPlacementImage &image)
{
    if (!image.kittyImageId || !image.kittyPlacementId) {
        return std::nullopt;
    }
    return KittyPlacementKey{*image.kittyImageId, *image.kittyPlacementId};
}

// Calls `visit(row, line)` for every line of `buffer` that has images. The walk runs from both ends
// towards the middle and stops once it has met as many such lines as the buffer counts, so a
// placement near either end of a long scrollback is found without visiting every line. `visit` may
// take images off the line it is given.
template <class Visit> void forEachLineWithImages(Buffer &buffer, Visit &&visit)
{
    CircularBufferLineList &lines = buffer.lines();
    int64_t remaining = buffer.linesWithImagesCount();
    int64_t low = 0;
    int64_t high = lines.count() - 1;
    bool fromLow = true;
    while (remaining > 0 && low <= high) {
        const int64_t row = fromLow ? low++ : high--;
        fromLow = !fromLow;
        BufferLine &line = lines[row];
        if (!line.images) {
            continue;
        }
        --remaining;
        visit(row, line);
    }
}

// Takes the Kitty stripes of line `row` that `matches` accepts off the line, handing each to
// `take(stripe, image)`. A list left empty is dropped. Returns whether any stripe went.
template <class Matches, class Take>
bool takeKittyLineImages(Buffer &buffer, int64_t row, Matches &&matches, Take &&take)
{
    BufferLine &line = buffer.lines()[row];
    if (!line.images) {
        return false;
    }
    BufferLine::ImageList &images = *line.images;
    auto kept = images.begin();
    bool tookAny = false;
    for (auto each = images.begin(); each != images.end(); ++each) {
        KittyPlacementImage *kitty = kittyLineImage(*each);
        if (kitty != nullptr && matches(static_cast<const KittyPlacementImage &>(*kitty))) {
            take(*kitty, std::move(*each));
            tookAny = true;
        } else {
            if (kept != each) {
                *kept = std::move(*each);
            }
            ++kept;
        }
    }
    if (!tookAny) {
        return false;
    }
    images.erase(kept, images.end());
    if (images.empty()) {
        buffer.clearLineImages(row);
    } else {
        ++line.generation;
    }
    return true;
}

// The first and last line a walk changed; empty while first > last.
struct KittyChangedLines {
    int64_t first = INT64_MAX;
    int64_t last = -1;

    void add(int64_t row)
    {
        first = std::min(first, row);
        last = std::max(last, row);
    }
    bool isEmpty() const { return first > last; }
};

} // namespace kestrix
