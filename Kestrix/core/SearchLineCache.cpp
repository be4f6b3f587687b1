#include "Kestrix/core/SearchLineCache.h"

#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/Utf8.h"

#include <chrono>
#include <unicode/utf16.h>

namespace kestrix {
namespace {

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void appendScalar(std::u16string &units, uint32_t scalar)
{
    if (U_IS_BMP(scalar)) {
        units.push_back(static_cast<char16_t>(scalar));
    } else {
        units.push_back(U16_LEAD(scalar));
        units.push_back(U16_TRAIL(scalar));
    }
}

// The character of one cell: a blank for an empty cell and for a code that names no character.
void appendCellCharacter(SearchText &text, const Terminal &terminal, int32_t code, std::u16string &scratch)
{
    if (code == 0) {
        text.appendCharacter(u' ');
        return;
    }
    if (code < 0x10000 && isUnicodeScalar(code)) {
        text.appendCharacter(static_cast<char16_t>(code));
        return;
    }
    scratch.clear();
    if (isUnicodeScalar(code)) {
        appendScalar(scratch, static_cast<uint32_t>(code));
    } else {
        const std::string cluster = terminal.stringForCellCode(code);
        for (size_t index = 0; index < cluster.size();) {
            appendScalar(scratch, utf8::next(cluster, index));
        }
    }
    text.appendCharacter(scratch);
}

} // namespace

const SearchText &SearchLineCache::Entry::folded()
{
    if (!foldedText) {
        foldedText = lineAsString.folded();
    }
    return *foldedText;
}

SearchLineCache::SearchLineCache(Terminal &terminal, Clock clock)
    : terminal_(terminal)
    , clock_(clock ? std::move(clock) : Clock(steadySeconds))
{
}

int64_t SearchLineCache::lineCount() const
{
    return terminal_.buffer->lines().count();
}

void SearchLineCache::refresh()
{
    const double now = clock_();
    const auto count = static_cast<size_t>(std::max<int64_t>(lineCount(), 0));
    if (!linesCache_ || now - lastAccessTimestamp_ >= maximumIdleSeconds || linesCache_->size() != count) {
        linesCache_.emplace(count);
    }
    lastAccessTimestamp_ = now;
}

void SearchLineCache::clear()
{
    linesCache_.reset();
    lastAccessTimestamp_ = 0;
}

SearchLineCache::Entry &SearchLineCache::lineText(int64_t row)
{
    if (!linesCache_ || row < 0 || static_cast<size_t>(row) >= linesCache_->size()) {
        unstored_ = makeEntry(row);
        return unstored_;
    }
    std::unique_ptr<Entry> &slot = (*linesCache_)[static_cast<size_t>(row)];
    if (!slot) {
        slot = std::make_unique<Entry>(makeEntry(row));
    }
    return *slot;
}

void SearchLineCache::store(int64_t row, Entry entry)
{
    if (linesCache_ && row >= 0 && static_cast<size_t>(row) < linesCache_->size()) {
        (*linesCache_)[static_cast<size_t>(row)] = std::make_unique<Entry>(std::move(entry));
    }
}

SearchLineCache::Entry SearchLineCache::makeEntry(int64_t row) const
{
    Entry entry;
    CircularBufferLineList &lines = terminal_.buffer->lines();
    const int64_t count = lines.count();
    std::u16string scratch;
    for (int64_t current = row; current >= 0 && current < count; ++current) {
        if (current > row && !lines[current].isWrapped) {
            break;
        }
        entry.lineOffsets.push_back(entry.lineAsString.characterCount());
        const BufferLine &line = lines[current];
        const bool continues = current + 1 < count && lines[current + 1].isWrapped;
        const int64_t end = continues ? line.dataSize() : line.trimmedLength();
        for (int64_t col = 0; col < end; ++col) {
            // The second column of a wide character shows no character of its own.
            if (line[col].width != 0) {
                appendCellCharacter(entry.lineAsString, terminal_, line[col].code, scratch);
            }
        }
        // A blank left at the row's end because the next wide character did not fit is no text.
        const CharData &last = line[end - 1];
        if (continues && end > 0 && last.code == 0 && last.width == 1 && lines[current + 1][0].width == 2) {
            entry.lineAsString.removeLastCharacter();
        }
    }
    return entry;
}

} // namespace kestrix
