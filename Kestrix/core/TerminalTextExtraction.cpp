// Text behind ranges of cells: logical lines of fragments for selection and copy, plain text, and
// whole buffers as encoded bytes.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>
#include <utility>

namespace kestrix {
namespace {

bool isDefaultColor(const Attribute::Color &color)
{
    return color.kind() == Attribute::Color::Kind::defaultColor ||
           color.kind() == Attribute::Color::Kind::defaultInvertedColor;
}

// No character and nothing that shows: an erased cell with a background colour is not empty.
bool isEmptyCell(const CharData &cell)
{
    const Attribute &attribute = cell.attribute;
    return cell.code == 0 && isDefaultColor(attribute.fg) && isDefaultColor(attribute.bg) &&
           attribute.style.isEmpty() && attribute.underlineStyle == UnderlineStyle::none &&
           !attribute.underlineColor;
}

bool isBlankLine(const BufferLine &line)
{
    const CharData *cells = line.cells();
    return std::all_of(cells, cells + line.dataSize(), isEmptyCell);
}

bool isRightHalfOfWide(const BufferLine &line, int64_t col)
{
    return col > 0 && line[col].code == 0 && line[col - 1].width == 2;
}

} // namespace

int64_t Terminal::appendSegmentText(std::string &text, const BufferLine &line, int64_t start,
                                    int64_t end) const
{
    if (end < 0 || end > line.dataSize()) {
        end = line.dataSize();
    }
    end = std::min(end, line.trimmedLength());
    int64_t characters = 0;
    for (int64_t col = std::max<int64_t>(start, 0); col < end; ++col) {
        if (isRightHalfOfWide(line, col)) {
            continue;
        }
        const CharData &cell = line[col];
        if (cell.code == 0) {
            text += ' ';
        } else {
            appendCellText(text, cell.code);
        }
        ++characters;
        if (cell.width == 2 && col + 1 < end && line[col + 1].code == 0) {
            ++col;
        }
    }
    return characters;
}

std::string Terminal::lineSegmentText(int64_t row, int64_t start, int64_t end)
{
    CircularBufferLineList &lines = buffer->lines();
    if (row < 0 || row >= lines.count()) {
        return {};
    }
    std::string text;
    appendSegmentText(text, lines[row], start, end);
    return text;
}

std::vector<Line> Terminal::getSelectedLines(Position p1, Position p2, Buffer &source)
{
    std::vector<Line> result(1);
    CircularBufferLineList &lines = source.lines();
    // Rows past the last line would make lines of their own; there is no text there.
    const int64_t lastRow = std::min(p2.row, lines.count() - 1);
    if (p1.row < 0 || p1.row > lastRow) {
        return result;
    }
    const auto fragmentOf = [&](int64_t row, int64_t start, int64_t end) {
        std::string text;
        const int64_t characters = appendSegmentText(text, lines[row], start, end);
        return LineFragment{std::move(text), row, std::max<int64_t>(start, 0), characters};
    };
    const auto startNewLine = [&] { result.emplace_back(); };

    const bool singleRow = p1.row == lastRow;
    if (!isBlankLine(lines[p1.row])) {
        result.back().append(fragmentOf(p1.row, p1.col, singleRow ? p2.col : -1));
    }
    if (singleRow) {
        return result;
    }

    // Blank rows wait until a row with text follows: at the end of the range they give nothing.
    std::vector<LineFragment> held;
    const auto releaseHeld = [&] {
        for (size_t i = 0; i < held.size(); ++i) {
            if (i > 0 && held[i].line != held[i - 1].line) {
                startNewLine();
            }
            result.back().append(std::move(held[i]));
        }
        held.clear();
    };
    const auto breakBefore = [&](int64_t row) {
        if (!lines[row].isWrapped) {
            result.back().append(LineFragment::lineBreak(row - 1));
            startNewLine();
        }
    };

    for (int64_t row = p1.row + 1; row < lastRow; ++row) {
        if (isBlankLine(lines[row])) {
            if (!lines[row].isWrapped) {
                held.push_back(LineFragment::lineBreak(row - 1));
            }
            held.push_back(fragmentOf(row, 0, -1));
            continue;
        }
        releaseHeld();
        breakBefore(row);
        result.back().append(fragmentOf(row, 0, -1));
    }

    if (isBlankLine(lines[lastRow])) {
        return result;
    }
    releaseHeld();
    breakBefore(lastRow);
    result.back().append(fragmentOf(lastRow, 0, p2.col));
    return result;
}

std::string Terminal::getDisplayText(Position start, Position end)
{
    if (Position::compare(start, end) == Position::compareResult::after) {
        std::swap(start, end);
    }
    if (start == end) {
        return {};
    }
    Buffer &source = *buffer;
    const int64_t lineCount = source.lines().count();
    if (start.row < 0 || start.row >= lineCount) {
        return {};
    }
    end.row = std::min(end.row, lineCount - 1);
    std::string text;
    for (const Line &line : getSelectedLines(start, end, source)) {
        for (const LineFragment &fragment : line.fragments()) {
            text += fragment.text.value_or("");
        }
    }
    return text;
}

std::vector<uint8_t> Terminal::bufferTextData(BufferKind kind, TextEncoding encoding)
{
    Buffer &source = kind == BufferKind::normal ? *normalBuffer
                     : kind == BufferKind::alt  ? *altBuffer
                                                : *buffer;
    CircularBufferLineList &lines = source.lines();
    std::vector<uint8_t> data;
    std::string text;
    for (int64_t row = 0; row < lines.count(); ++row) {
        const BufferLine &line = lines[row];
        text.clear();
        bool encodable = true;
        // Every cell as it is stored: empty cells are U+0000 and cluster codes a blank.
        for (int64_t col = 0; col < line.trimmedLength(); ++col) {
            const int32_t code = line[col].code;
            const uint32_t scalar = isUnicodeScalar(code) ? static_cast<uint32_t>(code) : ' ';
            if (encoding == TextEncoding::ascii && scalar > 0x7F) {
                encodable = false;
                break;
            }
            utf8::append(text, scalar);
        }
        if (!encodable) {
            continue;
        }
        data.insert(data.end(), text.begin(), text.end());
        data.push_back('\n');
    }
    return data;
}

} // namespace kestrix
