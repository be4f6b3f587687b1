#include "Kestrix/model/ClusterTable.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace kestrix {

namespace {

constexpr size_t smallestIndex = 64;
// A reclaim is due after 1/32 of its search's cost in texts interned or refused: a table full of
// texts in use then costs about one search of 32 cells per refused text.
constexpr size_t reclaimWorkShare = 32;

} // namespace

ClusterTable::ClusterTable(size_t capacity)
    : capacity_(std::min(capacity, maximumCapacity))
{
}

void ClusterTable::setCapacity(size_t capacity)
{
    capacity_ = std::min(capacity, maximumCapacity);
}

std::string_view ClusterTable::textOf(const Slot &slot) const
{
    if (slot.length != Slot::inArena) {
        return {reinterpret_cast<const char *>(&slot.bytes), slot.length};
    }
    const auto offset = static_cast<uint32_t>(slot.bytes);
    const auto length = static_cast<uint32_t>(slot.bytes >> 32);
    return {arena_.data() + offset, length};
}

size_t ClusterTable::slotFor(std::string_view text, uint32_t hash) const
{
    const size_t mask = slots_.size() - 1;
    const bool isShort = text.size() <= Slot::inlineCapacity;
    const uint64_t word = isShort ? shortTextWord(text) : 0;
    for (size_t position = hash & mask;; position = (position + 1) & mask) {
        const Slot &slot = slots_[position];
        if (slot.indexPlusOne == 0) {
            return position;
        }
        if (slot.hash == hash) {
            const bool same = isShort ? slot.length == text.size() && slot.bytes == word
                                      : slot.length == Slot::inArena && textOf(slot) == text;
            if (same) {
                return position;
            }
        }
    }
}

std::optional<uint32_t> ClusterTable::find(std::string_view text) const
{
    if (text.empty() || slots_.empty()) {
        return std::nullopt;
    }
    const Slot &slot = slots_[slotFor(text, keyOf(text).hash)];
    if (slot.indexPlusOne == 0) {
        return std::nullopt;
    }
    return slot.indexPlusOne - 1;
}

uint32_t ClusterTable::internSlowly(std::string_view text, uint32_t hash)
{
    if (text.empty()) {
        return refused;
    }
    if (slots_.empty()) {
        resizeIndex(smallestIndex);
    }
    const size_t position = slotFor(text, hash);
    if (const Slot &slot = slots_[position]; slot.indexPlusOne != 0) {
        return slot.indexPlusOne - 1;
    }
    return insert(text, hash, position);
}

uint32_t ClusterTable::insert(std::string_view text, uint32_t hash, size_t position)
{
    ++workSinceReclaim_;
    const bool arenaHasRoom = text.size() <= Slot::inlineCapacity ||
                              text.size() <= std::numeric_limits<uint32_t>::max() - arena_.size();
    if (isFull() || !arenaHasRoom) {
        return refused;
    }
    uint32_t index = 0;
    if (!freeIndices_.empty()) {
        index = freeIndices_.back();
        freeIndices_.pop_back();
    } else {
        index = static_cast<uint32_t>(positions_.size());
        positions_.push_back(freeIndex);
    }
    ++size_;
    // At most half the slots are taken, so a probe stays short and always ends at an empty slot.
    if (size_ * 2 > slots_.size()) {
        resizeIndex(slots_.size() * 2);
        position = slotFor(text, hash);
    }
    slots_[position] = makeSlot(text, hash, index);
    positions_[index] = static_cast<uint32_t>(position);
    return index;
}

ClusterTable::Slot ClusterTable::makeSlot(std::string_view text, uint32_t hash, uint32_t index)
{
    Slot slot;
    slot.hash = hash;
    slot.indexPlusOne = index + 1;
    if (text.size() <= Slot::inlineCapacity) {
        slot.length = static_cast<uint8_t>(text.size());
        slot.bytes = shortTextWord(text);
    } else {
        slot.length = Slot::inArena;
        slot.bytes = static_cast<uint64_t>(text.size()) << 32 | arena_.size();
        arena_.insert(arena_.end(), text.begin(), text.end());
    }
    return slot;
}

void ClusterTable::resizeIndex(size_t slotCount)
{
    const std::vector<Slot, LargePageAllocator<Slot>> old = std::move(slots_);
    slots_.assign(slotCount, Slot{});
    const size_t mask = slotCount - 1;
    for (const Slot &slot : old) {
        if (slot.indexPlusOne != 0) {
            size_t position = slot.hash & mask;
            while (slots_[position].indexPlusOne != 0) {
                position = (position + 1) & mask;
            }
            slots_[position] = slot;
            positions_[slot.indexPlusOne - 1] = static_cast<uint32_t>(position);
        }
    }
}

std::string_view ClusterTable::text(uint32_t index) const
{
    if (index >= positions_.size() || positions_[index] == freeIndex) {
        return {};
    }
    return textOf(slots_[positions_[index]]);
}

bool ClusterTable::reclaimIsDue() const
{
    return isFull() && workSinceReclaim_ >= workBeforeNextReclaim_;
}

size_t ClusterTable::reclaim(std::span<const uint64_t> inUse, size_t searchCost)
{
    workSinceReclaim_ = 0;
    workBeforeNextReclaim_ = searchCost / reclaimWorkShare;
    const size_t freed = freeUnusedTexts(inUse);
    size_ -= freed;
    // Every free index, the lowest last; without a branch per index, as which ones are free
    // follows no pattern.
    const uint32_t limit = indexLimit();
    freeIndices_.resize(limit);
    size_t count = 0;
    for (uint32_t index = limit; index-- > 0;) {
        freeIndices_[count] = index;
        count += positions_[index] == freeIndex ? 1 : 0;
    }
    freeIndices_.resize(count);
    if (garbageBytes_ * 2 > arena_.size()) {
        compactArena();
    }
    return freed;
}

// Frees every index in use in the table whose bit in `inUse` is clear. The slots of the texts freed
// lie anywhere: each is fetched a few texts ahead, so their reads overlap instead of waiting one
// after the other.
size_t ClusterTable::freeUnusedTexts(std::span<const uint64_t> inUse)
{
    std::vector<uint32_t> freeing(indexLimit());
    size_t count = 0;
    for (uint32_t index = 0; index < indexLimit(); ++index) {
        const size_t word = index / 64;
        const bool used = word < inUse.size() && ((inUse[word] >> (index % 64)) & 1) != 0;
        freeing[count] = index;
        count += positions_[index] != freeIndex && !used ? 1 : 0;
    }
    constexpr size_t ahead = 16;
    size_t garbage = 0;
    for (size_t k = 0; k < count; ++k) {
        if (k + ahead < count) {
            __builtin_prefetch(&slots_[positions_[freeing[k + ahead]]]);
        }
        const uint32_t index = freeing[k];
        const Slot &slot = slots_[positions_[index]];
        garbage += slot.length == Slot::inArena ? slot.bytes >> 32 : 0;
        erase(positions_[index]);
        positions_[index] = freeIndex;
    }
    garbageBytes_ += garbage;
    return count;
}

// Empties a slot and moves later slots of the same probe run back into the gap, so that every text
// stays reachable from its home slot without markers for removed ones.
void ClusterTable::erase(size_t position)
{
    const size_t mask = slots_.size() - 1;
    size_t hole = position;
    for (size_t next = (hole + 1) & mask; slots_[next].indexPlusOne != 0; next = (next + 1) & mask) {
        const size_t home = homeOf(slots_[next].hash);
        // The slot may move back when its home is not between the hole and itself.
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            slots_[hole] = slots_[next];
            positions_[slots_[hole].indexPlusOne - 1] = static_cast<uint32_t>(hole);
            hole = next;
        }
    }
    slots_[hole] = Slot{};
}

void ClusterTable::compactArena()
{
    std::vector<char> compacted;
    compacted.reserve(arena_.size() - garbageBytes_);
    for (Slot &slot : slots_) {
        if (slot.indexPlusOne != 0 && slot.length == Slot::inArena) {
            const std::string_view text = textOf(slot);
            slot.bytes = static_cast<uint64_t>(text.size()) << 32 | compacted.size();
            compacted.insert(compacted.end(), text.begin(), text.end());
        }
    }
    arena_ = std::move(compacted);
    garbageBytes_ = 0;
}

} // namespace kestrix
