// Link detection: the link under a cell, explicit (OSC 8 payloads on cells) or implicit (the link
// pattern over the logical line around the cell). Pattern offsets are UTF-16 units; they reach cells
// only through the table built with the text, so astral characters and clusters keep columns exact.

#include "Kestrix/core/LinkPattern.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/TinyAtom.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace kestrix {
namespace {

constexpr std::string_view urlCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!$&*+,;=%()";

bool isRightHalf(const BufferLine &line, int64_t col)
{
    return col > 0 && col < line.dataSize() && line[col].code == 0 && line[col - 1].width == 2;
}

bool isBlankCode(int32_t code)
{
    return code == 0 || (code < Terminal::firstClusterCode && u_isUWhiteSpace(code));
}

bool isUrlCharacter(int32_t code)
{
    return code > 0 && code < 0x80 && urlCharacters.find(static_cast<char>(code)) != std::string_view::npos;
}

// The columns of a line that lookups read.
int64_t lineLimit(const BufferLine &line, int64_t cols)
{
    return std::min(line.dataSize(), cols);
}

// The column after the last non-empty cell, within the limit.
int64_t contentEnd(const BufferLine &line, int64_t limit)
{
    for (int64_t col = limit - 1; col >= 0; --col) {
        if (line[col].code != 0) {
            return std::min(col + std::max<int64_t>(line[col].width, 1), limit);
        }
    }
    return 0;
}

bool precededByDollar(const std::u16string &text, int32_t start)
{
    return start > 0 && text[static_cast<size_t>(start - 1)] == u'$';
}

} // namespace

std::optional<Position> Terminal::bufferPosition(LinkLookupLocation location, Buffer &in)
{
    const int64_t count = in.lines().count();
    if (count == 0) {
        return std::nullopt;
    }
    const int64_t row =
        location.position.row + (location.kind == LinkLookupLocation::Kind::screen ? in.yDisp() : 0);
    return Position{std::clamp<int64_t>(location.position.col, 0, std::max<int64_t>(cols - 1, 0)),
                    std::clamp<int64_t>(row, 0, count - 1)};
}

std::optional<LinkMatch> Terminal::linkMatch(LinkLookupLocation at, LinkLookupMode mode)
{
    const std::optional<Position> position = bufferPosition(at, *buffer);
    if (!position) {
        return std::nullopt;
    }
    if (auto match = explicitLinkMatch(*position, *buffer)) {
        return match;
    }
    if (mode == LinkLookupMode::explicitAndImplicit) {
        return implicitLinkMatch(*position, *buffer);
    }
    return std::nullopt;
}

std::optional<uint16_t> Terminal::linkAtom(int64_t col, int64_t row, Buffer &in)
{
    if (row < 0 || row >= in.lines().count()) {
        return std::nullopt;
    }
    const BufferLine &line = in.lines()[row];
    const int64_t limit = lineLimit(line, cols);
    if (limit <= 0) {
        return std::nullopt;
    }
    const int64_t column = std::clamp<int64_t>(col, 0, limit - 1);
    if (const uint16_t code = line[column].payload.code; code != 0) {
        return code;
    }
    if (isRightHalf(line, column) && line[column - 1].payload.code != 0) {
        return line[column - 1].payload.code;
    }
    return std::nullopt;
}

std::optional<LinkMatch> Terminal::explicitLinkMatch(Position at, Buffer &in)
{
    const std::optional<uint16_t> atom = linkAtom(at.col, at.row, in);
    if (!atom) {
        return std::nullopt;
    }
    const BufferLine &line = in.lines()[at.row];
    const int64_t limit = lineLimit(line, cols);
    const int64_t col = std::clamp<int64_t>(at.col, 0, limit - 1);
    int64_t start = col;
    while (start > 0 && line[start - 1].payload.code == *atom) {
        --start;
    }
    int64_t end = col;
    while (end < limit && line[end].payload.code == *atom) {
        ++end;
    }
    // The right half of a wide character counts even though its own cell carries nothing.
    end = std::max(end, col + 1);
    const std::optional<std::string> payload = TinyAtom::lookup(*atom);
    if (!payload) {
        return std::nullopt;
    }
    const size_t separator = payload->find(';');
    if (separator == std::string::npos) {
        return std::nullopt;
    }
    LinkMatch match;
    match.text = payload->substr(separator + 1);
    match.row = at.row;
    match.start = start;
    match.end = end;
    match.isExplicit = true;
    match.rowRanges = {{at.row, start, end}};
    return match;
}

std::optional<LinkMatch> Terminal::implicitLinkMatch(Position at, Buffer &in)
{
    LinkPattern pattern;
    return implicitLinkMatch(at, in, pattern);
}

std::optional<LinkMatch> Terminal::implicitLinkMatch(Position at, Buffer &in, LinkPattern &pattern)
{
    const std::optional<LogicalLineText> line = logicalLineText(at.col, at.row, in, pattern);
    if (!line) {
        return std::nullopt;
    }
    const std::optional<std::vector<LinkPattern::Match>> matches = pattern.matches(line->text);
    if (!matches || pattern.exhausted()) {
        return std::nullopt;
    }
    for (const LinkPattern::Match &found : *matches) {
        if (precededByDollar(line->text, found.start)) {
            continue;
        }
        const auto firstCell = static_cast<size_t>(line->cellOfUnit[static_cast<size_t>(found.start)]);
        const auto lastCell = static_cast<size_t>(line->cellOfUnit[static_cast<size_t>(found.end - 1)]);
        std::map<int64_t, std::pair<int64_t, int64_t>> columnsByRow;
        bool containsCell = false;
        for (size_t index = firstCell; index <= lastCell && index < line->cells.size(); ++index) {
            const LumethImplicitCellRef &cell = line->cells[index];
            auto [entry, inserted] = columnsByRow.try_emplace(cell.row, cell.col, cell.col + cell.width);
            if (!inserted) {
                entry->second.first = std::min(entry->second.first, cell.col);
                entry->second.second = std::max(entry->second.second, cell.col + cell.width);
            }
            containsCell = containsCell || (cell.row == line->row && cell.col <= line->col &&
                                            line->col < cell.col + cell.width);
        }
        if (!containsCell) {
            continue;
        }
        LinkMatch match;
        icu::UnicodeString(false, line->text.data() + found.start, found.end - found.start)
            .toUTF8String(match.text);
        match.row = line->row;
        std::tie(match.start, match.end) = columnsByRow[line->row];
        for (const auto &[row, columns] : columnsByRow) {
            if (columns.second > columns.first) {
                match.rowRanges.push_back({row, columns.first, columns.second});
            }
        }
        return match;
    }
    return std::nullopt;
}

std::optional<Terminal::LogicalLineText> Terminal::logicalLineText(int64_t col, int64_t row, Buffer &in,
                                                                   LinkPattern &pattern)
{
    CircularBufferLineList &lines = in.lines();
    if (row < 0 || row >= lines.count()) {
        return std::nullopt;
    }
    const int64_t rowLimit = lineLimit(lines[row], cols);
    if (rowLimit <= 0) {
        return std::nullopt;
    }
    int64_t column = std::clamp<int64_t>(col, 0, rowLimit - 1);
    if (isRightHalf(lines[row], column)) {
        --column;
    }
    int64_t first = row;
    while (first > 0 && lines[first].isWrapped && row - first < maximumLinkLineRows) {
        --first;
    }
    int64_t last = row;
    while (last + 1 < lines.count() && lines[last + 1].isWrapped && last - row < maximumLinkLineRows) {
        ++last;
    }
    if (first == row && last == row) {
        if (const auto run = logicalLineRows(row, in, pattern)) {
            std::tie(first, last) = *run;
        }
    }

    LogicalLineText result;
    result.row = row;
    result.col = column;
    int64_t rowStart = 0;
    int64_t rowEnd = 0;
    for (int64_t r = first; r <= last; ++r) {
        const BufferLine &line = lines[r];
        const int64_t end = contentEnd(line, lineLimit(line, cols));
        int64_t start = 0;
        if (isWrappedSpan(r, first, in, pattern)) {
            // The indentation of a continuation row is not part of the line.
            start = end;
            for (int64_t c = 0; c < end; ++c) {
                if (!isRightHalf(line, c) && !isBlankCode(line[c].code)) {
                    start = c;
                    break;
                }
            }
        }
        if (r == row) {
            rowStart = start;
            rowEnd = end;
        }
        for (int64_t c = start; c < end; ++c) {
            if (isRightHalf(line, c)) {
                continue;
            }
            const std::u16string units = cellsText(line, c, c + 1);
            const auto cellIndex = static_cast<int32_t>(result.cells.size());
            result.cells.push_back({r, c, std::max<int64_t>(line[c].width, 1)});
            result.text += units;
            result.cellOfUnit.insert(result.cellOfUnit.end(), units.size(), cellIndex);
        }
    }
    if (pattern.exhausted() || result.text.empty() || column < rowStart || column >= rowEnd) {
        return std::nullopt;
    }
    return result;
}

bool Terminal::isWrappedSpan(int64_t row, int64_t firstRow, Buffer &in, LinkPattern &pattern)
{
    if (row <= firstRow || row >= in.lines().count()) {
        return false;
    }
    return in.lines()[row].isWrapped || looksSoftWrapped(row - 1, row, in, pattern);
}

std::optional<std::pair<int64_t, int64_t>> Terminal::logicalLineRows(int64_t row, Buffer &in,
                                                                     LinkPattern &pattern)
{
    const int64_t count = in.lines().count();
    if (row < 0 || row >= count) {
        return std::nullopt;
    }
    int64_t first = row;
    while (first > 0 && row - first < maximumLinkLineRows &&
           looksSoftWrapped(first - 1, first, in, pattern)) {
        --first;
    }
    int64_t last = row;
    while (last + 1 < count && last - row < maximumLinkLineRows &&
           looksSoftWrapped(last, last + 1, in, pattern)) {
        ++last;
    }
    if (first == last) {
        return std::nullopt;
    }
    return std::pair{first, last};
}

bool Terminal::looksSoftWrapped(int64_t upperRow, int64_t lowerRow, Buffer &in, LinkPattern &pattern)
{
    const std::optional<RowTextInfo> upper = rowTextInfo(upperRow, in);
    const std::optional<RowTextInfo> lower = rowTextInfo(lowerRow, in);
    if (!upper || !lower) {
        return false;
    }
    const int64_t threshold = cols < 10 ? 2 : cols / 5;
    if (upper->lastCol < cols - threshold) {
        return false;
    }
    if (!isUrlCharacter(upper->lastCode) || !isUrlCharacter(lower->firstCode)) {
        return false;
    }
    return linkCandidates(upperRow, lowerRow, upper->lastCol, lower->firstCol, in, pattern);
}

std::optional<Terminal::RowTextInfo> Terminal::rowTextInfo(int64_t row, Buffer &in)
{
    if (row < 0 || row >= in.lines().count()) {
        return std::nullopt;
    }
    const BufferLine &line = in.lines()[row];
    const int64_t limit = std::min(lineLimit(line, cols), line.trimmedLength());
    const auto codeAt = [&](int64_t col) {
        return isRightHalf(line, col) ? line[col - 1].code : line[col].code;
    };
    std::optional<RowTextInfo> info;
    for (int64_t col = 0; col < limit; ++col) {
        if (!isBlankCode(codeAt(col))) {
            info = RowTextInfo{col, codeAt(col), col, codeAt(col)};
            break;
        }
    }
    if (!info) {
        return std::nullopt;
    }
    for (int64_t col = limit - 1; col >= info->firstCol; --col) {
        if (!isBlankCode(codeAt(col))) {
            info->lastCol = col;
            info->lastCode = codeAt(col);
            break;
        }
    }
    return info;
}

bool Terminal::linkCandidates(int64_t upperRow, int64_t lowerRow, int64_t upperLastCol, int64_t lowerFirstCol,
                              Buffer &in, LinkPattern &pattern)
{
    const int64_t count = in.lines().count();
    if (!LinkPattern::isAvailable() || upperRow < 0 || upperRow >= count || lowerRow < 0 ||
        lowerRow >= count) {
        return false;
    }
    const BufferLine &upper = in.lines()[upperRow];
    const BufferLine &lower = in.lines()[lowerRow];
    const int64_t leftEnd = std::min({upperLastCol + 1, upper.dataSize(), cols});
    const std::u16string left =
        cellsText(upper, std::max<int64_t>(0, leftEnd - softWrapWindowCells), leftEnd);
    if (left.empty()) {
        return false;
    }
    const int64_t limit = std::min({lower.dataSize(), cols, lower.trimmedLength()});
    if (lowerFirstCol >= limit) {
        return false;
    }
    const std::u16string right =
        cellsText(lower, lowerFirstCol, std::min(lowerFirstCol + softWrapWindowCells, limit));
    if (right.empty()) {
        return false;
    }
    const std::u16string text = left + right;
    const auto junction = static_cast<int32_t>(left.size());
    const std::optional<std::vector<LinkPattern::Match>> matches = pattern.matches(text);
    if (!matches) {
        return false;
    }
    return std::ranges::any_of(*matches, [&](const LinkPattern::Match &found) {
        return found.start < junction && found.end > junction && !precededByDollar(text, found.start);
    });
}

std::u16string Terminal::cellsText(const BufferLine &line, int64_t start, int64_t end) const
{
    std::u16string text;
    for (int64_t col = std::max<int64_t>(start, 0); col < std::min(end, line.dataSize()); ++col) {
        if (isRightHalf(line, col)) {
            continue;
        }
        const int32_t code = line[col].code;
        if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || (code > 0x10FFFF && code < firstClusterCode)) {
            text += u' ';
        } else if (code < firstClusterCode) {
            if (code < 0x10000) {
                text += static_cast<char16_t>(code);
            } else {
                text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
                text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
        } else {
            const std::string cluster = stringForCellCode(code);
            const icu::UnicodeString units = icu::UnicodeString::fromUTF8(
                icu::StringPiece(cluster.data(), static_cast<int32_t>(cluster.size())));
            text.append(units.getBuffer(), static_cast<size_t>(units.length()));
        }
    }
    return text;
}

} // namespace kestrix
