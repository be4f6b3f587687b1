// Where Kitty placements are: their stripes in the lines, positions through chains of parents, and
// the placement table kept in step with the lines when the screen scrolls.

#include "Kestrix/core/SaturatingArithmetic.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyLineImages.h"

#include <algorithm>
#include <vector>

namespace kestrix {

namespace {

bool hasParent(const KittyPlacementRecord &record)
{
    return record.parentImageId && record.parentPlacementId;
}

// A line image that a scroll sync moves to follow its parent.
struct KittyStripeMove {
    int64_t rowShift = 0;
    Position to;
};

// Takes the stripes of the moving placements off their lines and puts them back shifted; a stripe whose
// new line lies outside the buffer is dropped. Returns the lines it changed.
KittyChangedLines moveStripes(Buffer &b, const std::unordered_map<KittyPlacementKey, KittyStripeMove> &moves)
{
    struct TakenStripe {
        std::shared_ptr<TerminalImage> image;
        KittyPlacementImage *kitty = nullptr;
        int64_t line = 0;
        const KittyStripeMove *move = nullptr;
    };
    std::vector<TakenStripe> taken;
    KittyChangedLines changed;
    forEachLineWithImages(b, [&](int64_t row, BufferLine &) {
        const auto matches = [&moves](const KittyPlacementImage &image) {
            const std::optional<KittyPlacementKey> key = kittyPlacementKeyOf(image);
            return key && moves.contains(*key);
        };
        const auto take = [&](KittyPlacementImage &kitty, std::shared_ptr<TerminalImage> image) {
            taken.push_back({std::move(image), &kitty, row, &moves.at(*kittyPlacementKeyOf(kitty))});
        };
        if (takeKittyLineImages(b, row, matches, take)) {
            changed.add(row);
        }
    });
    // Put back only after the walk, so no stripe is met twice.
    for (TakenStripe &stripe : taken) {
        const int64_t line = saturatingAdd(stripe.line, stripe.move->rowShift);
        if (line < 0 || line >= b.lines().count()) {
            continue;
        }
        stripe.image->setCol(stripe.move->to.col);
        stripe.kitty->kittyCol = stripe.move->to.col;
        stripe.kitty->kittyRow = stripe.move->to.row;
        b.appendLineImage(std::move(stripe.image), line);
        changed.add(line);
    }
    return changed;
}

} // namespace

// MARK: Parents

Terminal::KittyParentResolution Terminal::resolveKittyParent(const KittyGraphicsControl &control)
{
    if (!control.parentImageId || !control.parentPlacementId) {
        return {};
    }
    const KittyPlacementKey key{*control.parentImageId, *control.parentPlacementId};
    const auto &table = kittyGraphicsState.placementsByKey;
    const auto found = table.find(key);
    if (found == table.end()) {
        return {std::nullopt, kittyerror::parentNotFound};
    }
    if (found->second.isAlternateBuffer != isAlternateBufferActive()) {
        return {std::nullopt, kittyerror::parentNotInCurrentBuffer};
    }
    KittyPlacementMemo memo;
    const std::optional<Position> position =
        resolveKittyPlacementPosition(key, kittyPlacementPositions(*buffer), memo);
    if (!position) {
        return {std::nullopt, kittyerror::parentNotFound};
    }
    return {Position{saturatingAdd(position->col, control.offsetH),
                     saturatingAdd(position->row, control.offsetV)},
            {}};
}

std::optional<Position> Terminal::resolveKittyPlacementPosition(KittyPlacementKey key,
                                                                const KittyPlacementPositions &positions,
                                                                KittyPlacementMemo &memo)
{
    const auto &table = kittyGraphicsState.placementsByKey;
    const bool onAlternate = isAlternateBufferActive();
    // Walks up the parent chain to a placement whose position is known, then adds the offsets back
    // down. A loop instead of recursion: a host can build chains of any length, and a chain that
    // comes back to a placement it passed fails.
    std::vector<const KittyPlacementRecord *> chain;
    KittyPlacementKeySet visiting;
    std::optional<Position> position;
    for (;;) {
        if (const auto known = memo.find(key); known != memo.end()) {
            position = known->second;
            break;
        }
        const auto found = table.find(key);
        if (found == table.end() || found->second.isAlternateBuffer != onAlternate ||
            !visiting.insert(key).second) {
            break;
        }
        const KittyPlacementRecord &record = found->second;
        if (!record.isVirtual && hasParent(record)) {
            chain.push_back(&record);
            key = KittyPlacementKey{*record.parentImageId, *record.parentPlacementId};
            continue;
        }
        position = Position{record.col, record.row};
        if (!record.isVirtual) {
            if (const auto cells = positions.find(key); cells != positions.end()) {
                position = cells->second;
            }
        }
        memo.emplace(key, position);
        break;
    }
    for (auto child = chain.rbegin(); child != chain.rend(); ++child) {
        const KittyPlacementRecord &record = **child;
        if (position) {
            position = Position{saturatingAdd(position->col, record.parentOffsetH),
                                saturatingAdd(position->row, record.parentOffsetV)};
        }
        memo.insert_or_assign(KittyPlacementKey{record.imageId, record.placementId}, position);
    }
    return position;
}

Terminal::KittyPlacementPositions Terminal::kittyPlacementPositions(Buffer &screen)
{
    KittyPlacementPositions positions;
    if (!screen.hasLinesWithImages()) {
        return positions;
    }
    forEachLineWithImages(screen, [&positions](int64_t row, BufferLine &line) {
        for (const std::shared_ptr<TerminalImage> &each : *line.images) {
            const KittyPlacementImage *image = kittyLineImage(each);
            const std::optional<KittyPlacementKey> key =
                image != nullptr ? kittyPlacementKeyOf(*image) : std::nullopt;
            if (!key) {
                continue;
            }
            // The topmost stripe marks the placement.
            const auto [entry, added] = positions.try_emplace(*key, Position{each->col(), row});
            if (!added && row < entry->second.row) {
                entry->second = Position{each->col(), row};
            }
        }
    });
    return positions;
}

// MARK: Scrolling

void Terminal::syncKittyPlacementsAfterScroll()
{
    auto &table = kittyGraphicsState.placementsByKey;
    const bool onAlternate = isAlternateBufferActive();
    const auto isRealOnThisScreen = [onAlternate](const KittyPlacementRecord &record) {
        return !record.isVirtual && record.isAlternateBuffer == onAlternate;
    };
    if (std::none_of(table.begin(), table.end(),
                     [&](const auto &entry) { return isRealOnThisScreen(entry.second); })) {
        return;
    }
    const KittyPlacementPositions positions = kittyPlacementPositions(*buffer);
    for (auto &[key, record] : table) {
        if (!isRealOnThisScreen(record)) {
            continue;
        }
        if (const auto found = positions.find(key); found != positions.end()) {
            record.col = found->second.col;
            record.row = found->second.row;
        }
    }
    // Relative placements follow their parents. Only placements without a parent are read back
    // while resolving, and those do not move here, so one memo serves the whole pass.
    KittyPlacementMemo memo;
    std::unordered_map<KittyPlacementKey, KittyStripeMove> moves;
    for (auto &[key, record] : table) {
        if (record.isAlternateBuffer != onAlternate || !hasParent(record)) {
            continue;
        }
        const std::optional<Position> resolved = resolveKittyPlacementPosition(key, positions, memo);
        if (!resolved) {
            continue;
        }
        const auto found = positions.find(key);
        const Position current = found != positions.end() ? found->second : Position{record.col, record.row};
        if (*resolved == current) {
            continue;
        }
        moves.emplace(key, KittyStripeMove{saturatingSubtract(resolved->row, current.row), *resolved});
        record.col = resolved->col;
        record.row = resolved->row;
    }
    if (!moves.empty()) {
        const KittyChangedLines changed = moveStripes(*buffer, moves);
        markKittyLinesDirty(*buffer, changed.first, changed.last);
    }
}

void Terminal::markKittyLinesDirty(const Buffer &screen, int64_t firstLine, int64_t lastLine)
{
    if (&screen != buffer || firstLine > lastLine) {
        return;
    }
    const int64_t first = std::max<int64_t>(firstLine - screen.yBase(), 0);
    const int64_t last = std::min<int64_t>(lastLine - screen.yBase(), rows - 1);
    if (first > last) {
        return;
    }
    markRowDirty(first);
    markRowDirty(last);
}

} // namespace kestrix
