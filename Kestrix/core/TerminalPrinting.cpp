// The print path (UTF-8 decoding, character sets, widths, joining into the previous cell) and the
// C0 controls with real logic.

#include "Kestrix/core/ClusterLookahead.h"
#include "Kestrix/core/EmojiVariation.h"
#include "Kestrix/core/NamedScalars.h"
#include "Kestrix/core/ScalarProperties.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/core/UnicodeUtil.h"
#include "Kestrix/model/CellWriter.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <unicode/uchar.h>

namespace kestrix {

namespace {

using utf8::Decoded;
using utf8::isContinuation;
using utf8::sequenceLengths;

// The top bit of each of the eight bytes at `at` that is below 0x20 or above 0x7E: adding 1 to
// such a byte sets its top bit, or subtracting 0x20 borrows. Carries and borrows only run towards
// later bytes, so the lowest flagged byte is the first one.
uint64_t nonPrintableBytes(const uint8_t *at)
{
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highBits = 0x8080808080808080ULL;
    uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return (((word + ones) | word) | ((word - ones * 0x20) & ~word)) & highBits;
}

// The end of the run of printable ASCII from `i` on, eight bytes at a time. Inlined where it is
// used: every plain-text run starts with it, and a call costs as much as a short run's scan.
[[gnu::always_inline]] inline size_t printableAsciiEnd(ByteSpan bytes, size_t i)
{
    constexpr size_t wordSize = sizeof(uint64_t);
    const size_t size = bytes.size();
    if constexpr (std::endian::native == std::endian::little) {
        const size_t start = i;
        for (; i + wordSize <= size; i += wordSize) {
            if (const uint64_t flagged = nonPrintableBytes(bytes.data() + i)) {
                return i + static_cast<size_t>(std::countr_zero(flagged)) / 8;
            }
        }
        if (i < size && size >= start + wordSize) {
            // The last eight bytes, overlapping bytes already found printable: no tail loop.
            const uint64_t flagged = nonPrintableBytes(bytes.data() + size - wordSize);
            return flagged == 0 ? size : size - wordSize + static_cast<size_t>(std::countr_zero(flagged)) / 8;
        }
    } else {
        while (i + wordSize <= size && nonPrintableBytes(bytes.data() + i) == 0) {
            i += wordSize;
        }
    }
    while (i < size && isPrintableAscii(bytes[i])) {
        ++i;
    }
    return i;
}

// The four bytes from `at` on, all at hand, as one word, the first in its low byte.
uint32_t wordAtHand(const uint8_t *at)
{
    uint32_t word = 0;
    std::memcpy(&word, at, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap32(word);
    }
    return word;
}

// The same up to `end`. Past it the word holds 0xC0, which neither continues a sequence nor is
// ASCII, so a sequence cut off there reads as invalid.
uint32_t wordAt(const uint8_t *at, const uint8_t *end)
{
    constexpr uint32_t padding = 0xC0C0C0C0;
    if (end - at >= static_cast<std::ptrdiff_t>(sizeof(uint32_t))) [[likely]] {
        return wordAtHand(at);
    }
    uint32_t word = padding;
    for (int k = 0; at + k < end; ++k) {
        word = (word & ~(0xFFU << (8 * k))) | static_cast<uint32_t>(at[k]) << (8 * k);
    }
    return word;
}

// What the scalar that starts a word read by wordAt is. Each is one test without a branch, so that a
// caller may combine them with `&` and `|`.
bool startsWithJoiner(uint32_t word)
{
    return (word & 0xFFFFFF) == 0x8D80E2;
}

bool startsWithEmojiPresentationSelector(uint32_t word)
{
    return (word & 0xFFFFFF) == 0x8FB8EF;
}

// U+1F3FB to U+1F3FF.
bool startsWithSkinTone(uint32_t word)
{
    return ((word & 0xFFFFFF) == 0x8F9FF0) & ((word >> 24) - 0xBB <= 0xBF - 0xBB);
}

// U+1F1E6 to U+1F1FF.
bool startsWithRegionalIndicator(uint32_t word)
{
    return ((word & 0xFFFFFF) == 0x879FF0) & ((word >> 24) - 0xA6 <= 0xBF - 0xA6);
}

// Writes the scalars of three bytes from `i` on that print alone (ideographs, syllables and most
// symbols of the Basic Multilingual Plane), each in a cell of its own, and a space before one of
// them, as between words of such text: the cell before them must be known not to end with a
// zero-width joiner. A space and the scalar after it are taken in one step, without a branch on
// whether the space is there, and the writer's place stays in registers. It stops at any other
// byte, a scalar that joins or may join, an invalid or cut sequence and a cell that does not fit
// before the edge, all left to the general loop. Returns where it stopped; `lastStart` is where
// the scalar of the last cell written starts.
size_t putThreeByteScalarsAlone(CellWriter &out, ByteSpan bytes, size_t i, size_t &lastStart)
{
    const CellWriter::Place place = out.place();
    int64_t room = place.limit - place.x;
    if (room <= 0) {
        return i;
    }
    const uint8_t *const data = bytes.data();
    const uint8_t *const end = data + bytes.size();
    const uint8_t *at = data + i;
    const ScalarProperties *const properties = ScalarProperties::table();
    const CellWriter::Tail tail = out.tail();
    const uint32_t spaceHead = CellWriter::headOf(' ', 1);
    CharData *const first = place.cells + place.x;
    CharData *cell = first;
    // One step: a space if there is one and a scalar; false when it takes nothing.
    auto step = [&](uint32_t word) __attribute__((always_inline)) {
        // A space and a lead of three bytes after it: the scalar is read one byte on.
        const uint32_t space = (word & 0xF0FF) == 0xE020 ? 1 : 0;
        const uint32_t sequence = word >> (8 * space);
        const uint32_t scalar = (sequence & 0x0F) << 12 | (sequence & 0x3F00) >> 2 | (sequence >> 16 & 0x3F);
        const ScalarProperties scalarProperties = properties[scalar];
        const int64_t width = scalarProperties.width();
        // Overlong forms are invalid; a surrogate does not print alone; a sequence cut off at the
        // end reads padding.
        if ((sequence & 0xC0C0F0) != 0x8080E0 || scalar < 0x800 || !scalarProperties.printsAlone() ||
            static_cast<int64_t>(space) + width > room) {
            return false;
        }
        // The space first; the scalar's cell goes over it when there is none, and a narrow cell goes
        // over its own continuation, so that it leaves its neighbour alone.
        CellWriter::store(cell, spaceHead, tail);
        cell += space;
        CellWriter::store(cell + width - 1, CellWriter::continuationHead, tail);
        CellWriter::store(cell, CellWriter::headOf(static_cast<int32_t>(scalar), static_cast<int>(width)), tail);
        cell += width;
        room -= static_cast<int64_t>(space) + width;
        at += space + 3;
        return true;
    };
    // Four bytes at hand as one load; the last three, if it comes to them, padded.
    bool going = true;
    while (going && end - at >= 4) {
        uint32_t word = 0;
        std::memcpy(&word, at, sizeof word);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap32(word);
        }
        going = step(word);
    }
    if (going && end - at == 3) {
        step(wordAt(at, end));
    }
    if (cell != first) {
        // The last cell is narrow, or the first of a wide one whose continuation has no width.
        out.movedTo(place.x + (cell - first), cell - (cell[-1].width == 0 ? 2 : 1));
        lastStart = static_cast<size_t>(at - data) - 3;
    }
    return static_cast<size_t>(at - data);
}

// Where the pieces that may continue an emoji sequence from `i` on end, within the bytes at hand:
// skin tones, and zero-width joiners each with the scalar after them (three or four bytes). A
// presentation selector ends it, as it may change the cell's width.
size_t emojiSequenceEnd(ByteSpan bytes, size_t i)
{
    const uint8_t *const data = bytes.data();
    const size_t size = bytes.size();
    for (;;) {
        const uint32_t word = wordAt(data + i, data + size);
        if (startsWithSkinTone(word)) {
            // A cut one reads as padding there.
            i += 4;
            continue;
        }
        if (!startsWithJoiner(word) || size - i < 4) {
            return i;
        }
        const size_t next = sequenceLengths[data[i + 3]];
        if (next < 3 || size - i - 3 < next) {
            return i;
        }
        i += 3 + next;
    }
}

// Whether the `length` bytes at `a` and `b` are the same, a word at a time: sequences are at least
// seven bytes long, and a call of memcmp costs more than comparing them.
bool sameBytes(const char *a, const char *b, size_t length)
{
    auto wordsAt = [&](size_t at) {
        uint64_t x = 0;
        uint64_t y = 0;
        std::memcpy(&x, a + at, sizeof x);
        std::memcpy(&y, b + at, sizeof y);
        return x == y;
    };
    if (length < sizeof(uint64_t)) {
        return std::equal(a, a + length, b);
    }
    for (size_t at = 0; at + sizeof(uint64_t) < length; at += sizeof(uint64_t)) {
        if (!wordsAt(at)) {
            return false;
        }
    }
    return wordsAt(length - sizeof(uint64_t));
}

// The scalar that ends `text` and the text before it.
uint32_t popLastScalar(std::string_view &text)
{
    size_t start = text.size();
    while (start > 0 && (static_cast<uint8_t>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
    }
    start = start > 0 ? start - 1 : 0;
    const uint32_t scalar = utf8::lastScalar(text.substr(start));
    text = text.substr(0, start);
    return scalar;
}

} // namespace

// An invalid sequence that took every byte at hand may own continuation bytes of the next run.
void Terminal::noteInvalidSequenceAtEnd(uint8_t lead, size_t taken, size_t available)
{
    const size_t length = sequenceLengths[lead];
    if (taken == available && taken < length) {
        readingBuffer.continuationsToSkip = static_cast<uint8_t>(length - taken);
    }
}

// Finishes the sequence the previous run cut off with the first bytes of `bytes`. Returns how many
// of them it took, or nothing when the sequence is still incomplete and waits for the next run.
std::optional<size_t> Terminal::finishCarriedSequence(ByteSpan bytes)
{
    std::array<uint8_t, 4> joined{};
    const size_t carried = readingBuffer.putbackCount;
    std::copy_n(readingBuffer.putbackBuffer.begin(), carried, joined.begin());
    const size_t taken = std::min(bytes.size(), joined.size() - carried);
    std::copy_n(bytes.begin(), taken, joined.begin() + static_cast<std::ptrdiff_t>(carried));
    const Decoded decoded = utf8::decode(joined.data(), carried + taken);
    if (decoded.kind == Decoded::Kind::incomplete) {
        std::copy_n(joined.begin(), carried + taken, readingBuffer.putbackBuffer.begin());
        readingBuffer.putbackCount = static_cast<uint8_t>(carried + taken);
        return std::nullopt;
    }
    readingBuffer.putbackCount = 0;
    if (decoded.kind == Decoded::Kind::invalid) {
        printByte(joined[0]);
        noteInvalidSequenceAtEnd(joined[0], decoded.length, carried + taken);
    } else {
        printScalar(decoded.scalar, ScalarProperties::of(decoded.scalar).width());
    }
    return decoded.length > carried ? decoded.length - carried : 0;
}

void Terminal::handlePrint(ByteSpan bytes, size_t asciiLength, ByteSpan following)
{
    // Most runs are plain text that fits the cursor's line: its row is the only one marked, and
    // no byte is owed to an earlier run. The row is marked first, as every run marks the row it
    // starts on, so nothing needs reading again after the cells are written.
    if (asciiLength == bytes.size() && asciiLength > 0 && !charset && readingBuffer.putbackCount == 0) {
        Buffer &b = *buffer;
        markRowDirty(b.y(), b, false);
        if (b.putAsciiWithinLine(bytes, curAttr)) {
            readingBuffer.continuationsToSkip = 0;
            return;
        }
    }
    printRunInPieces(bytes, asciiLength, following);
}

// Any other run: bytes owed to an earlier run, wraps, insert mode, character sets, UTF-8 and the
// bytes that print by themselves. Out of line, so the common run needs no room for it.
[[gnu::noinline]] void Terminal::printRunInPieces(ByteSpan bytes, size_t asciiLength, ByteSpan following)
{
    if (bytes.empty()) {
        return;
    }
    markRowDirty(buffer->y(), *buffer, false);
    size_t i = 0;
    while (readingBuffer.continuationsToSkip > 0 && i < bytes.size() && isContinuation(bytes[i])) {
        --readingBuffer.continuationsToSkip;
        ++i;
    }
    if (i < bytes.size()) {
        readingBuffer.continuationsToSkip = 0;
    }
    if (readingBuffer.putbackCount > 0) {
        const std::optional<size_t> taken = finishCarriedSequence(bytes);
        if (!taken) {
            return;
        }
        i = *taken;
    }

    const size_t size = bytes.size();
    while (i < size) {
        const uint8_t byte = bytes[i];
        if (isPrintableAscii(byte) && !charset) {
            // Plain text: whole runs of cells at once.
            // Within the ASCII the parser measured, the run ends where it found.
            const size_t end = i < asciiLength ? asciiLength : printableAsciiEnd(bytes, i + 1);
            if (end < size && bytes[end] >= 0x80) {
                // Text going on in UTF-8: written with it, so that a mark after the last letter
                // joins the cell just written.
                const size_t next = printUnicodeRun(bytes, i, following);
                if (next > i) {
                    i = next;
                    continue;
                }
            }
            const int64_t taken = buffer->putAsciiRun(bytes.first(end), static_cast<int64_t>(i), curAttr);
            if (taken > 0) {
                i += static_cast<size_t>(taken);
                continue;
            }
            // Insert mode, or no room without wraparound: one cell at a time.
            printByte(byte);
            ++i;
            continue;
        }
        if (sequenceLengths[byte] == 1) {
            printByte(byte);
            ++i;
            continue;
        }
        i = printUnicodeRun(bytes, i, following);
    }
    markRowDirty(buffer->y(), *buffer, false);
}

// Where the cluster last written for the first scalar at `text` (four bytes at hand) is kept.
Terminal::EmojiCluster &Terminal::emojiClusterSlot(const uint8_t *text)
{
    uint32_t first = 0;
    std::memcpy(&first, text, sizeof first);
    // A scalar of three bytes is placed by its own bytes, its last two where a longer one's are;
    // shifted without a branch, as words of emoji mix both.
    const uint32_t shift = 8 * static_cast<uint32_t>(text[0] < 0xF0);
    if constexpr (std::endian::native == std::endian::little) {
        first <<= shift;
    } else {
        first >>= shift;
    }
    // Emoji differ in the low bits of their last two bytes; a multiply would cost more, and the
    // next cluster's place waits on this.
    return emojiClusters_[((first >> 24) ^ (first >> 13)) % emojiClusters_.size()];
}

// Keeps the cell written for the emoji cluster of these bytes (a pictograph of three or four bytes
// first, at most 28 bytes), to be found by its bytes next time.
void Terminal::rememberEmojiCluster(const uint8_t *text, size_t length, int32_t code, int width, bool flag)
{
    EmojiCluster entry;
    if (length > sizeof entry.bytes - sizeof(uint32_t)) {
        return;
    }
    std::array<uint8_t, sizeof entry.bytes> bytes{};
    std::array<uint8_t, sizeof entry.mask> mask{};
    std::copy_n(text, length, bytes.begin());
    std::fill_n(mask.begin(), length, 0xFF);
    std::memcpy(entry.bytes.data(), bytes.data(), sizeof entry.bytes);
    std::memcpy(entry.mask.data(), mask.data(), sizeof entry.mask);
    entry.code = code;
    entry.length = static_cast<uint8_t>(length);
    entry.width = static_cast<int8_t>(width);
    entry.flag = flag;
    emojiClusterSlot(text) = entry;
}

// The emoji cluster kept for the scalar at `at` when the bytes there (32 at hand) are its bytes
// and nothing after them continues it (a skin tone or a joiner); null when not. Every kind is told
// the same way, so a mix of them costs no guess at the kind.
const Terminal::EmojiCluster *Terminal::knownEmojiCluster(const uint8_t *at, bool wideFlags)
{
    const EmojiCluster &entry = emojiClusterSlot(at);
    std::array<uint64_t, 4> words{};
    std::memcpy(words.data(), at, sizeof words);
    const uint64_t differ = ((words[0] ^ entry.bytes[0]) & entry.mask[0]) |
                            ((words[1] ^ entry.bytes[1]) & entry.mask[1]) |
                            ((words[2] ^ entry.bytes[2]) & entry.mask[2]) |
                            ((words[3] ^ entry.bytes[3]) & entry.mask[3]);
    uint32_t after = 0;
    std::memcpy(&after, at + entry.length, sizeof after);
    if constexpr (std::endian::native == std::endian::big) {
        after = __builtin_bswap32(after);
    }
    const bool continues = startsWithJoiner(after) + startsWithSkinTone(after) != 0;
    const bool known = (differ == 0) & (entry.length != 0) & !continues & (wideFlags | !entry.flag);
    return known ? &entry : nullptr;
}

// Writes emoji clusters written before (see knownEmojiCluster) one after another, each after at
// most one space, as words of emoji hold them; and a pictograph of three bytes that prints alone,
// kept for next time. The cell before them must be known to end with neither a zero-width joiner
// nor a lone regional indicator. The writer's place stays in registers, and a space is taken
// without a branch on whether it is there. Stops at anything else and a cell that does not fit.
// Returns where it stopped; `lastStart` is where the last cluster written starts, and
// `lastSingleEnd` where it ends when it is one scalar (SIZE_MAX when not).
size_t Terminal::putEmojiClusters(CellWriter &out, ByteSpan bytes, size_t readablePast, size_t i, bool wideFlags,
                                  size_t &lastStart, size_t &lastSingleEnd)
{
    const CellWriter::Place place = out.place();
    int64_t room = place.limit - place.x;
    if (room <= 0) {
        return i;
    }
    const uint8_t *const data = bytes.data();
    const size_t size = bytes.size();
    const ScalarProperties *const properties = ScalarProperties::table();
    const CellWriter::Tail tail = out.tail();
    const uint32_t spaceHead = CellWriter::headOf(' ', 1);
    CharData *const first = place.cells + place.x;
    CharData *cell = first;
    int width = 0;
    size_t start = i;
    size_t length = 0;
    // One step from `at`, where the bytes from `i` on are, with `window` of them at hand: a space if
    // there is one and a cluster; false when it takes nothing. A cluster's width and length are
    // kept only once its cell is written.
    auto step = [&](const uint8_t *at) __attribute__((always_inline)) {
        const size_t space = at[0] == ' ' ? 1 : 0;
        // Letters, ideographs and syllables start no emoji: no lookup is spent on them.
        const uint8_t lead = at[space];
        if (lead < 0xE0 || static_cast<uint8_t>(lead - 0xE4) < 0xEE - 0xE4) {
            return false;
        }
        int32_t code = 0;
        int clusterWidth = 0;
        size_t clusterLength = 0;
        if (const EmojiCluster *const known = knownEmojiCluster(at + space, wideFlags)) {
            code = known->code;
            clusterWidth = known->width;
            clusterLength = known->length;
        } else {
            // A pictograph of three bytes alone within a word, as a check mark: kept, to be found
            // by its bytes next time. Anything after it that joins or may join is left to the
            // general loop.
            const uint32_t word = wordAtHand(at);
            const uint32_t scalar = (word & 0x0F) << 12 | (word & 0x3F00) >> 2 | (word >> 16 & 0x3F);
            const ScalarProperties scalarProperties = properties[scalar];
            const uint32_t after = wordAtHand(at + 3);
            if (space != 0 || (word & 0xC0C0F0) != 0x8080E0 || scalar < 0x800 || !scalarProperties.printsAlone() ||
                !scalarProperties.isPictographic() || startsWithJoiner(after) || startsWithSkinTone(after) ||
                startsWithEmojiPresentationSelector(after)) {
                return false;
            }
            code = static_cast<int32_t>(scalar);
            clusterWidth = scalarProperties.width();
            clusterLength = 3;
            rememberEmojiCluster(at, clusterLength, code, clusterWidth, false);
        }
        // Bytes read in place past the run are no part of it.
        if (space + clusterLength > size - i || static_cast<int64_t>(space) + clusterWidth > room) {
            return false;
        }
        // The space first; the cluster's cell goes over it when there is none, and a narrow cell
        // goes over its own continuation, so that it leaves its neighbour alone.
        CellWriter::store(cell, spaceHead, tail);
        cell += space;
        CellWriter::store(cell + clusterWidth - 1, CellWriter::continuationHead, tail);
        CellWriter::store(cell, CellWriter::headOf(code, clusterWidth), tail);
        cell += clusterWidth;
        room -= static_cast<int64_t>(space) + clusterWidth;
        width = clusterWidth;
        length = clusterLength;
        start = i + space;
        i = start + length;
        return true;
    };
    constexpr size_t window = sizeof(EmojiCluster::bytes) + sizeof(uint64_t);
    // Near the end of the run the bytes are read in place while `window` of them, those after the
    // run among them, are at hand; past that, in a copy padded with zeros, which no cluster holds,
    // made when first needed.
    std::array<uint8_t, 2 * window> padded;
    size_t copied = SIZE_MAX;
    bool going = true;
    while (going && i < size) {
        const uint8_t *at = data + i;
        if (size - i + readablePast < window) [[unlikely]] {
            if (copied == SIZE_MAX) {
                padded.fill(0);
                std::copy(at, data + size, padded.begin());
                copied = i;
            }
            at = padded.data() + (i - copied);
        }
        going = step(at);
    }
    if (cell != first) {
        out.movedTo(place.x + (cell - first), cell - width);
        lastStart = start;
        lastSingleEnd = length == sequenceLengths[data[start]] ? i : SIZE_MAX;
    }
    return i;
}

// The rest of a print run from a UTF-8 lead byte on: scalars and the ASCII between them, up to a
// byte it leaves to the caller (a control, a byte that prints by itself, ASCII under a character
// set, a run the buffer takes no part of). A sequence cut off at the end waits for the next run.
// Returns where it stopped.
//
// Cells go straight into the cursor's line. The grapheme rules are applied as printScalar applies
// them, to the cell this run wrote last: a scalar that prints alone after a cell that does not end
// with a zero-width joiner takes its own cell, and a join's outcome comes from the join cache. The
// rarer cases go through printScalar: a joining scalar before this run has written a cell (or
// since printScalar last ran), a buffer of another size than the terminal's, narrow regional
// indicators, the text presentation selector and a mark that joins nothing.
size_t Terminal::printUnicodeRun(ByteSpan bytes, size_t i, ByteSpan following)
{
    // Shorter pieces of ASCII are written cell by cell; longer ones go through the buffer's run path.
    constexpr size_t shortAsciiRun = 16;
    Buffer &b = *buffer;
    CellWriter out(b, curAttr);
    const bool joinsWritten = b.cols() == cols && b.rows() == rows;
    const bool wideFlags = options.regionalIndicatorWidth == RegionalIndicatorWidth::wide;
    // What the last cell ends with as far as known; `closed`: neither a zero-width joiner nor a
    // lone regional indicator.
    enum class LastCellEnd : uint8_t { unknown, closed, joiner, indicator };
    LastCellEnd lastEnd = LastCellEnd::unknown;
    auto lastEndsWithJoiner = [&] {
        if (lastEnd == LastCellEnd::unknown) {
            const CharData *last = out.last();
            if (last == nullptr) {
                // Nothing written since the buffer was last up to date: it knows its last cell.
                return lastCellEndsWithJoiner();
            }
            lastEnd = cellEndsWithJoiner(last->code)       ? LastCellEnd::joiner
                      : cellIsRegionalIndicator(last->code) ? LastCellEnd::indicator
                                                            : LastCellEnd::closed;
        }
        return lastEnd == LastCellEnd::joiner;
    };
    auto joined = [&](CharData &last, int32_t code, bool endsWithJoiner) {
        last.code = code;
        // An interned cluster ends with the scalar joined; any other code (the cluster table is
        // full) is looked at when it matters.
        lastEnd = code < firstClusterCode ? LastCellEnd::unknown
                  : endsWithJoiner        ? LastCellEnd::joiner
                                          : LastCellEnd::closed;
    };
    auto printGenerally = [&](uint32_t scalar, int width) {
        out.suspend();
        printScalar(scalar, width);
        out.resume();
        lastEnd = LastCellEnd::unknown;
    };

    const uint8_t *const data = bytes.data();
    const size_t size = bytes.size();
    ClusterLookahead lookahead(bytes, following, clusters_, maximumClusterScalars - 1);
    const size_t readablePast = lookahead.readablePast();
    // Where the scalar of the cell written last lies, when the cell holds it alone: marks right
    // after it make a cluster that is a piece of the bytes, interned without being built.
    size_t plainCellStart = 0;
    size_t plainCellEnd = SIZE_MAX;
    // Joins the plain marks from plainCellEnd on to the cell, which holds the scalar before them
    // alone: the cluster is the bytes from that scalar on, found and hashed ahead by the lookahead.
    auto joinMarksToPlainCell = [&](CharData &cell) __attribute__((always_inline)) {
        const ClusterLookahead::Cluster cluster = lookahead.clusterAt(plainCellStart);
        if (cluster.end <= plainCellEnd) {
            return false;
        }
        const char *text = reinterpret_cast<const char *>(data) + plainCellStart;
        joined(cell, internedClusterCode(std::string_view(text, cluster.end - plainCellStart), cluster.key), false);
        i = cluster.end;
        return true;
    };
    while (i < size) {
        const uint8_t lead = data[i];
        // Words of ideographs and of emoji go to loops of their own, told from the rest by one
        // check.
        if (lead >= 0xE0) {
            if (lead < 0xF0) {
                if (lastEnd == LastCellEnd::closed || !lastEndsWithJoiner()) {
                    const size_t runEnd = putThreeByteScalarsAlone(out, bytes, i, plainCellStart);
                    if (runEnd > i) {
                        plainCellEnd = runEnd;
                        i = runEnd;
                        lastEnd = LastCellEnd::closed;
                        if (joinsWritten && startsWithEmojiPresentationSelector(wordAt(data + i, data + size))) {
                            // An emoji presentation selector (a red heart's, mostly) joins the last of
                            // them and widens it, or is dropped, as on the next step.
                            const ClusterJoin join = clusterJoin(out.last()->code, emojiPresentationSelector);
                            if (join.outcome == ClusterJoin::Outcome::joins) {
                                joined(*out.last(), join.code, false);
                                out.widenLast();
                                if (out.last()->width == 2 && join.code >= firstClusterCode) {
                                    // Kept with the emoji clusters, to be found by its bytes next time.
                                    rememberEmojiCluster(data + plainCellStart, i + 3 - plainCellStart, join.code,
                                                         2, false);
                                }
                            }
                            i += 3;
                        }
                        continue;
                    }
                }
            } else if (joinsWritten && lastEnd == LastCellEnd::closed) {
                // Emoji clusters written before, of any kind (one emoji, a sequence, a flag), found
                // by their bytes at once: a word of them, and the words of them after it, in one go.
                const size_t clustersEnd = putEmojiClusters(out, bytes, readablePast, i, wideFlags,
                                                                   plainCellStart, plainCellEnd);
                if (clustersEnd > i) {
                    i = clustersEnd;
                    lastEnd = LastCellEnd::closed;
                    continue;
                }
            }
        }
        if (lead < 0x80) {
            if (!isPrintableAscii(lead) || charset) {
                break;
            }
            // ASCII never joins a cell. A short run is written as it is read: one loop, one exit
            // for the processor to guess.
            const size_t shortEnd = std::min(size, i + shortAsciiRun);
            do {
                out.put(data[i], 1);
                ++i;
            } while (i < shortEnd && isPrintableAscii(data[i]));
            plainCellStart = i - 1;
            plainCellEnd = i;
            if (i == shortEnd && i < size && isPrintableAscii(data[i])) {
                // The rest of a longer run but its last letter goes through the buffer's run path;
                // the last letter goes through the writer, so that a mark after it joins the cell
                // just written.
                out.suspend();
                const size_t end = printableAsciiEnd(bytes, i);
                const int64_t taken = b.putAsciiRun(bytes.first(end - 1), static_cast<int64_t>(i), curAttr);
                out.resume();
                if (taken == 0) {
                    break;
                }
                i += static_cast<size_t>(taken);
                if (i + 1 == end) {
                    out.put(data[i], 1);
                    plainCellStart = i;
                    plainCellEnd = end;
                    ++i;
                }
            }
            lastEnd = LastCellEnd::closed;
            if (plainCellEnd == i && i < size && data[i] >= 0xC2 && data[i] <= 0xDF && joinsWritten) {
                // Marks after the last letter join it here. Only the two-byte form, that of most
                // marks, is looked for: anything else goes on through the loop, which joins a mark
                // of another form the same way, and an ideograph or emoji after a space is not
                // decoded twice.
                if (CharData *const last = out.last()) {
                    joinMarksToPlainCell(*last);
                }
            }
            continue;
        }
        if (lead >= 0xF0 && joinsWritten && lastEnd == LastCellEnd::closed) {
            // An emoji sequence or a flag joined before: its code is found by its bytes, and its
            // cell, as wide as its first scalar, written once. Anything else goes on below.
            const uint32_t word = wordAt(data + i, data + size);
            const uint32_t scalar = (word & 0x07) << 18 | (word & 0x3F00) << 4 | (word >> 10 & 0xFC0) |
                                    (word >> 24 & 0x3F);
            if ((word & 0xC0C0C0F8) == 0x808080F0 && scalar - 0x10000 < ScalarProperties::tableSize - 0x10000) {
                const ScalarProperties properties = ScalarProperties::table()[scalar];
                const bool indicator = isRegionalIndicator(scalar);
                size_t end = i + 4;
                if (indicator) {
                    const uint32_t next = wordAt(data + end, data + size);
                    end += wideFlags && startsWithRegionalIndicator(next) ? 4 : 0;
                } else if (properties.printsAlone()) {
                    end = emojiSequenceEnd(bytes, end);
                }
                if (end == i + 4 && properties.printsAlone()) {
                    // One scalar: its code from the cache of astral codes.
                    const AstralCode &astral = astralCodes_[scalar % astralCodes_.size()];
                    if (astral.scalar == scalar) {
                        rememberEmojiCluster(data + i, 4, astral.code, properties.width(), false);
                        out.put(astral.code, properties.width());
                        plainCellStart = i;
                        i = end;
                        plainCellEnd = i;
                        continue;
                    }
                }
                // Only where the cell fits in place: elsewhere (a wrap, the edge without wraparound)
                // the pieces join whatever cell the first scalar leaves last.
                const int32_t code =
                    end > i + 4 && out.fits(properties.width()) ? knownEmojiSequenceCode(bytes, i, end) : 0;
                if (code != 0) {
                    rememberEmojiCluster(data + i, end - i, code, properties.width(), indicator);
                    out.put(code, properties.width());
                    plainCellEnd = SIZE_MAX;
                    i = end;
                    continue;
                }
            }
        }
        if (sequenceLengths[lead] == 1) {
            break;
        }
        const Decoded decoded = utf8::decode(data + i, size - i);
        if (decoded.kind == Decoded::Kind::incomplete) {
            std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end(),
                      readingBuffer.putbackBuffer.begin());
            readingBuffer.putbackCount = static_cast<uint8_t>(size - i);
            i = size;
            break;
        }
        i += decoded.length;
        if (decoded.kind == Decoded::Kind::invalid) {
            out.suspend();
            printByte(lead);
            noteInvalidSequenceAtEnd(lead, decoded.length, decoded.length + (size - i));
            out.resume();
            lastEnd = LastCellEnd::unknown;
            continue;
        }
        const uint32_t scalar = decoded.scalar;
        const ScalarProperties properties = ScalarProperties::of(scalar);
        const int width = properties.width();
        if (properties.printsAlone() && (lastEnd == LastCellEnd::closed || !lastEndsWithJoiner())) {
            out.put(cellCodeOfScalar(scalar), width);
            lastEnd = LastCellEnd::closed;
            plainCellStart = i - decoded.length;
            plainCellEnd = i;
            if (properties.isPictographic() && i < size && data[i] >= 0x80 && joinsWritten && out.last() != nullptr) {
                // Joiners, pictographs and skin tones after it join the cell as one sequence.
                const size_t end = joinEmojiSequence(bytes, i - decoded.length, i, *out.last());
                if (end > i) {
                    i = end;
                    if (out.last()->code < firstClusterCode) {
                        lastEnd = LastCellEnd::unknown;
                    }
                }
            }
            continue;
        }
        if (width < 0) {
            // A control prints nothing.
            continue;
        }
        CharData *const last = out.last();
        if (!joinsWritten || last == nullptr) {
            printGenerally(scalar, width);
            continue;
        }
        // Offered to the last cell as shouldOfferToPreviousCell offers.
        if (isRegionalIndicator(scalar)) {
            if (!wideFlags || width <= 0) {
                printGenerally(scalar, width);
                continue;
            }
            // A regional indicator after a joiner or a lone indicator.
            if (lastEndsWithJoiner() || lastEnd == LastCellEnd::indicator) {
                const ClusterJoin join = clusterJoin(last->code, scalar);
                if (join.outcome == ClusterJoin::Outcome::joins) {
                    joined(*last, join.code, scalar == zeroWidthJoiner);
                    continue;
                }
            }
            out.put(cellCodeOfScalar(scalar), width);
            lastEnd = LastCellEnd::indicator;
            const uint32_t next = wordAt(data + i, data + size);
            if (startsWithRegionalIndicator(next) && out.last() != nullptr) {
                // The other half of a flag joins it here, as it would on the next step.
                const ClusterJoin join = clusterJoin(out.last()->code, 0x1F1E6 + ((next >> 24) - 0xA6));
                if (join.outcome == ClusterJoin::Outcome::joins) {
                    joined(*out.last(), join.code, false);
                    // Kept with the emoji sequences, to be found by its bytes next time.
                    rememberEmojiSequence(bytes, i - 4, i + 4, join.code);
                    i += 4;
                }
            }
            continue;
        }
        if (isPresentationSelector(scalar)) {
            if (scalar == textPresentationSelector || width != 0) {
                printGenerally(scalar, width);
                continue;
            }
            // The emoji form widens its cell; a selector that selects nothing is dropped.
            const ClusterJoin join = clusterJoin(last->code, scalar);
            if (join.outcome == ClusterJoin::Outcome::joins) {
                joined(*last, join.code, false);
                out.widenLast();
            }
            continue;
        }
        if (isPlainMark(properties, scalar)) {
            // Marks in a row join at once: one cluster to intern instead of one per mark.
            const size_t marksStart = i - decoded.length;
            if (plainCellEnd == marksStart && joinMarksToPlainCell(*last)) {
                // The cell was the scalar before the marks: nothing came between.
                continue;
            }
            const size_t marksEnd = plainMarksEnd(bytes, i, maximumClusterScalars - 1);
            if (marksEnd > i) {
                const ClusterJoin join =
                    joinPlainMarks(last->code, scalar, bytes.subspan(marksStart, marksEnd - marksStart));
                if (join.outcome == ClusterJoin::Outcome::joins) {
                    joined(*last, join.code, false);
                    i = marksEnd;
                    continue;
                }
            }
        }
        const ClusterJoin join = clusterJoin(last->code, scalar);
        if (join.outcome == ClusterJoin::Outcome::joins) {
            joined(*last, join.code, scalar == zeroWidthJoiner);
            continue;
        }
        // Not joined: a scalar with columns takes its own cell; a mark is dropped, unless it has
        // something to show by itself.
        if (width > 0) {
            out.put(cellCodeOfScalar(scalar), width);
            lastEnd = LastCellEnd::closed;
        } else if (join.outcome == ClusterJoin::Outcome::breaks) {
            printGenerally(scalar, width);
        }
    }
    out.suspend();
    return i;
}

// A byte that is a character by itself: ASCII through the active character set, anything else as
// the Latin-1 character of the same value (an invalid UTF-8 lead included).
void Terminal::printByte(uint8_t byte)
{
    if (byte <= 0x7E && charset) {
        if (const std::optional<char32_t> shown = charset->lookup(byte)) {
            putCell(static_cast<int32_t>(*shown), 1);
            return;
        }
    }
    const int width = UnicodeUtil::columnWidth(byte);
    if (width >= 1) {
        putCell(byte, width);
    }
}

void Terminal::printScalar(uint32_t scalar, int width)
{
    if (width < 0) {
        return;
    }
    if (width == 2 && isRegionalIndicator(scalar) &&
        options.regionalIndicatorWidth == RegionalIndicatorWidth::narrow) {
        width = 1;
    }
    if (shouldOfferToPreviousCell(scalar, width) && joinWithPreviousCell(scalar, width)) {
        return;
    }
    if (width == 0) {
        // A skin-tone modifier with nothing to modify shows as the colour swatch it is; other
        // zero-width scalars have nothing to show by themselves.
        if (!u_hasBinaryProperty(static_cast<UChar32>(scalar), UCHAR_EMOJI_MODIFIER)) {
            return;
        }
        width = 2;
    }
    putCell(cellCodeOfScalar(scalar), width);
}

// A scalar that fits one UTF-16 unit is its own code; one above is interned.
int32_t Terminal::cellCodeOfScalar(uint32_t scalar)
{
    return scalar < 0x10000 ? static_cast<int32_t>(scalar) : astralCellCode(scalar);
}

// The interned code of a scalar above the BMP. Emoji repeat: the last codes found are kept in a
// small direct-mapped cache, emptied whenever codes are freed. A code refused by a full table is
// not kept, so the scalar is interned once there is room.
int32_t Terminal::astralCellCode(uint32_t scalar)
{
    AstralCode &entry = astralCodes_[scalar % astralCodes_.size()];
    if (entry.scalar == scalar) {
        return entry.code;
    }
    std::array<char, 4> text{};
    const size_t length = utf8::encode(scalar, text.data());
    const int32_t code = printedClusterCode(std::string_view(text.data(), length));
    if (code >= firstClusterCode) {
        entry = {scalar, code};
    }
    return code;
}

void Terminal::putCell(int32_t code, int width)
{
    CharData cell;
    cell.code = code;
    cell.width = static_cast<int8_t>(width);
    cell.attribute = curAttr;
    buffer->putCharacter(cell);
}

bool Terminal::shouldOfferToPreviousCell(uint32_t scalar, int width)
{
    Buffer &b = *buffer;
    Buffer::LastBufferStorage &last = b.lastBufferStorage;
    if (last.y < 0) {
        // Something other than printing came since the last cell was written.
        return false;
    }
    const bool sameSize = last.cols == cols && last.rows == rows;

    if (isRegionalIndicator(scalar) && options.regionalIndicatorWidth == RegionalIndicatorWidth::narrow &&
        (!sameSize || b.x() != last.x + 1)) {
        // A narrow flag pairs with the indicator just left of the cursor.
        const int64_t col = b.x() - 1;
        if (col >= 0 && col < cols) {
            const CharData &cell = b.lines()[b.yBase() + b.y()][col];
            if (cell.width == 1 && cellIsRegionalIndicator(cell.code)) {
                last = {b.yBase() + b.y(), col, cols, rows};
                return true;
            }
        }
    }
    if (!sameSize) {
        return false;
    }
    if (width == 0 || ScalarProperties::of(scalar).joinsPrevious()) {
        return true;
    }
    if (last.y < 0 || last.y >= b.lines().count()) {
        return false;
    }
    const CharData &previous = b.lines()[last.y][std::min(last.x, cols - 1)];
    if (cellEndsWithJoiner(previous.code)) {
        return true;
    }
    return isRegionalIndicator(scalar) && cellIsRegionalIndicator(previous.code);
}

// Whether the cell holds one regional indicator and nothing else.
bool Terminal::cellIsRegionalIndicator(int32_t code) const
{
    if (code < firstClusterCode) {
        return code >= 0 && isRegionalIndicator(static_cast<uint32_t>(code));
    }
    const std::string_view text = clusterText(code);
    return utf8::scalarCount(text) == 1 && isRegionalIndicator(utf8::lastScalar(text));
}

bool Terminal::cellEndsWithJoiner(int32_t code) const
{
    return code < firstClusterCode ? code == static_cast<int32_t>(zeroWidthJoiner)
                                   : utf8::lastScalar(clusterText(code)) == zeroWidthJoiner;
}

// Whether a scalar that prints alone would be offered to the cell printed last: only when that cell
// ends with a zero-width joiner (see shouldOfferToPreviousCell).
bool Terminal::lastCellEndsWithJoiner()
{
    Buffer &b = *buffer;
    const Buffer::LastBufferStorage &last = b.lastBufferStorage;
    if (last.cols != cols || last.rows != rows || last.y < 0 || last.y >= b.lines().count()) {
        return false;
    }
    return cellEndsWithJoiner(b.lines()[last.y][std::min(last.x, cols - 1)].code);
}

// Joins the scalar into the cell printed last when the two form one grapheme cluster. Returns
// false when the scalar is to be printed by itself.
bool Terminal::joinWithPreviousCell(uint32_t scalar, int width)
{
    Buffer &b = *buffer;
    const Buffer::LastBufferStorage last = b.lastBufferStorage;
    if (last.y < 0 || last.y >= b.lines().count()) {
        return false;
    }
    BufferLine &line = b.lines()[last.y];
    const int64_t col = std::min(last.x, cols - 1);
    if (col < 0 || col >= line.dataSize()) {
        return false;
    }
    CharData cell = line[col];
    const ClusterJoin join = clusterJoin(cell.code, scalar);
    switch (join.outcome) {
    case ClusterJoin::Outcome::breaks:
        return false;
    case ClusterJoin::Outcome::clusterFull:
        // A full cluster takes no more marks; a flood of them costs nothing.
        return width == 0;
    case ClusterJoin::Outcome::selectsNothing:
        return true;
    case ClusterJoin::Outcome::joins:
    case ClusterJoin::Outcome::unknown:
        break;
    }
    cell.code = join.code;

    const bool narrowFlag = isRegionalIndicator(scalar) &&
                            options.regionalIndicatorWidth == RegionalIndicatorWidth::narrow &&
                            cell.width == 1;
    if (scalar == emojiPresentationSelector || narrowFlag) {
        widenJoinedCell(cell, line, col);
    } else if (scalar == textPresentationSelector && cell.width == 2) {
        cell.width = 1;
        if (b.x() > 0) {
            b.setX(b.x() - 1);
        }
        line.setCell(col, cell);
    } else {
        line.setCell(col, cell);
    }
    markRowDirty(last.y - b.yBase());
    return true;
}

// What joining the scalar to a cell of the code gives. It depends on nothing else while the code
// names the same cluster, so the answers are kept in a cache of two-entry sets, emptied whenever
// codes are freed: a repeated emoji sequence or accent is joined without building its text, asking
// the grapheme rules or hashing. Text in a few scripts joins a few thousand distinct pairs, which
// fit; the entry used last in a set stays, the other makes room. A join that a full table refused
// is not kept, so it is tried again once there is room.
Terminal::ClusterJoin Terminal::clusterJoin(int32_t code, uint32_t scalar)
{
    constexpr int setBits = std::countr_zero(std::tuple_size_v<decltype(clusterJoins_)> / 2);
    const uint32_t hash = static_cast<uint32_t>(code) * 0x9E3779B1U ^ scalar * 0x85EBCA77U;
    ClusterJoin *const set = &clusterJoins_[(hash >> (32 - setBits)) * 2];
    auto holds = [code, scalar](const ClusterJoin &entry) {
        return entry.previousCode == code && entry.scalar == scalar && entry.outcome != ClusterJoin::Outcome::unknown;
    };
    if (holds(set[0])) {
        return set[0];
    }
    if (holds(set[1])) {
        std::swap(set[0], set[1]);
        return set[0];
    }
    const ClusterJoin join = computeClusterJoin(code, scalar);
    if (join.outcome != ClusterJoin::Outcome::joins || join.code >= firstClusterCode) {
        set[1] = set[0];
        set[0] = join;
    }
    return join;
}

Terminal::ClusterJoin Terminal::computeClusterJoin(int32_t code, uint32_t scalar)
{
    ClusterJoin join;
    join.previousCode = code;
    join.scalar = scalar;
    // Built in a buffer the terminal keeps, so joining allocates nothing once it has grown.
    std::string &joined = joinBuffer_;
    joined.clear();
    appendCellText(joined, code);
    const size_t textLength = joined.size();
    if (utf8::scalarCount(joined) >= maximumClusterScalars) {
        join.outcome = ClusterJoin::Outcome::clusterFull;
        return join;
    }
    utf8::append(joined, scalar);
    const std::string_view text = std::string_view(joined).substr(0, textLength);
    if (!joinsWithoutBreak(code, text, scalar) && !isSingleCluster(joined)) {
        join.outcome = ClusterJoin::Outcome::breaks;
    } else if ((scalar == textPresentationSelector || scalar == emojiPresentationSelector) &&
               (code == 0 || !hasEmojiVariation(utf8::lastScalar(text)))) {
        join.outcome = ClusterJoin::Outcome::selectsNothing;
    } else {
        join.outcome = ClusterJoin::Outcome::joins;
        join.code = printedClusterCode(joined);
    }
    return join;
}

// Whether the scalar joins the cell (code and text) without asking the grapheme breaker, by the
// rules that join unconditionally: a scalar that never starts a cluster joins anything but a control
// (a cell of a cluster never ends with one); a pictograph joins a pictograph, its extenders and a
// zero-width joiner; a regional indicator joins one regional indicator.
bool Terminal::joinsWithoutBreak(int32_t code, std::string_view text, uint32_t scalar) const
{
    const ScalarProperties properties = ScalarProperties::of(scalar);
    if (properties.neverStartsCluster()) {
        if (code >= firstClusterCode || !isUnicodeScalar(code)) {
            return true;
        }
        return !ScalarProperties::of(static_cast<uint32_t>(code)).isControl();
    }
    if (text.empty()) {
        return false;
    }
    if (properties.isPictographic()) {
        if (popLastScalar(text) != zeroWidthJoiner) {
            return false;
        }
        while (!text.empty()) {
            const ScalarProperties before = ScalarProperties::of(popLastScalar(text));
            if (!before.isExtend()) {
                return before.isPictographic();
            }
        }
        return false;
    }
    if (isRegionalIndicator(scalar)) {
        return isRegionalIndicator(popLastScalar(text)) && text.empty();
    }
    return false;
}

// Where the code of the emoji sequence of these bytes (at least five) is kept, if it is.
Terminal::EmojiSequence &Terminal::emojiSequenceSlot(const char *text, size_t length)
{
    uint32_t first = 0;
    uint32_t last = 0;
    std::memcpy(&first, text, sizeof first);
    std::memcpy(&last, text + length - sizeof last, sizeof last);
    const uint32_t hash = (first * 0x9E3779B1U ^ last * 0x85EBCA77U) + static_cast<uint32_t>(length);
    return emojiSequences_[(hash >> 16) % emojiSequences_.size()];
}

// The code of the emoji sequence or flag at `start`, of four bytes and what continues it up to `end`,
// when it has been joined before; 0 when not.
int32_t Terminal::knownEmojiSequenceCode(ByteSpan bytes, size_t start, size_t end)
{
    const size_t length = end - start;
    if (length > EmojiSequence::longest) {
        return 0;
    }
    const auto *text = reinterpret_cast<const char *>(bytes.data()) + start;
    const EmojiSequence &entry = emojiSequenceSlot(text, length);
    return entry.length == length && sameBytes(text, entry.bytes.data(), length) ? entry.code : 0;
}

// Keeps the code of the emoji sequence or flag at `start` up to `end`, when it is an interned
// cluster (a code refused by a full table is not kept, so the sequence is tried again later).
void Terminal::rememberEmojiSequence(ByteSpan bytes, size_t start, size_t end, int32_t code)
{
    const size_t length = end - start;
    if (code < firstClusterCode || length > EmojiSequence::longest) {
        return;
    }
    const auto *text = reinterpret_cast<const char *>(bytes.data()) + start;
    EmojiSequence &entry = emojiSequenceSlot(text, length);
    entry.length = static_cast<uint8_t>(length);
    std::copy(text, text + length, entry.bytes.begin());
    entry.code = code;
}

// Joins the pieces of an emoji sequence after its first scalar (bytes start..i, just written as
// `cell`) all at once: what joining them scalar by scalar gives, found by the sequence's bytes once
// it has been joined before. Returns where the sequence ends, or `i` when it takes nothing.
size_t Terminal::joinEmojiSequence(ByteSpan bytes, size_t start, size_t i, CharData &cell)
{
    const size_t end = emojiSequenceEnd(bytes, i);
    const size_t length = end - start;
    if (end == i || length > EmojiSequence::longest) {
        return i;
    }
    if (const int32_t known = knownEmojiSequenceCode(bytes, start, end)) {
        cell.code = known;
        return end;
    }
    // Scalar by scalar, as the main loop would join them. When one does not join, the cell is left
    // as it was and the main loop takes every piece the usual way.
    const int32_t firstCode = cell.code;
    for (size_t at = i; at < end;) {
        const Decoded decoded = utf8::decode(bytes.data() + at, bytes.size() - at);
        const ClusterJoin join = decoded.kind == Decoded::Kind::scalar ? clusterJoin(cell.code, decoded.scalar)
                                                                        : ClusterJoin{};
        if (join.outcome != ClusterJoin::Outcome::joins) {
            cell.code = firstCode;
            return i;
        }
        cell.code = join.code;
        at += decoded.length;
    }
    rememberEmojiSequence(bytes, start, end, cell.code);
    return end;
}

// Joining plain marks (two or more, as UTF-8, `firstMark` the first) to a cell of the code: what
// joining them one by one gives, with one cluster interned. Unknown when the cluster would pass its
// limit or the cell takes no marks: the caller then joins them one by one.
Terminal::ClusterJoin Terminal::joinPlainMarks(int32_t code, uint32_t firstMark, ByteSpan marks)
{
    ClusterJoin join;
    join.previousCode = code;
    std::string &joined = joinBuffer_;
    joined.clear();
    appendCellText(joined, code);
    const std::string_view markText(reinterpret_cast<const char *>(marks.data()), marks.size());
    if (utf8::scalarCount(joined) + utf8::scalarCount(markText) > maximumClusterScalars ||
        !joinsWithoutBreak(code, joined, firstMark)) {
        return join;
    }
    joined += markText;
    join.outcome = ClusterJoin::Outcome::joins;
    join.code = printedClusterCode(joined);
    return join;
}

// Makes a joined single-width cell two columns wide when the line has room for it.
void Terminal::widenJoinedCell(CharData &cell, BufferLine &line, int64_t col)
{
    if (cell.width == 1 && col + 1 < cols) {
        CharData continuation;
        continuation.width = 0;
        continuation.attribute = cell.attribute;
        line.setCell(col + 1, continuation);
        cell.width = 2;
        buffer->setX(buffer->x() + 1);
    }
    line.setCell(col, cell);
}

// MARK: C0 controls

void Terminal::bell()
{
    if (tdel_ != nullptr) {
        tdel_->terminalBell(*this);
    }
}

void Terminal::cmdLineFeed()
{
    Buffer &b = *buffer;
    if (b.y() == b.scrollBottom()) {
        // With left and right margins, only a cursor inside them scrolls the region.
        if (!marginMode || (b.x() >= b.marginLeft() && b.x() <= b.marginRight())) {
            scroll(false);
        }
    } else if (b.y() < rows - 1) {
        b.setY(b.y() + 1);
    }
    if (b.x() >= cols) {
        b.setX(cols - 1);
    }
    notifyLineFeed();
    if (lineFeedMode) {
        b.setX(originMode && marginMode ? b.marginLeft() : 0);
    }
}

void Terminal::cmdBackspace()
{
    clampCursor(!reverseWraparound);
    Buffer &b = *buffer;
    const int64_t left = marginMode ? b.marginLeft() : 0;
    const int64_t right = marginMode ? b.marginRight() : b.cols() - 1;
    const int64_t x = b.x();
    const int64_t y = b.y();
    if (x > left) {
        b.setX(x - 1);
        return;
    }
    if (!reverseWraparound) {
        if (x > 0 && x < left) {
            b.setX(x - 1);
        }
        return;
    }
    // Reverse wraparound: from the left edge to the right edge of the row above.
    if (y > b.scrollTop() && y <= b.scrollBottom()) {
        BufferLine &line = b.lines()[b.yBase() + y];
        if (line.isWrapped && !marginMode) {
            line.isWrapped = false;
            ++line.generation;
        }
        b.setY(y - 1);
        b.setX(right);
    } else if (y == b.scrollTop()) {
        b.setY(b.scrollBottom());
        b.setX(right);
    } else if (y > 0) {
        b.setY(y - 1);
        b.setX(right);
    }
}

void Terminal::cmdCarriageReturn()
{
    Buffer &b = *buffer;
    if (marginMode) {
        b.setX(b.x() < b.marginLeft() ? 0 : b.marginLeft());
    } else {
        b.setX(0);
    }
}

void Terminal::cmdHorizontalTab()
{
    const int64_t stop = buffer->nextTabStop();
    if (stop >= 0) {
        buffer->setX(stop);
    }
}

void Terminal::cmdSetTabStop()
{
    buffer->setTabStop(buffer->x());
}

void Terminal::cmdNextLine()
{
    buffer->setX(originMode && marginMode ? buffer->marginLeft() : 0);
    cmdIndex();
}

} // namespace kestrix
