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
    const Slot &slot = slots_[slotFor(text, hashOf(text))];
    if (slot.indexPlusOne == 0) {
        return std::nullopt;
    }
    return slot.indexPlusOne - 1;
}

std::optional<uint32_t> ClusterTable::internSlowly(std::string_view text, uint32_t hash)
{
    if (text.empty()) {
        return std::nullopt;
    }
    if (slots_.empty()) {
        resizeIndex(smallestIndex);
    }
    size_t position = slotFor(text, hash);
    if (const Slot &slot = slots_[position]; slot.indexPlusOne != 0) {
        return slot.indexPlusOne - 1;
    }
    ++workSinceReclaim_;
    const bool arenaHasRoom = text.size() <= Slot::inlineCapacity ||
                              text.size() <= std::numeric_limits<uint32_t>::max() - arena_.size();
    if (isFull() || !arenaHasRoom) {
        return std::nullopt;
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
    std::vector<Slot> old = std::move(slots_);
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
    const size_t freed = sweepSlots(inUse);
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

// Empties the slots of texts not in use and moves a kept one back to the first empty slot from its
// home on, so every text stays reachable from its home without markers for removed ones. The slots
// are read in order (a text freed at a time would cost a random read each), starting after a slot
// that was empty before: no probe run crosses it, so every slot between a kept text's home and
// itself is final by the time the text is looked at. Whether a slot is empty, kept or freed follows
// no pattern, so those cases share one path without branches; only a text that may move (an empty
// slot lies between its home and itself) takes one.
size_t ClusterTable::sweepSlots(std::span<const uint64_t> inUse)
{
    if (slots_.empty()) {
        return 0;
    }
    // Bit i + 1 for index i in use, so that an empty slot (0) reads as not kept.
    std::vector<uint64_t> kept(indexLimit() / 64 + 1, 0);
    for (size_t word = 0; word < kept.size(); ++word) {
        const uint64_t low = word < inUse.size() ? inUse[word] << 1 : 0;
        const uint64_t carried = word > 0 && word - 1 < inUse.size() ? inUse[word - 1] >> 63 : 0;
        kept[word] = low | carried;
    }
    const size_t mask = slots_.size() - 1;
    size_t start = 0;
    while (slots_[start].indexPlusOne != 0) {
        ++start;
    }
    size_t freed = 0;
    size_t lastEmpty = start;
    for (size_t step = 1; step <= slots_.size(); ++step) {
        const size_t position = (start + step) & mask;
        Slot &slot = slots_[position];
        const uint32_t indexPlusOne = slot.indexPlusOne;
        const bool keep = ((kept[indexPlusOne / 64] >> (indexPlusOne % 64)) & 1) != 0;
        const bool freeing = indexPlusOne != 0 && !keep;
        freed += freeing ? 1 : 0;
        garbageBytes_ += freeing && slot.length == Slot::inArena ? static_cast<uint32_t>(slot.bytes >> 32) : 0;
        // Index 0 is rewritten with what it holds when nothing is freed.
        uint32_t &freedPosition = positions_[freeing ? indexPlusOne - 1 : 0];
        freedPosition = freeing ? freeIndex : freedPosition;
        lastEmpty = keep ? lastEmpty : position;
        // Only a freed slot is written: the others stay clean in the cache.
        Slot spare;
        *(freeing ? &slot : &spare) = Slot{};
        const size_t home = homeOf(slot.hash);
        if (keep && ((position - lastEmpty) & mask) <= ((position - home) & mask)) {
            size_t target = home;
            while (slots_[target].indexPlusOne != 0) {
                target = (target + 1) & mask;
            }
            slots_[target] = slot;
            positions_[indexPlusOne - 1] = static_cast<uint32_t>(target);
            slot = Slot{};
            lastEmpty = position;
        }
    }
    return freed;
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
