#pragma once

#include "Kestrix/core/ScalarProperties.h"
#include "Kestrix/model/ClusterTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrix {

// A scalar that joins any cell but one ending with a control, changes neither its width nor what
// joins it next, and takes no part in the joiner, variation and flag rules. A mark that takes a
// column of its own is not one: it prints alone.
bool isPlainMark(ScalarProperties properties, uint32_t scalar);

// Where the plain marks from `i` on end, within `bytes` and at most `limit` of them.
size_t plainMarksEnd(std::span<const uint8_t> bytes, size_t i, size_t limit);

// A bit for each pair of bytes that is the UTF-8 form of a plain mark of two bytes (U+0080 to
// U+07FF, where most marks lie), at the pair read as a little-endian number: one load tells both
// that the bytes are such a form and that it is a mark.
using TwoByteMarks = std::array<uint64_t, 65536 / 64>;
const TwoByteMarks &twoByteMarks();

// The clusters of one scalar and plain marks that a print run joins, found a few ahead of it. Each
// one is decoded and hashed once, and its place in the cluster table is read early, so that the
// table's memory is fetched for several clusters at a time instead of one after the other.
class ClusterLookahead {
public:
    struct Cluster {
        size_t end = 0;
        ClusterTable::Key key;
    };

    // `maximumMarks` bounds the marks a cluster takes after its first scalar. `following`: bytes
    // after the run, where the first cluster's slot is fetched once looking ahead reaches them.
    ClusterLookahead(std::span<const uint8_t> bytes, std::span<const uint8_t> following, const ClusterTable &table,
                     size_t maximumMarks)
        : bytes_(bytes), following_(following),
          readablePast_(following.data() == bytes.data() + bytes.size() ? following.size() : 0), table_(table),
          maximumMarks_(maximumMarks), twoByteMarks_(twoByteMarks())
    {
    }

    // The cluster of the scalar at `start` (a printable ASCII byte or a whole UTF-8 sequence) and
    // the plain marks after it, of which there must be at least one: where it ends and its key.
    // Asked for clusters in the order of their places, it finds each one looked up already.
    Cluster clusterAt(size_t start)
    {
        if (count_ > 0 && ring_[head_].start == start) [[likely]] {
            return takeFirst(start);
        }
        return clusterNotFirst(start);
    }

    // How many bytes past the run may be read in place: those of `following` when they lie right
    // after it in memory.
    size_t readablePast() const { return readablePast_; }

private:
    // Left unset until filled: a run that finds no cluster pays nothing for the ring.
    struct Entry {
        size_t start;
        size_t end;
        ClusterTable::Key key;
    };
    // How far ahead clusters are looked up: in clusters, and in bytes past the one asked for. The
    // bytes only bound the work for a cluster asked for; the ring is what should end a refill.
    // Where words of ideographs or emoji lie between the marked letters, a shorter reach ended
    // nearly every refill early, after a number of scalars the processor could not guess.
    static constexpr size_t ringSize = 16;
    static constexpr size_t distance = 256;

    void fill(size_t limit);
    void prefetchFirstClusterFollowing();
    Cluster takeFirst(size_t start)
    {
        const Entry &entry = ring_[head_];
        const Cluster cluster{entry.end, entry.key};
        head_ = (head_ + 1) % ringSize;
        --count_;
        // Refilled by halves: a refill after every cluster would end after one scalar or two, as
        // the marks fall, which the processor could not guess. Not once looking ahead has reached
        // the end of the run, as it mostly has on a line with few such clusters.
        if (next_ < bytes_.size() && count_ < ringSize / 2) {
            fill(start + distance);
        }
        return cluster;
    }
    // clusterAt when the first cluster kept is not this one: looking ahead has not come this far,
    // or kept clusters that other paths took.
    Cluster clusterNotFirst(size_t start);
    std::optional<bool> scan(size_t start, Entry &entry) const;

    std::span<const uint8_t> bytes_;
    // Emptied once looked at.
    std::span<const uint8_t> following_;
    size_t readablePast_;
    const ClusterTable &table_;
    size_t maximumMarks_;
    const TwoByteMarks &twoByteMarks_;
    std::array<Entry, ringSize> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
    // Where looking ahead goes on.
    size_t next_ = 0;
};

} // namespace kestrix
