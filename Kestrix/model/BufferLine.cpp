#include "Kestrix/model/BufferLine.h"

#include "Kestrix/model/Diagnostics.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace kestrix {
namespace {

uint64_t nextSerial()
{
    static std::atomic<uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

void warnIndexOutOfRange()
{
    printDiagnostic(
        "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug");
}

// A cell's bytes as five 32-bit words.
using CellWords = std::array<uint32_t, 5>;

CellWords wordsOf(const CharData &cell)
{
    CellWords words;
    std::memcpy(words.data(), &cell, sizeof words);
    return words;
}

// The words of a cell with the null cell's code, width and payload and the given attribute, put
// together in registers from the attribute's fields. A cell just built in memory and read back in
// wider pieces than it was written stalls each read until the stores have drained, and printing and
// scrolling build one for every run and line.
CellWords plainCellWords(const Attribute &attribute)
{
    if constexpr (std::endian::native != std::endian::little) {
        CharData cell;
        cell.attribute = attribute;
        return wordsOf(cell);
    }
    static_assert(offsetof(CharData, payload) == 4 && sizeof(TinyAtom) == 2);
    static_assert(offsetof(CharData, attribute) == 6 && sizeof(Attribute) == 14);
    static_assert(offsetof(Attribute, bg) == 4 && offsetof(Attribute, style) == 8 &&
                  offsetof(Attribute, underlineStyle) == 9 && offsetof(Attribute, underlineColor) == 10);
    uint32_t head[2];
    std::memcpy(head, &CharData::nullCell, sizeof head);
    const auto fg = std::bit_cast<uint32_t>(attribute.fg);
    const auto bg = std::bit_cast<uint32_t>(attribute.bg);
    const uint32_t styles = attribute.style.rawValue() | static_cast<uint32_t>(attribute.underlineStyle) << 8;
    const auto underlineColor = std::bit_cast<uint32_t>(attribute.underlineColor);
    return {head[0], (head[1] & 0xFFFF) | fg << 16, fg >> 16 | bg << 16, bg >> 16 | styles << 16,
            underlineColor};
}

// Word by word, as the words were written: a wider comparison of words just stored would stall.
bool equalWords(const CellWords &a, const CellWords &b)
{
    for (size_t k = 0; k < a.size(); ++k) {
        if (a[k] != b[k]) {
            return false;
        }
    }
    return true;
}

// Four cells of one value as five 16-byte lanes, put together in registers from the cell's words.
class CellQuad {
public:
    static constexpr size_t cells = 4;

    explicit CellQuad(const CellWords &w)
    {
        lanes_[0] = Lane{w[0], w[1], w[2], w[3]};
        lanes_[1] = Lane{w[4], w[0], w[1], w[2]};
        lanes_[2] = Lane{w[3], w[4], w[0], w[1]};
        lanes_[3] = Lane{w[2], w[3], w[4], w[0]};
        lanes_[4] = Lane{w[1], w[2], w[3], w[4]};
    }

    void store(unsigned char *out) const
    {
        for (size_t k = 0; k < 5; ++k) {
            std::memcpy(out + k * sizeof(Lane), &lanes_[k], sizeof(Lane));
        }
    }

    // The first cell's bytes, for a tail shorter than four cells.
    void storeOne(unsigned char *out) const
    {
        std::memcpy(out, &lanes_[0], sizeof(Lane));
        std::memcpy(out + sizeof(Lane), &lanes_[1], sizeof(CharData) - sizeof(Lane));
    }

private:
    using Lane = uint32_t __attribute__((vector_size(16)));
    static_assert(sizeof(CharData) == sizeof(CellWords));
    Lane lanes_[5];
};

// Fills cells with one value. Fills up to a wide line's width (the usual clear of a recycled line or
// an erase) store four cells at a time from lanes kept in registers; longer ones copy the filled
// part onto the rest in doubling blocks, at memory-copy speed.
void fillCells(CharData *first, CharData *last, const CellQuad quad)
{
    constexpr size_t shortFill = 512;
    const size_t count = static_cast<size_t>(last - first);
    auto *out = reinterpret_cast<unsigned char *>(first);
    if (count <= shortFill) {
        size_t i = 0;
        for (; i + CellQuad::cells <= count; i += CellQuad::cells) {
            quad.store(out + i * sizeof(CharData));
        }
        for (; i < count; ++i) {
            quad.storeOne(out + i * sizeof(CharData));
        }
        return;
    }
    quad.storeOne(out);
    size_t filled = 1;
    while (filled < count) {
        const size_t block = std::min(filled, count - filled);
        std::memcpy(static_cast<void *>(first + filled), first, block * sizeof(CharData));
        filled += block;
    }
}

void fillCells(CharData *first, CharData *last, const CellWords &value)
{
    fillCells(first, last, CellQuad(value));
}

// The lanes of the plain blank cell, which every clear of a recycled line writes: built once.
const CellQuad &plainBlankQuad()
{
    static const CellQuad quad(plainCellWords(Attribute()));
    return quad;
}

void fillCells(CharData *first, CharData *last, const CharData &value)
{
    fillCells(first, last, wordsOf(value));
}

// Gives each cell the first two words of `blank`, the rest of every cell being the blank's already.
void clearHeads(CharData *first, CharData *last, const CellWords &blank)
{
    uint64_t head;
    std::memcpy(&head, blank.data(), sizeof head);
    auto *out = reinterpret_cast<unsigned char *>(first);
    auto *const end = reinterpret_cast<unsigned char *>(last);
    constexpr size_t step = sizeof(CharData);
    for (; out + 4 * step <= end; out += 4 * step) {
        std::memcpy(out, &head, sizeof head);
        std::memcpy(out + step, &head, sizeof head);
        std::memcpy(out + 2 * step, &head, sizeof head);
        std::memcpy(out + 3 * step, &head, sizeof head);
    }
    for (; out < end; out += step) {
        std::memcpy(out, &head, sizeof head);
    }
}

// Whether the code's low byte is a cell's first byte, as where bit-fields fill a little-endian word
// from its low bits: then ASCII is written by storing each byte there. Folds to a constant.
bool codeLowByteComesFirst()
{
    CharData cell;
    cell.code = 0x030201;
    cell.width = 0x04;
    unsigned char raw[4];
    std::memcpy(raw, &cell, sizeof raw);
    return raw[0] == 0x01 && raw[1] == 0x02 && raw[2] == 0x03 && raw[3] == 0x04;
}

CharData asciiCell(uint8_t code, const Attribute &attribute)
{
    CharData cell;
    cell.code = code;
    cell.attribute = attribute;
    return cell;
}

// Equal bytes mean equal cells and the other way round, as every byte of a cell belongs to a field
// compared by value: one block comparison instead of field by field.
static_assert(std::has_unique_object_representations_v<CharData>);

bool isBlank(const CharData &cell)
{
    return std::memcmp(&cell, &CharData::nullCell, sizeof(CharData)) == 0;
}

} // namespace

BufferLine::BufferLine(int64_t cols, std::optional<CharData> fillData, bool isWrapped)
    : isWrapped(isWrapped)
    , data_(static_cast<size_t>(std::max<int64_t>(cols, 0)), fillData.value_or(CharData::nullCell))
    , fillCharacter_(fillData.value_or(CharData::nullCell))
    , onlyHeadsDiffer_(isBlank(fillCharacter_))
    , serial_(nextSerial())
    , extent_(isBlank(fillCharacter_) ? 0 : dataSize())
{
}

BufferLine::BufferLine(const BufferLine &copyFrom)
    : isWrapped(copyFrom.isWrapped)
    , renderMode(copyFrom.renderMode)
    , images(copyFrom.images)
    , data_(copyFrom.getData())
    , fillCharacter_(copyFrom.fillCharacter_)
    , onlyHeadsDiffer_(copyFrom.onlyHeadsDiffer_)
    , serial_(nextSerial())
    , extent_(copyFrom.extent_)
{
}

void BufferLine::prefetchCells() const
{
    constexpr int64_t cacheLine = 64;
    constexpr auto cellBytes = static_cast<int64_t>(sizeof(CharData));
    // A clear writes no cell; the next text overwrites the first cells, seldom more than a kilobyte
    // of them. Fetching more would crowd the memory bus.
    const int64_t heldCells = std::max<int64_t>(extent_, staleEnd_);
    const int64_t bytes = std::min(heldCells * cellBytes, 16 * cacheLine);
    const char *at = reinterpret_cast<const char *>(data_.data());
    for (const char *const end = at + bytes; at < end; at += cacheLine) {
        __builtin_prefetch(at, 1);
    }
}

int64_t BufferLine::trimmedLength() const
{
    for (int64_t i = extent_ - 1; i >= 0; --i) {
        const CharData &cell = data_[static_cast<size_t>(i)];
        if (cell.code != 0) {
            return std::min(i + cell.width, dataSize());
        }
    }
    return 0;
}

int64_t BufferLine::wrappedTrimmedLength(const BufferLine *next, int64_t cols) const
{
    if (next == nullptr) {
        return trimmedLength();
    }
    cols = std::clamp<int64_t>(cols, 0, dataSize());
    if (cols == 0) {
        return 0;
    }
    settle();
    const CharData &last = data_[static_cast<size_t>(cols - 1)];
    const bool plainNull = last.code == 0 && last.width == 1 && last.attribute.isPlainDefault();
    return plainNull && next->getWidth(0) == 2 ? cols - 1 : cols;
}

bool BufferLine::hasContent(int64_t index) const
{
    if (index < 0 || index >= dataSize()) {
        return false;
    }
    settle();
    const CharData &cell = data_[static_cast<size_t>(index)];
    return cell.code != 0 || !cell.attribute.isPlainDefault();
}

bool BufferLine::hasAnyContent() const
{
    return std::any_of(data_.begin(), data_.begin() + extent_, [](const CharData &cell) {
        return cell.code != 0 || !cell.attribute.isPlainDefault();
    });
}

std::string BufferLine::translateToString(bool trimRight, int64_t startCol, int64_t endCol,
                                          bool skipNullCellsFollowingWide,
                                          const CharacterProvider &characterProvider) const
{
    settle();
    if (endCol == -1) {
        endCol = dataSize();
    }
    startCol = std::max<int64_t>(startCol, 0);
    endCol = std::min(endCol, dataSize());
    if (trimRight) {
        endCol = std::max(startCol, std::min(trimmedLength(), endCol));
    }
    std::string text;
    auto append = [&](const CharData &cell) {
        text += characterProvider ? characterProvider(cell) : CharData::stringFromScalar(cell.code);
    };
    for (int64_t i = startCol; i < endCol; ++i) {
        const CharData &cell = data_[static_cast<size_t>(i)];
        if (skipNullCellsFollowingWide) {
            if (i >= 1 && cell.code == 0 && data_[static_cast<size_t>(i - 1)].width == 2) {
                continue;
            }
            append(cell);
            if (cell.width == 2 && i + 1 < endCol && data_[static_cast<size_t>(i + 1)].code == 0) {
                ++i;
            }
        } else {
            append(cell);
        }
    }
    return text;
}

std::string BufferLine::debugDescription() const
{
    settle();
    std::string text;
    for (const CharData &cell : data_) {
        text += CharData::stringFromScalar(cell.code);
    }
    return text;
}

// A column left of the line changes nothing; one past its end warns and writes the last cell.
void BufferLine::setCellOutOfRange(int64_t col, const CharData &cell)
{
    if (col < 0) {
        return;
    }
    settle();
    ++generation;
    if (col >= dataSize()) {
        warnIndexOutOfRange();
        if (data_.empty()) {
            return;
        }
        col = dataSize() - 1;
    }
    data_[static_cast<size_t>(col)] = cell;
    extent_ = std::max(extent_, col + 1);
    onlyHeadsDiffer_ = false;
}

void BufferLine::writeAscii(int64_t col, const uint8_t *bytes, int64_t count, const Attribute &attribute)
{
    if (col < 0 || count <= 0) {
        return;
    }
    ++generation;
    int64_t inRange = std::clamp<int64_t>(dataSize() - col, 0, count);
    auto *out = reinterpret_cast<unsigned char *>(data_.data() + col);
    int64_t i = 0;
    if (codeLowByteComesFirst()) {
        auto forEachByte = [&](auto put) {
            for (; i + 4 <= inRange; i += 4) {
                put(i);
                put(i + 1);
                put(i + 2);
                put(i + 3);
            }
            for (; i < inRange; ++i) {
                put(i);
            }
        };
        auto cellAt = [&](int64_t k) { return out + k * static_cast<int64_t>(sizeof(CharData)); };
        const CellWords words = plainCellWords(attribute);
        const bool plain = equalWords(words, plainCellWords(Attribute()));
        if (std::endian::native == std::endian::little && col >= extent_ && plain && !wholeCellsStale_) {
            blankStaleGap(col, col + inRange);
            // Plain text on the blank part of a line: each cell already is the byte's cell but for
            // its code, so a cell takes one store of its first two words (the second as it stands).
            // Storing only the code's byte would do as well, but the compiler makes slow vector
            // code of such a loop.
            const uint64_t firstWords = words[0] | uint64_t{words[1]} << 32;
            forEachByte([&](int64_t k) {
                const uint64_t value = firstWords | bytes[k];
                std::memcpy(cellAt(k), &value, sizeof value);
            });
        } else {
            // Whole cells are written, so stale cells under the text need no blanking first.
            if (col >= extent_) {
                blankStaleGap(col, col + inRange);
            } else {
                settle();
            }
            onlyHeadsDiffer_ = onlyHeadsDiffer_ && plain;
            // Each cell as two stores: its first word, the blank code's word with the byte as the
            // code, and the sixteen bytes after it, which are the same in every cell and sit in one
            // register.
            using Lane = uint32_t __attribute__((vector_size(16)));
            const Lane rest{words[1], words[2], words[3], words[4]};
            forEachByte([&](int64_t k) {
                const uint32_t head = words[0] | bytes[k];
                std::memcpy(cellAt(k), &head, sizeof head);
                std::memcpy(cellAt(k) + sizeof head, &rest, sizeof rest);
            });
        }
    } else {
        settle();
        onlyHeadsDiffer_ = false;
        for (; i < inRange; ++i) {
            data_[static_cast<size_t>(col + i)] = asciiCell(bytes[i], attribute);
        }
    }
    extent_ = std::max(extent_, col + inRange);
    if (inRange < count) {
        // Bytes past the end all land on the last cell; the last of them stays.
        warnIndexOutOfRange();
        if (!data_.empty()) {
            data_.back() = asciiCell(bytes[count - 1], attribute);
            extent_ = dataSize();
            onlyHeadsDiffer_ = false;
        }
    }
}

void BufferLine::insertCells(int64_t pos, int64_t n, int64_t rightMargin, const CharData &fillData)
{
    settle();
    ++generation;
    int64_t margin = std::min(rightMargin, dataSize() - 1);
    if (margin < 0) {
        return;
    }
    pos = std::clamp<int64_t>(pos, 0, margin);
    n = std::max<int64_t>(n, 0);
    extent_ = std::max(extent_, margin + 1);
    onlyHeadsDiffer_ = false;
    CharData *first = data_.data() + pos;
    CharData *end = data_.data() + margin + 1;
    if (n < margin + 1 - pos) {
        std::copy_backward(first, end - n, end);
        fillCells(first, first + n, fillData);
    } else {
        fillCells(first, end, fillData);
    }
}

void BufferLine::deleteCells(int64_t pos, int64_t n, int64_t rightMargin, const CharData &fillData)
{
    settle();
    ++generation;
    int64_t margin = std::min(rightMargin, dataSize() - 1);
    pos = std::max<int64_t>(pos, 0);
    if (pos > margin) {
        return;
    }
    n = std::max<int64_t>(n, 0);
    extent_ = std::max(extent_, margin + 1);
    onlyHeadsDiffer_ = false;
    CharData *first = data_.data() + pos;
    CharData *end = data_.data() + margin + 1;
    if (n < margin + 1 - pos) {
        std::copy(first + n, end, first);
        fillCells(end - n, end, fillData);
    } else {
        fillCells(first, end, fillData);
    }
}

void BufferLine::replaceCells(int64_t start, int64_t end, const CharData &cell)
{
    settle();
    ++generation;
    start = std::max<int64_t>(start, 0);
    end = std::min(end, dataSize());
    if (isBlank(cell)) {
        // The cells from the extent on are blank already: an erase to the end of a short line
        // writes only the cells that held something.
        end = std::min(end, extent_);
    }
    if (start < end) {
        fillCells(data_.data() + start, data_.data() + end, cell);
        noteFilled(start, end, cell);
    }
}

void BufferLine::fill(const CharData &cell)
{
    staleEnd_ = 0;
    wholeCellsStale_ = false;
    ++generation;
    fillCells(data_.data(), data_.data() + data_.size(), cell);
    extent_ = isBlank(cell) ? 0 : dataSize();
    onlyHeadsDiffer_ = extent_ == 0;
}

void BufferLine::fill(const CharData &cell, int64_t at, int64_t count)
{
    int64_t end = count <= 0 ? at : (at > dataSize() - count ? dataSize() : at + count);
    replaceCells(at, end, cell);
}

void BufferLine::copyFrom(const BufferLine &source, int64_t srcCol, int64_t dstCol, int64_t len)
{
    settle();
    source.settle();
    ++generation;
    if (srcCol < 0 || dstCol < 0) {
        return;
    }
    len = std::min({len, source.dataSize() - srcCol, dataSize() - dstCol});
    if (len <= 0) {
        return;
    }
    extent_ = std::max(extent_, dstCol + len);
    onlyHeadsDiffer_ = false;
    auto from = source.data_.begin() + srcCol;
    auto to = data_.begin() + dstCol;
    // Within one line the direction keeps overlapping ranges intact.
    if (&source == this && dstCol > srcCol) {
        std::copy_backward(from, from + len, to + len);
    } else {
        std::copy(from, from + len, to);
    }
}

void BufferLine::resize(int64_t cols, const CharData &fillData)
{
    cols = std::max<int64_t>(cols, 0);
    if (cols == dataSize()) {
        return;
    }
    settle();
    ++generation;
    const int64_t oldCols = dataSize();
    data_.resize(static_cast<size_t>(cols), fillData);
    data_.shrink_to_fit();
    extent_ = std::min(extent_, cols);
    onlyHeadsDiffer_ = onlyHeadsDiffer_ && isBlank(fillData);
    if (cols > oldCols && !isBlank(fillData)) {
        extent_ = cols;
    }
}

void BufferLine::clear(const Attribute &attribute)
{
    const CellWords empty = plainCellWords(attribute);
    if (equalWords(empty, plainCellWords(Attribute()))) {
        // Nothing is written: the cells read as blank from here on, and a recycled line stays
        // cold until the text printed next overwrites them. Stale cells past the extent stay
        // stale, of the same kind or now whole.
        staleEnd_ = static_cast<uint32_t>(std::max<int64_t>(staleEnd_, extent_));
        wholeCellsStale_ = staleEnd_ != 0 && (wholeCellsStale_ || !onlyHeadsDiffer_);
        extent_ = 0;
        onlyHeadsDiffer_ = true;
    } else {
        staleEnd_ = 0;
        wholeCellsStale_ = false;
        fillCells(data_.data(), data_.data() + data_.size(), empty);
        extent_ = dataSize();
        onlyHeadsDiffer_ = false;
    }
    images.reset();
    generation += 2;
}

void BufferLine::blankStaleCells() const
{
    blankStale(extent_, staleEnd_);
    staleEnd_ = 0;
    wholeCellsStale_ = false;
}

void BufferLine::blankStale(int64_t start, int64_t end) const
{
    if (start >= end) {
        return;
    }
    CharData *const first = data_.data() + start;
    CharData *const last = data_.data() + end;
    if (wholeCellsStale_) {
        fillCells(first, last, plainBlankQuad());
    } else {
        clearHeads(first, last, plainCellWords(Attribute()));
    }
}

// Cells start..end-1 (within the line) became `cell`.
void BufferLine::noteFilled(int64_t start, int64_t end, const CharData &cell)
{
    onlyHeadsDiffer_ = false;
    if (!isBlank(cell)) {
        extent_ = std::max(extent_, end);
    } else if (end >= extent_) {
        extent_ = std::min(extent_, start);
    }
}

void BufferLine::becomeCopyOf(const BufferLine &line)
{
    if (&line == this) {
        return;
    }
    isWrapped = line.isWrapped;
    renderMode = line.renderMode;
    images = line.images;
    generation = 0;
    line.settle();
    data_ = line.data_;
    staleEnd_ = 0;
    wholeCellsStale_ = false;
    fillCharacter_ = line.fillCharacter_;
    serial_ = nextSerial();
    extent_ = line.extent_;
    onlyHeadsDiffer_ = line.onlyHeadsDiffer_;
}

void BufferLine::copyFrom(const BufferLine &line)
{
    if (&line != this) {
        line.settle();
        data_ = line.data_;
        staleEnd_ = 0;
        wholeCellsStale_ = false;
        isWrapped = line.isWrapped;
        extent_ = line.extent_;
        onlyHeadsDiffer_ = line.onlyHeadsDiffer_;
    }
    generation += 2;
}

} // namespace kestrix
