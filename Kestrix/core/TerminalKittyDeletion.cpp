// Kitty deletion: the delete actions by mode, freeing images nothing shows any more, and dropping the
// alternate screen's graphics when the screens switch.
//
// A placement lives in two places: as stripes on buffer lines and, with a placement id or when
// virtual, as a record in the placement table. Every deletion removes both, and a placement hit in
// one of its rows goes whole.

#include "Kestrix/core/SaturatingArithmetic.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyLineImages.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace kestrix {

namespace {

// Cells from `first` to `last`, inclusive; empty when last < first.
struct CellSpan {
    int64_t first = 0;
    int64_t last = -1;

    // `extent` cells from `start`; the end saturates instead of wrapping.
    static CellSpan from(int64_t start, int64_t extent)
    {
        return {start, saturatingAdd(saturatingAdd(start, extent), -1)};
    }
    bool contains(int64_t cell) const { return cell >= first && cell <= last; }
    bool meets(const CellSpan &other) const
    {
        return first <= last && other.first <= other.last && first <= other.last && other.first <= last;
    }
};

CellSpan columnsOf(const KittyPlacementImage &image)
{
    return CellSpan::from(image.kittyCol, image.kittyCols);
}

CellSpan rowsOf(const KittyPlacementImage &image)
{
    return CellSpan::from(image.kittyRow, image.kittyRows);
}

// A record covers at least its first cell.
CellSpan columnsOf(const KittyPlacementRecord &record)
{
    return CellSpan::from(record.col, std::max<int64_t>(record.cols, 1));
}

CellSpan rowsOf(const KittyPlacementRecord &record)
{
    return CellSpan::from(record.row, std::max<int64_t>(record.rows, 1));
}

// A 1-based delete coordinate as a line index of the active buffer.
int64_t lineOfRow(const Terminal &terminal, int64_t row)
{
    return saturatingAdd(row - 1, terminal.buffer->yBase());
}

uint32_t clampedImageId(int64_t bound)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(bound, 0, std::numeric_limits<uint32_t>::max()));
}

bool hasCell(const KittyGraphicsControl &control)
{
    return control.cropX >= 1 && control.cropY >= 1;
}

// One delete mode: the lower-case letter, the keys it needs (and the error when they are missing),
// and the worker it runs.
struct DeleteMode {
    char letter;
    bool (*hasKeys)(const KittyGraphicsControl &);
    std::string_view missingKeys;
    void (*run)(Terminal &, const KittyGraphicsControl &);
};

constexpr auto needsNothing = [](const KittyGraphicsControl &) { return true; };

const std::array<DeleteMode, 10> deleteModes{{
    {'a', needsNothing, {}, [](Terminal &t, const KittyGraphicsControl &) { t.deleteAllKittyPlacements(); }},
    {'i', [](const KittyGraphicsControl &c) { return c.imageId.has_value(); }, kittyerror::missingImageId,
     [](Terminal &t, const KittyGraphicsControl &c) {
         t.deleteKittyPlacementsById(*c.imageId, c.placementId);
     }},
    {'n', [](const KittyGraphicsControl &c) { return c.imageNumber.has_value(); },
     kittyerror::missingImageNumber,
     [](Terminal &t, const KittyGraphicsControl &c) {
         const auto &numbers = t.kittyGraphicsState.imageNumbers;
         // An unknown number deletes nothing; that is no error.
         if (const auto id = numbers.find(*c.imageNumber); id != numbers.end()) {
             t.deleteKittyPlacementsById(id->second, c.placementId);
         }
     }},
    {'c',
     needsNothing,
     {},
     [](Terminal &t, const KittyGraphicsControl &) {
         t.deleteKittyPlacementsAtCell(t.buffer->x(), t.buffer->y() + t.buffer->yBase(), 0, true);
     }},
    {'p', hasCell, kittyerror::missingCellPosition,
     [](Terminal &t, const KittyGraphicsControl &c) {
         t.deleteKittyPlacementsAtCell(c.cropX - 1, lineOfRow(t, c.cropY), 0, true);
     }},
    {'q', hasCell, kittyerror::missingCellPosition,
     [](Terminal &t, const KittyGraphicsControl &c) {
         t.deleteKittyPlacementsAtCell(c.cropX - 1, lineOfRow(t, c.cropY), c.zIndex, false);
     }},
    {'x', [](const KittyGraphicsControl &c) { return c.cropX >= 1; }, kittyerror::missingColumn,
     [](Terminal &t, const KittyGraphicsControl &c) { t.deleteKittyPlacementsInColumn(c.cropX - 1); }},
    {'y', [](const KittyGraphicsControl &c) { return c.cropY >= 1; }, kittyerror::missingRow,
     [](Terminal &t, const KittyGraphicsControl &c) { t.deleteKittyPlacementsInRow(lineOfRow(t, c.cropY)); }},
    {'z',
     needsNothing,
     {},
     [](Terminal &t, const KittyGraphicsControl &c) { t.deleteKittyPlacementsByZIndex(c.zIndex); }},
    {'r', hasCell, kittyerror::missingIdRange,
     [](Terminal &t, const KittyGraphicsControl &c) {
         const uint32_t first = clampedImageId(c.cropX);
         const uint32_t second = clampedImageId(c.cropY);
         t.deleteKittyPlacementsByIdRange(std::min(first, second), std::max(first, second));
     }},
}};

char asciiLower(char letter)
{
    return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
}

// Upper-case modes also free the images nothing uses any more; a mode without case counts as upper.
bool freesImages(char mode)
{
    return !(mode >= 'a' && mode <= 'z');
}

} // namespace

void Terminal::deleteKittyPlacements(const KittyGraphicsControl &control)
{
    const char mode = control.deleteMode.value_or('a');
    const char letter = asciiLower(mode);
    const auto found = std::find_if(deleteModes.begin(), deleteModes.end(),
                                    [letter](const DeleteMode &each) { return each.letter == letter; });
    if (found == deleteModes.end()) {
        sendKittyGraphicsError(control, kittyerror::unsupportedDelete);
    } else if (!found->hasKeys(control)) {
        sendKittyGraphicsError(control, found->missingKeys);
        return;
    } else {
        found->run(*this, control);
    }
    if (freesImages(mode)) {
        pruneUnreferencedKittyImages();
    }
}

// MARK: Workers

template <class ImageMatches, class RecordMatches>
void Terminal::deleteMatchingKittyPlacements(KittySearchedLines searched, ImageMatches imageMatches,
                                             RecordMatches recordMatches)
{
    std::unordered_set<KittyPlacementKey> keys;
    const auto take = [&keys](const KittyPlacementImage &image, std::shared_ptr<TerminalImage>) {
        if (const std::optional<KittyPlacementKey> key = kittyPlacementKeyOf(image)) {
            keys.insert(*key);
        }
    };
    const auto searchBuffer = [&](Buffer &screen) {
        KittyChangedLines changed;
        forEachLineWithImages(screen, [&](int64_t row, BufferLine &) {
            if (takeKittyLineImages(screen, row, imageMatches, take)) {
                changed.add(row);
            }
        });
        markKittyLinesDirty(screen, changed.first, changed.last);
    };
    switch (searched) {
    case KittySearchedLines::visibleScreen: {
        Buffer &screen = *buffer;
        KittyChangedLines changed;
        const int64_t last = std::min(screen.yBase() + rows - 1, screen.lines().count() - 1);
        for (int64_t row = screen.yBase(); row <= last && screen.hasLinesWithImages(); ++row) {
            if (takeKittyLineImages(screen, row, imageMatches, take)) {
                changed.add(row);
            }
        }
        markKittyLinesDirty(screen, changed.first, changed.last);
        break;
    }
    case KittySearchedLines::activeBuffer:
        searchBuffer(*buffer);
        break;
    case KittySearchedLines::bothBuffers:
        searchBuffer(*normalBuffer);
        searchBuffer(*altBuffer);
        break;
    }
    auto &table = kittyGraphicsState.placementsByKey;
    std::erase_if(table, [&](const auto &entry) {
        if (!recordMatches(entry.second)) {
            return false;
        }
        keys.insert(entry.first);
        return true;
    });
    forgetKittyPlacements(keys);
}

void Terminal::forgetKittyPlacements(const std::unordered_set<KittyPlacementKey> &keys)
{
    if (keys.empty()) {
        return;
    }
    removeKittyPlacementImages(keys);
    // A placement whose stripes went is gone, record and all, so it no longer holds its image.
    for (const KittyPlacementKey &key : keys) {
        kittyGraphicsState.placementsByKey.erase(key);
    }
}

void Terminal::deleteAllKittyPlacements()
{
    const CellSpan screenColumns = CellSpan::from(0, cols);
    const CellSpan screenRows = CellSpan::from(buffer->yBase(), rows);
    deleteMatchingKittyPlacements(
        KittySearchedLines::visibleScreen, [](const KittyPlacementImage &) { return true; },
        [&](const KittyPlacementRecord &record) {
            return columnsOf(record).meets(screenColumns) && rowsOf(record).meets(screenRows);
        });
}

void Terminal::deleteKittyPlacementsById(uint32_t imageId, std::optional<uint32_t> placementId)
{
    deleteMatchingKittyPlacements(
        KittySearchedLines::bothBuffers,
        [&](const KittyPlacementImage &image) {
            return image.kittyImageId == imageId && (!placementId || image.kittyPlacementId == placementId);
        },
        [&](const KittyPlacementRecord &record) {
            return record.imageId == imageId && (!placementId || record.placementId == *placementId);
        });
}

void Terminal::deleteKittyPlacementsAtCell(int64_t col, int64_t row, int64_t zIndex, bool anyZIndex)
{
    deleteMatchingKittyPlacements(
        KittySearchedLines::activeBuffer,
        [&](const KittyPlacementImage &image) {
            return columnsOf(image).contains(col) && rowsOf(image).contains(row) &&
                   (anyZIndex || image.kittyZIndex == zIndex);
        },
        [&](const KittyPlacementRecord &record) {
            return columnsOf(record).contains(col) && rowsOf(record).contains(row) &&
                   (anyZIndex || record.zIndex == zIndex);
        });
}

void Terminal::deleteKittyPlacementsInColumn(int64_t col)
{
    deleteMatchingKittyPlacements(
        KittySearchedLines::activeBuffer,
        [&](const KittyPlacementImage &image) { return columnsOf(image).contains(col); },
        [&](const KittyPlacementRecord &record) { return columnsOf(record).contains(col); });
}

void Terminal::deleteKittyPlacementsInRow(int64_t row)
{
    deleteMatchingKittyPlacements(
        KittySearchedLines::activeBuffer,
        [&](const KittyPlacementImage &image) { return rowsOf(image).contains(row); },
        [&](const KittyPlacementRecord &record) { return rowsOf(record).contains(row); });
}

void Terminal::deleteKittyPlacementsByZIndex(int64_t zIndex)
{
    deleteMatchingKittyPlacements(
        KittySearchedLines::bothBuffers,
        [&](const KittyPlacementImage &image) { return image.kittyZIndex == zIndex; },
        [&](const KittyPlacementRecord &record) { return record.zIndex == zIndex; });
}

void Terminal::deleteKittyPlacementsByIdRange(uint32_t low, uint32_t high)
{
    deleteMatchingKittyPlacements(
        KittySearchedLines::bothBuffers,
        [&](const KittyPlacementImage &image) {
            return image.kittyImageId && *image.kittyImageId >= low && *image.kittyImageId <= high;
        },
        [&](const KittyPlacementRecord &record) { return record.imageId >= low && record.imageId <= high; });
}

// MARK: Stripes, images and screens

void Terminal::removeKittyPlacementImages(const std::unordered_set<KittyPlacementKey> &keys)
{
    if (keys.empty()) {
        return;
    }
    const auto bearsKey = [&keys](const KittyPlacementImage &image) {
        const std::optional<KittyPlacementKey> key = kittyPlacementKeyOf(image);
        return key && keys.contains(*key);
    };
    for (Buffer *screen : {normalBuffer.get(), altBuffer.get()}) {
        KittyChangedLines changed;
        forEachLineWithImages(*screen, [&](int64_t row, BufferLine &) {
            if (takeKittyLineImages(*screen, row, bearsKey, [](const KittyPlacementImage &, auto) {})) {
                changed.add(row);
            }
        });
        markKittyLinesDirty(*screen, changed.first, changed.last);
    }
}

void Terminal::pruneUnreferencedKittyImages()
{
    const std::unordered_set<uint32_t> referenced = referencedKittyImageIds();
    std::vector<uint32_t> unused;
    for (const auto &[id, image] : kittyGraphicsState.imagesById) {
        if (!referenced.contains(id)) {
            unused.push_back(id);
        }
    }
    for (const uint32_t id : unused) {
        removeKittyImage(id);
    }
}

void Terminal::discardKittyScreenGraphics(Buffer &screen, bool isAlternate)
{
    std::unordered_set<KittyPlacementKey> keys;
    KittyChangedLines changed;
    forEachLineWithImages(screen, [&](int64_t row, BufferLine &) {
        const auto collectKey = [&keys](const KittyPlacementImage &image, std::shared_ptr<TerminalImage>) {
            if (const std::optional<KittyPlacementKey> key = kittyPlacementKeyOf(image)) {
                keys.insert(*key);
            }
        };
        if (takeKittyLineImages(
                screen, row, [](const KittyPlacementImage &) { return true; }, collectKey)) {
            changed.add(row);
        }
    });
    markKittyLinesDirty(screen, changed.first, changed.last);
    std::erase_if(kittyGraphicsState.placementsByKey, [&](const auto &entry) {
        if (entry.second.isAlternateBuffer != isAlternate) {
            return false;
        }
        keys.insert(entry.first);
        return true;
    });
    forgetKittyPlacements(keys);
    pruneUnreferencedKittyImages();
}

// The screen switches call this hook with the alternate buffer: its graphics end with its use.
void Terminal::dropOrphanedKittyPlacements(Buffer &screen)
{
    discardKittyScreenGraphics(screen, &screen == altBuffer.get());
}

} // namespace kestrix
