// Cell codes: Unicode scalars up to 0x400000, interned grapheme clusters above.

#include "Kestrix/core/GraphemeBreaker.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>

namespace kestrix {

namespace {

// The code of a cluster that is stored as itself, or nothing for one that is interned.
std::optional<int32_t> codeWithoutInterning(std::string_view cluster)
{
    if (cluster == "\r\n") {
        return '\n';
    }
    if (cluster.empty()) {
        return 0;
    }
    size_t index = 0;
    const uint32_t first = utf8::next(cluster, index);
    // A single scalar that fits one UTF-16 unit is stored as itself; astral scalars are interned.
    if (index == cluster.size() && first < 0x10000) {
        return static_cast<int32_t>(first);
    }
    return std::nullopt;
}

// What a cluster shows as while the table is full: its first scalar.
int32_t firstScalarCode(std::string_view cluster)
{
    size_t index = 0;
    return static_cast<int32_t>(utf8::next(cluster, index));
}

} // namespace

int32_t Terminal::cellCode(std::string_view cluster)
{
    if (const std::optional<int32_t> code = codeWithoutInterning(cluster)) {
        return *code;
    }
    const std::optional<uint32_t> index = clusters_.intern(cluster);
    return index ? firstClusterCode + static_cast<int32_t>(*index) : firstScalarCode(cluster);
}

int32_t Terminal::printedClusterCode(std::string_view cluster)
{
    if (const std::optional<int32_t> code = codeWithoutInterning(cluster)) {
        return *code;
    }
    return internedClusterCode(cluster, ClusterTable::keyOf(cluster));
}

// A cluster the full table refused: once a reclaim is due it is tried again. Out of line, so that
// interning inlines into the print path without the reclaim.
[[gnu::noinline]] int32_t Terminal::refusedClusterCode(std::string_view cluster, ClusterTable::Key key)
{
    if (clusters_.reclaimIsDue()) {
        reclaimClusters();
        if (const uint32_t index = clusters_.internedIndex(cluster, key); index != ClusterTable::refused) {
            return firstClusterCode + static_cast<int32_t>(index);
        }
    }
    return firstScalarCode(cluster);
}

// Frees the clusters that no cell refers to. Cells live in the lines of both buffers (every slot of
// each ring, including lines a resize put out of the count, which may count again), in the line
// used to fill new rows. The caches that map to codes
// are emptied, since a freed code may come back as another cluster.
void Terminal::reclaimClusters()
{
    // A few words more than the indices take: codes of no cluster set a bit there instead of taking
    // a branch, as clusters and other codes mix at random. Neighbouring cells use different spare
    // words, so that their updates do not wait for one another.
    constexpr size_t spareWords = 8;
    const size_t words = (clusters_.indexLimit() + 63) / 64;
    std::vector<uint64_t> inUse(words + spareWords, 0);
    const uint64_t limit = clusters_.indexLimit();
    auto mark = [&inUse, limit, spare = words * 64](const CharData *cells, int64_t count) {
        for (int64_t col = 0; col < count; ++col) {
            const auto index = static_cast<uint64_t>(static_cast<int64_t>(cells[col].code) - firstClusterCode);
            const uint64_t isCluster = uint64_t{0} - static_cast<uint64_t>(index < limit);
            const uint64_t spareBit = spare + static_cast<uint64_t>(col % spareWords) * 64;
            const uint64_t bit = (index & isCluster) | (spareBit & ~isCluster);
            inUse[bit / 64] |= uint64_t{1} << (bit % 64);
        }
    };
    size_t cellsLookedAt = 0;
    // Cells from a line's extent on are null cells. The print path may be writing cells in place into
    // the cursor's line that its extent does not count yet: that line is read whole, as it is held,
    // since blanking its stale cells would blank those too (an old cell read with them only keeps
    // its cluster a while longer).
    const BufferLine *writtenInPlace = nullptr;
    auto markLine = [&mark, &cellsLookedAt, &writtenInPlace](const BufferLine *line) {
        if (line == writtenInPlace && line != nullptr) {
            mark(line->cellsAsHeld(), line->dataSize());
            cellsLookedAt += static_cast<size_t>(line->dataSize());
        } else if (line != nullptr) {
            const int64_t end = std::min(line->extent(), line->dataSize());
            mark(line->cells(), end);
            cellsLookedAt += static_cast<size_t>(end);
        }
    };
    for (Buffer *each : {normalBuffer.get(), altBuffer.get()}) {
        if (each == nullptr) {
            continue;
        }
        const CircularBufferLineList &lines = each->lines();
        writtenInPlace = lines.lineIfMade(each->yBase() + each->y());
        for (int64_t slot = 0; slot < lines.allocatedSlots(); ++slot) {
            // Lines lie apart in memory, where the processor does not fetch ahead by itself: a line a
            // few slots on is fetched, and the cells of one nearer.
            if (const BufferLine *ahead = lines.lineInSlot(slot + 8)) {
                __builtin_prefetch(ahead);
            }
            if (const BufferLine *near = lines.lineInSlot(slot + 4)) {
                near->prefetchCells();
            }
            markLine(lines.lineInSlot(slot));
        }
    }
    writtenInPlace = nullptr;
    markLine(blankLine.get());
    if (clusters_.reclaim(std::span(inUse).first(words), cellsLookedAt) > 0) {
        astralCodes_.fill({});
        clusterJoins_.fill({});
        emojiSequences_.fill({});
        emojiClusters_.fill({});
    }
}

std::string Terminal::stringForCellCode(int32_t code) const
{
    if (code >= 0 && code < firstClusterCode) {
        return isUnicodeScalar(code) ? CharData::stringFromScalar(code) : std::string(" ");
    }
    return std::string(clusterText(code));
}

std::string_view Terminal::clusterText(int32_t code) const
{
    if (code >= firstClusterCode) {
        const std::string_view text = clusters_.text(static_cast<uint32_t>(code - firstClusterCode));
        if (!text.empty()) {
            return text;
        }
    }
    return " ";
}

void Terminal::appendCellText(std::string &text, int32_t code) const
{
    if (code >= firstClusterCode) {
        text += clusterText(code);
    } else if (isUnicodeScalar(code)) {
        utf8::append(text, static_cast<uint32_t>(code));
    } else {
        text += ' ';
    }
}

bool Terminal::isSingleCluster(std::string_view text)
{
    return graphemeBreaker_->isSingleCluster(text);
}

} // namespace kestrix
