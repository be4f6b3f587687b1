#pragma once

#include "Kestrix/model/LargePageAllocator.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kestrix {

// Texts of grapheme clusters behind small dense indices, so that a cell can hold a cluster in a
// fixed-size code. Interning is on the print path of every new cluster, so it allocates nothing per
// text and touches as little memory as it can: it is an open-addressing table of 16-byte slots that
// each hold a text's hash and index and the text itself when it is short (most clusters), so that
// finding a text reads one slot and its neighbours. Longer texts lie back to back in an arena.
//
// The table holds at most `capacity` texts. A full table refuses new texts until `reclaim` frees the
// ones its owner no longer refers to; a freed index is handed out again, so the owner must first
// forget every place it kept an index it did not mark as in use. `reclaimIsDue` spaces reclaims by
// the work done since the last one, so that a table full of texts still in use is not searched at
// every refusal.
class ClusterTable {
public:
    // Indices stay below 2^23 - 1, so a code made from one fits a cell.
    static constexpr size_t maximumCapacity = (size_t{1} << 23) - 2;

    explicit ClusterTable(size_t capacity);

    // What a text is found by: its hash and, for a text of at most eight bytes, the text as one
    // word padded with zeros. Worked out once, it serves a prefetch and the intern after it.
    struct Key {
        uint32_t hash = 0;
        uint64_t word = 0;
    };
    static Key keyOf(std::string_view text)
    {
        if (text.size() <= Slot::inlineCapacity) {
            return shortKey(shortTextWord(text), text.size());
        }
        return {longHash(text), 0};
    }
    // keyOf a text of one to eight bytes at `at`, with eight bytes readable from there on: one load
    // and no branch on the length.
    static Key keyOfReadable(const char *at, size_t size)
    {
        uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        return shortKey(word & (~uint64_t{0} >> (64 - 8 * size)), size);
    }

    // Returned for a text the table refuses: new while the table is full, or empty.
    static constexpr uint32_t refused = UINT32_MAX;
    // The index of the text, interned now when it is new. A short text found at once, the common
    // case, is found inline, and a new one goes in where its search ended.
    uint32_t internedIndex(std::string_view text, Key key)
    {
        if (text.size() - 1 < Slot::inlineCapacity && !slots_.empty()) {
            const size_t mask = slots_.size() - 1;
            for (size_t position = key.hash & mask;; position = (position + 1) & mask) {
                const Slot &slot = slots_[position];
                // An empty slot has length 0, so it never matches.
                if (slot.bytes == key.word && slot.hash == key.hash && slot.length == text.size()) {
                    return slot.indexPlusOne - 1;
                }
                if (slot.indexPlusOne == 0) {
                    return insert(text, key.hash, position);
                }
            }
        }
        return internSlowly(text, key.hash);
    }
    // The index of the text, interned now when it is new; nothing when it is new and the table is
    // full, or the text is empty.
    std::optional<uint32_t> intern(std::string_view text)
    {
        const uint32_t index = internedIndex(text, keyOf(text));
        return index == refused ? std::nullopt : std::optional<uint32_t>(index);
    }
    // Starts reading the part of the index where a text of the hash would be, for a lookup soon
    // after.
    void prefetch(uint32_t hash) const;
    // prefetch for many hashes in a row, with where the index lies read once. Valid until the next
    // intern.
    class Prefetcher;
    // The index of the text when it is interned.
    std::optional<uint32_t> find(std::string_view text) const;
    // The text of an index; empty for an index that holds none. Valid until the next intern or
    // reclaim.
    std::string_view text(uint32_t index) const;

    // Texts held.
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    // Takes effect for the next text: a table above a lowered capacity keeps its texts.
    void setCapacity(size_t capacity);
    bool isFull() const { return size_ >= capacity_; }
    // One past the highest index ever handed out: the number of bits `reclaim` reads.
    uint32_t indexLimit() const { return static_cast<uint32_t>(positions_.size()); }

    // Whether a reclaim is worth its cost now: the table is full, and enough texts were interned or
    // refused since the last reclaim to pay for the search that came before it.
    bool reclaimIsDue() const;
    // Frees every index whose bit in `inUse` is clear (bit i of word i / 64; indexLimit() bits).
    // `searchCost` is what finding the indices in use cost (for example the cells looked at); the
    // next reclaim is due after a share of that much work. Returns the number of texts freed.
    size_t reclaim(std::span<const uint64_t> inUse, size_t searchCost);

private:
    struct Slot {
        static constexpr size_t inlineCapacity = 8;
        // `length` of a text kept in the arena.
        static constexpr uint8_t inArena = 0xFF;
        uint32_t hash = 0;
        // 0 for an empty slot.
        uint32_t indexPlusOne : 24 = 0;
        uint32_t length : 8 = 0;
        // A short text padded with zeros, or the arena's offset and length of a long one.
        uint64_t bytes = 0;
    };
    static_assert(sizeof(Slot) == 16);
    static constexpr uint32_t freeIndex = UINT32_MAX;

    // A text of at most eight bytes as one word, padded with zeros: read with fixed-size loads, since
    // a copy of a variable length is a library call.
    static uint64_t shortTextWord(std::string_view text)
    {
        const size_t size = text.size();
        const auto *at = reinterpret_cast<const uint8_t *>(text.data());
        if constexpr (std::endian::native == std::endian::little) {
            if (size >= 4) {
                // The first and the last four bytes; where they overlap they agree.
                uint32_t first = 0;
                uint32_t last = 0;
                std::memcpy(&first, at, sizeof first);
                std::memcpy(&last, at + size - 4, sizeof last);
                return first | static_cast<uint64_t>(last) << (8 * (size - 4));
            }
            if (size > 0) {
                // The first, middle and last byte cover one to three bytes.
                return at[0] | static_cast<uint64_t>(at[size / 2]) << (8 * (size / 2)) |
                       static_cast<uint64_t>(at[size - 1]) << (8 * (size - 1));
            }
            return 0;
        }
        uint64_t word = 0;
        for (size_t i = 0; i < size; ++i) {
            word |= static_cast<uint64_t>(at[i]) << (8 * i);
        }
        return word;
    }
    static Key shortKey(uint64_t word, size_t size)
    {
        uint64_t hash = (size * multiplier ^ word) * multiplier;
        hash ^= hash >> 32;
        hash *= multiplier;
        return {static_cast<uint32_t>(hash >> 32), word};
    }
    static uint32_t longHash(std::string_view text)
    {
        uint64_t hash = text.size() * multiplier;
        size_t i = 0;
        for (; i + sizeof(uint64_t) <= text.size(); i += sizeof(uint64_t)) {
            uint64_t word = 0;
            std::memcpy(&word, text.data() + i, sizeof word);
            hash = (hash ^ word) * multiplier;
            hash ^= hash >> 29;
        }
        if (i < text.size()) {
            hash = (hash ^ shortTextWord(text.substr(i))) * multiplier;
        }
        hash ^= hash >> 32;
        hash *= multiplier;
        return static_cast<uint32_t>(hash >> 32);
    }
    static constexpr uint64_t multiplier = 0x9E3779B97F4A7C15ULL;

    uint32_t internSlowly(std::string_view text, uint32_t hash);
    // Puts a new text in the empty slot at `position`, where a search for it ended.
    uint32_t insert(std::string_view text, uint32_t hash, size_t position);
    std::string_view textOf(const Slot &slot) const;
    // The slot that holds the text, or the empty slot where it would go.
    size_t slotFor(std::string_view text, uint32_t hash) const;
    size_t homeOf(uint32_t hash) const { return hash & (slots_.size() - 1); }
    void resizeIndex(size_t slotCount);
    Slot makeSlot(std::string_view text, uint32_t hash, uint32_t index);
    // Frees the texts whose index is not in use; returns how many.
    size_t freeUnusedTexts(std::span<const uint64_t> inUse);
    void erase(size_t position);
    void compactArena();

    // Read at a random place for every new cluster.
    std::vector<Slot, LargePageAllocator<Slot>> slots_;
    // Where each index's slot is; freeIndex for a free index.
    std::vector<uint32_t> positions_;
    std::vector<char> arena_;
    // Bytes of the arena that belong to freed texts.
    size_t garbageBytes_ = 0;
    // Freed indices, the lowest last so it is handed out first.
    std::vector<uint32_t> freeIndices_;
    size_t size_ = 0;
    size_t capacity_;
    size_t workSinceReclaim_ = 0;
    size_t workBeforeNextReclaim_ = 0;
};

class ClusterTable::Prefetcher {
public:
    explicit Prefetcher(const ClusterTable &table)
        : slots_(table.slots_.data()), mask_(table.slots_.empty() ? 0 : table.slots_.size() - 1)
    {
    }
    void operator()(uint32_t hash) const
    {
        // An empty index has no slots and a mask of 0: the address is then null, which a prefetch
        // may name without harm.
        const Slot *const slot = slots_ + (hash & mask_);
#if defined(__x86_64__) || defined(__i386__)
        // Written out: the compiler has dropped its own prefetch from loops it reshaped, and the
        // lookups after it then waited on memory one at a time.
        asm volatile("prefetcht0 (%0)" : : "r"(slot));
#else
        __builtin_prefetch(slot);
#endif
    }

private:
    const Slot *slots_;
    size_t mask_;
};

inline void ClusterTable::prefetch(uint32_t hash) const
{
    Prefetcher(*this)(hash);
}

} // namespace kestrix
