// A row of cells into segments of equally wide cells, runs of equal attributes and the cells drawn
// from geometry instead of the font.

#include "Kestrix/rendering/RowSegments.h"
#include "Kestrix/rendering/SelectedColumns.h"
#include "Kestrix/view/TerminalView.h"

#include <algorithm>
#include <array>
#include <unicode/uchar.h>

namespace kestrix {

namespace {

constexpr uint32_t boxDrawingFirst = 0x2500;
constexpr uint32_t boxDrawingLast = 0x257F;
constexpr char16_t textPresentationSelector = 0xFE0E;
constexpr char16_t emojiPresentationSelector = 0xFE0F;

// A character that is an emoji but shown as text by default stays text: without a selector of its
// own it gets the text presentation selector, so no font draws it as a colour picture.
void keepTextPresentation(QString &text)
{
    if (text.isEmpty() || text.contains(textPresentationSelector) ||
        text.contains(emojiPresentationSelector)) {
        return;
    }
    const char32_t first = text.toUcs4().value(0);
    if (first > 0xFF && u_hasBinaryProperty(static_cast<UChar32>(first), UCHAR_EMOJI) &&
        !u_hasBinaryProperty(static_cast<UChar32>(first), UCHAR_EMOJI_PRESENTATION)) {
        text.append(textPresentationSelector);
    }
}

// The state of one walk over a row.
class SegmentWalk {
public:
    explicit SegmentWalk(RowSegments &result)
        : result_(result)
    {
    }

    bool continuesSegment(int64_t columnWidth) const
    {
        return isOpen_ && current_.columnWidth == columnWidth;
    }

    void openSegment(int64_t column, int64_t columnWidth)
    {
        closeSegment();
        current_.column = column;
        current_.columnWidth = columnWidth;
        current_.characterCount = 0;
        current_.runs.clear();
        isOpen_ = true;
    }

    void appendText(int64_t column, QString text, const std::shared_ptr<const TextAttributes> &attributes)
    {
        if (pending_.cells.empty()) {
            pending_.attributes = attributes;
        }
        pending_.cells.push_back({column, std::move(text)});
    }

    // A cell of its own piece: a blank that carries the cell's background.
    void appendBlankPiece(int64_t column, const std::shared_ptr<const TextAttributes> &attributes)
    {
        flush();
        if (isOpen_) {
            current_.runs.push_back({attributes, {{column, QStringLiteral(" ")}}});
            ++current_.characterCount;
        }
    }

    void flush()
    {
        if (pending_.cells.empty() || !isOpen_) {
            pending_.cells.clear();
            return;
        }
        current_.runs.push_back(std::move(pending_));
        ++current_.characterCount;
        pending_ = {};
    }

    void closeSegment()
    {
        flush();
        if (isOpen_ && current_.characterCount > 0) {
            result_.segments.push_back(std::move(current_));
        }
        isOpen_ = false;
    }

private:
    RowSegments &result_;
    // Reused from one segment to the next; meaningful only while open.
    ViewLineSegment current_;
    bool isOpen_ = false;
    SegmentRun pending_;
};

// The text of a blank or printable ASCII cell, shared by every such cell instead of made per cell.
const QString &asciiCellText(uint32_t code)
{
    static const std::array<QString, 0x80> texts = [] {
        std::array<QString, 0x80> made;
        for (char16_t c = 0; c < 0x80; ++c) {
            made[c] = QString(QChar(c));
        }
        return made;
    }();
    return texts[code];
}

} // namespace

QString ViewLineSegment::text() const
{
    QString joined;
    for (const SegmentRun &run : runs) {
        for (const SegmentCell &cell : run.cells) {
            joined += cell.text;
        }
    }
    return joined;
}

std::optional<std::pair<int64_t, int64_t>> TerminalView::selectedColumns(int64_t row, int64_t cols) const
{
    return kestrix::selectedColumns(selectionEnds(), row, cols);
}

bool TerminalView::isLinkHighlighted(int64_t row, int64_t column, int64_t columnWidth,
                                     const CharData &cell) const
{
    const auto pointerIsOver = [&] {
        if (!linkHighlightRange_) {
            return false;
        }
        const auto entry = std::ranges::find_if(*linkHighlightRange_,
                                                [&](const LinkRowRange &range) { return range.row == row; });
        return entry != linkHighlightRange_->end() && entry->start < entry->end &&
               entry->start < column + columnWidth && column < entry->end;
    };
    switch (linkHighlightMode_) {
    case LinkHighlightMode::hover:
        return pointerIsOver();
    case LinkHighlightMode::hoverWithModifier:
        return commandActive_ && pointerIsOver();
    case LinkHighlightMode::always:
        return cell.payload.code != 0;
    case LinkHighlightMode::alwaysWithModifier:
        return commandActive_ && cell.payload.code != 0;
    }
    return false;
}

std::shared_ptr<const TextAttributes>
TerminalView::selectedAttributes(const std::shared_ptr<const TextAttributes> &attributes) const
{
    auto selected = std::make_shared<TextAttributes>(*attributes);
    selected->selectionBackgroundColor = selectedTextBackgroundColor_;
    selected->foreground = selectedTextForegroundColor_;
    if (selected->underlineColor) {
        selected->underlineColor = selectedTextForegroundColor_;
    }
    if (selected->strikethroughColor) {
        selected->strikethroughColor = selectedTextForegroundColor_;
    }
    return selected;
}

RowSegments TerminalView::buildAttributedSegments(int64_t row, const BufferLine &line, int64_t cols)
{
    RowSegments result;
    result.images = line.images;
    const auto selected = selectedColumns(row, cols);
    SegmentWalk walk(result);

    struct RunKey {
        Attribute attribute;
        bool link = false;
        bool selected = false;
        bool operator==(const RunKey &) const = default;
    };
    std::optional<RunKey> previous;
    std::shared_ptr<const TextAttributes> runAttributes;
    // Only a placeholder directly to the left continues a placeholder run.
    std::optional<KittyPlaceholderCell> previousPlaceholder;
    Attribute previousAttribute;

    for (int64_t column = 0; column < cols;) {
        // Past the line's end the last cell repeats; an empty line reads as null cells.
        const CharData &cell = line[column];
        const int64_t width = std::max<int64_t>(1, cell.width);
        const bool link = isLinkHighlighted(row, column, width, cell);
        if (!walk.continuesSegment(width)) {
            walk.openSegment(column, width);
        }
        const bool isSelected = selected && selected->first < column + width && column < selected->second;
        const RunKey key{cell.attribute, link, isSelected};
        if (!previous || *previous != key) {
            walk.flush();
            previous = key;
            const auto attributes = cellAttributes(cell.attribute, link);
            runAttributes = isSelected ? selectedAttributes(attributes) : attributes;
        }

        const auto code = static_cast<uint32_t>(cell.code);
        std::optional<KittyPlaceholderCell> placeholder;
        if (customBlockGlyphs_ && code >= boxDrawingFirst && code <= boxDrawingLast) {
            result.boxDrawings.push_back({column, width, code, runAttributes->foreground});
            walk.appendBlankPiece(column, runAttributes);
        } else if (const auto rects = customBlockGlyphs_ ? blockElementRects(code) : std::nullopt) {
            result.blockElements.push_back({column, width, code, runAttributes->foreground, *rects});
            walk.appendBlankPiece(column, runAttributes);
        } else if (code == 0 || (code >= 0x20 && code < 0x7F)) {
            // Neither a placeholder nor an emoji: the cell's own character.
            walk.appendText(column, asciiCellText(code == 0 ? 0x20 : code), runAttributes);
        } else {
            const std::string text = terminal_->stringForCellCode(cell.code);
            placeholder =
                KittyPlaceholderCell::decode(text, cell.attribute, row, column, previousPlaceholder,
                                             previousAttribute.fg, previousAttribute.underlineColor);
            if (placeholder) {
                result.placeholders.push_back(*placeholder);
                walk.appendBlankPiece(column, runAttributes);
            } else {
                QString shown = QString::fromStdString(text);
                keepTextPresentation(shown);
                walk.appendText(column, std::move(shown), runAttributes);
            }
        }
        previousPlaceholder = placeholder;
        previousAttribute = cell.attribute;
        column += width;
    }
    walk.closeSegment();
    return result;
}

} // namespace kestrix
