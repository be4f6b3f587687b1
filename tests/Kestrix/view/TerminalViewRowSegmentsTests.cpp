#include "Kestrix/rendering/RowSegments.h"
#include "Kestrix/rendering/SelectedColumns.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

struct SegmentsFixture : ::testing::Test {
    RowSegments row(int64_t index = 0)
    {
        Terminal &t = f.terminal();
        return f.view->buildAttributedSegments(index, t.buffer->lines()[index], t.cols);
    }
    void feed(std::string_view text) { f.view->feedHostOutput(text); }

    ViewFixture f{ViewFixture::gridFrame(10, 3)};
};

std::vector<int64_t> columnsOf(const SegmentRun &run)
{
    std::vector<int64_t> columns;
    for (const SegmentCell &cell : run.cells) {
        columns.push_back(cell.column);
    }
    return columns;
}

TEST_F(SegmentsFixture, PlainRowIsOneNarrowSegmentWithOneRun)
{
    feed("hello");
    const RowSegments segments = row();
    ASSERT_EQ(segments.segments.size(), 1u);
    const ViewLineSegment &segment = segments.segments[0];
    EXPECT_EQ(segment.column, 0);
    EXPECT_EQ(segment.columnWidth, 1);
    EXPECT_EQ(segment.characterCount, 1);
    // Empty cells are blanks, so the background reaches every column.
    EXPECT_EQ(segment.text(), QStringLiteral("hello     "));
    EXPECT_EQ(columnsOf(segment.runs[0]), (std::vector<int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(SegmentsFixture, WideCharacterSplitsTheRowAndItsRightHalfGivesNoText)
{
    feed("a\u65E5b");
    const RowSegments segments = row();
    ASSERT_EQ(segments.segments.size(), 3u);
    EXPECT_EQ(segments.segments[0].columnWidth, 1);
    EXPECT_EQ(segments.segments[0].text(), QStringLiteral("a"));
    EXPECT_EQ(segments.segments[1].column, 1);
    EXPECT_EQ(segments.segments[1].columnWidth, 2);
    EXPECT_EQ(segments.segments[1].text(), QString::fromUtf8("\u65E5"));
    EXPECT_EQ(segments.segments[2].column, 3);
    EXPECT_EQ(segments.segments[2].text(), QStringLiteral("b      "));
}

TEST_F(SegmentsFixture, AttributeChangesStartNewRunsWithinASegment)
{
    feed("ab\x1b[31mcd\x1b[0me");
    const ViewLineSegment segment = row().segments.at(0);
    ASSERT_EQ(segment.runs.size(), 3u);
    EXPECT_EQ(segment.characterCount, 3);
    EXPECT_EQ(columnsOf(segment.runs[1]), (std::vector<int64_t>{2, 3}));
    EXPECT_NE(segment.runs[1].attributes->foreground, segment.runs[0].attributes->foreground);
}

TEST_F(SegmentsFixture, CombiningMarksStayInTheirCell)
{
    feed("e\u0301x");
    const ViewLineSegment segment = row().segments.at(0);
    ASSERT_GE(segment.runs[0].cells.size(), 2u);
    EXPECT_EQ(segment.runs[0].cells[0].text, QString::fromUtf8("e\u0301"));
    EXPECT_EQ(segment.runs[0].cells[1].column, 1);
    EXPECT_EQ(segment.runs[0].cells[1].text, QStringLiteral("x"));
}

TEST_F(SegmentsFixture, BoxAndBlockCellsAreDrawnFromGeometryOnlyWhileCustomGlyphsAreOn)
{
    feed("\u2500\u2584\u2590x");
    RowSegments segments = row();
    ASSERT_EQ(segments.boxDrawings.size(), 1u);
    EXPECT_EQ(segments.boxDrawings[0].code, 0x2500u);
    EXPECT_EQ(segments.boxDrawings[0].color, f.view->nativeForegroundColor());
    ASSERT_EQ(segments.blockElements.size(), 2u);
    EXPECT_EQ(segments.blockElements[1].column, 2);
    EXPECT_FALSE(segments.blockElements[0].rects.empty());
    // Each custom cell is a blank piece of its own.
    EXPECT_EQ(segments.segments.at(0).text(), QStringLiteral("   x      "));
    EXPECT_EQ(segments.segments.at(0).characterCount, 4);

    f.view->setCustomBlockGlyphs(false);
    segments = row();
    EXPECT_TRUE(segments.boxDrawings.empty());
    EXPECT_TRUE(segments.blockElements.empty());
    EXPECT_EQ(segments.segments.at(0).text(), QString::fromUtf8("\u2500\u2584\u2590x      "));
}

TEST_F(SegmentsFixture, KittyPlaceholdersAreBlankPiecesThatContinueAlongTheRow)
{
    // Image 7, placement 3: row 1 from column 2 on, then a plain cell that ends the run, then a new run.
    feed("a\x1b[38;5;7;58;5;3m\U0010EEEE\u030D\u0310\U0010EEEE\U0010EEEE\x1b[0mb\x1b[38;5;7m\U0010EEEE");
    const RowSegments segments = row();
    ASSERT_EQ(segments.placeholders.size(), 4u);
    const auto place = [&](size_t i) {
        const KittyPlaceholderCell &cell = segments.placeholders[i];
        return std::tuple(cell.col, cell.imageId, cell.placementId, cell.placeholderRow, cell.placeholderCol);
    };
    EXPECT_EQ(place(0), std::tuple(1, 7u, 3u, 1, 3));
    EXPECT_EQ(place(1), std::tuple(2, 7u, 3u, 1, 4));
    EXPECT_EQ(place(2), std::tuple(3, 7u, 3u, 1, 5));
    EXPECT_EQ(place(3), std::tuple(5, 7u, 0u, 0, 0));
    // Each placeholder is a blank of its own that keeps the cell's background; text stays in place.
    ASSERT_EQ(segments.segments.size(), 1u);
    EXPECT_EQ(segments.segments[0].text(), QStringLiteral("a   b     "));
    EXPECT_EQ(segments.segments[0].characterCount, 7);
}

TEST_F(SegmentsFixture, TextStyleEmojiGetTheTextSelectorOnlyWhenTheyHaveNoSelector)
{
    struct Case {
        const char *printed;
        const char *drawn;
    };
    const Case cases[] = {
        {"\u263A", "\u263A\uFE0E"},       // emoji with text presentation by default
        {"\u263A\uFE0F", "\u263A\uFE0F"}, // asked for the picture
        {"\u263A\uFE0E", "\u263A\uFE0E"}, // already text: no second selector
        {"\U0001F600", "\U0001F600"},     // picture by default
        {"\u00A9", "\u00A9"},             // below U+0100
    };
    for (const Case &c : cases) {
        feed("\x1b[H\x1b[2K");
        feed(c.printed);
        const RowSegments segments = row();
        ASSERT_FALSE(segments.segments.empty());
        EXPECT_EQ(segments.segments[0].runs.at(0).cells.at(0).text, QString::fromUtf8(c.drawn)) << c.printed;
    }
}

TEST_F(SegmentsFixture, LineWithoutCellsReadsAsBlankCells)
{
    BufferLine empty(0);
    const RowSegments segments = f.view->buildAttributedSegments(0, empty, 4);
    ASSERT_EQ(segments.segments.size(), 1u);
    EXPECT_EQ(segments.segments[0].text(), QStringLiteral("    "));
}

TEST_F(SegmentsFixture, LinesShorterThanTheGridRepeatTheirLastCell)
{
    CharData z;
    z.code = 'z';
    BufferLine shortLine(2, z);
    const RowSegments segments = f.view->buildAttributedSegments(0, shortLine, 4);
    EXPECT_EQ(segments.segments.at(0).text(), QStringLiteral("zzzz"));
}

TEST_F(SegmentsFixture, SelectedCellsCarryTheSelectionColoursInARunOfTheirOwn)
{
    feed("\x1b[4mabcdef");
    f.view->selection()->setSelection({1, 0}, {3, 0});
    const ViewLineSegment segment = row().segments.at(0);
    ASSERT_GE(segment.runs.size(), 3u);
    EXPECT_EQ(columnsOf(segment.runs[1]), (std::vector<int64_t>{1, 2}));
    const TextAttributes &selected = *segment.runs[1].attributes;
    EXPECT_EQ(selected.selectionBackgroundColor, f.view->selectedTextBackgroundColor());
    EXPECT_EQ(selected.foreground, f.view->selectedTextForegroundColor());
    EXPECT_EQ(selected.underlineColor, f.view->selectedTextForegroundColor());
    // The background stays the cell's; the selection colour is painted instead of it.
    EXPECT_EQ(selected.background, f.view->nativeBackgroundColor());
    EXPECT_FALSE(segment.runs[0].attributes->selectionBackgroundColor);
}

TEST_F(SegmentsFixture, LinksAreHighlightedByModeModifierAndPointer)
{
    feed("\x1b]8;;http://example.com\x1b\\ab\x1b]8;;\x1b\\cd");
    const auto linkFlags = [&] {
        std::vector<bool> flags;
        const RowSegments segments = row();
        for (const SegmentRun &run : segments.segments.at(0).runs) {
            flags.push_back(run.attributes->kestrixUnderlineStyle == 5);
        }
        return flags;
    };
    EXPECT_EQ(linkFlags(), (std::vector<bool>{false}));
    f.view->setLinkHighlightMode(LinkHighlightMode::always);
    EXPECT_EQ(linkFlags(), (std::vector<bool>{true, false}));
    f.view->setLinkHighlightMode(LinkHighlightMode::alwaysWithModifier);
    EXPECT_EQ(linkFlags(), (std::vector<bool>{false}));
    f.view->setCommandActive(true);
    EXPECT_EQ(linkFlags(), (std::vector<bool>{true, false}));
    f.view->setLinkHighlightMode(LinkHighlightMode::hover);
    f.view->setLinkHighlightRange(std::vector<LinkRowRange>{{0, 2, 4}});
    EXPECT_EQ(linkFlags(), (std::vector<bool>{false, true, false}));
}

TEST(SelectedColumns, RangesPerRowForEveryShapeOfSelection)
{
    struct Case {
        Position start;
        Position end;
        int64_t row;
        std::optional<std::pair<int64_t, int64_t>> expected;
    };
    using Range = std::pair<int64_t, int64_t>;
    const Case cases[] = {
        {{3, 2}, {5, 2}, 2, Range{3, 5}},  // the end cell is excluded ...
        {{3, 2}, {9, 2}, 2, Range{3, 10}}, // ... unless it is the last column
        {{5, 2}, {3, 2}, 2, Range{3, 5}},  // reversed on one row
        {{3, 2}, {3, 2}, 2, std::nullopt}, // empty
        {{3, 2}, {5, 2}, 1, std::nullopt}, // other row
        {{6, 1}, {2, 3}, 1, Range{6, 10}}, // first row to the end
        {{6, 1}, {2, 3}, 2, Range{0, 10}}, // middle rows whole
        {{6, 1}, {2, 3}, 3, Range{0, 2}},  // last row to its end column
        {{6, 1}, {9, 3}, 3, Range{0, 10}},   {{2, 3}, {6, 1}, 1, Range{6, 10}}, // reversed across rows
        {{2, 3}, {6, 1}, 3, Range{0, 2}},    {{6, 1}, {2, 3}, 4, std::nullopt},
        {{-4, 2}, {40, 2}, 2, Range{0, 10}}, // clamped to the grid
    };
    for (const Case &c : cases) {
        EXPECT_EQ(selectedColumns(SelectionEnds{c.start, c.end, true}, c.row, 10), c.expected)
            << c.start.col << "," << c.start.row << " - " << c.end.col << "," << c.end.row << " row "
            << c.row;
    }
    EXPECT_EQ(selectedColumns(SelectionEnds{{0, 0}, {5, 0}, false}, 0, 10), std::nullopt);
    EXPECT_EQ(selectedColumns(std::nullopt, 0, 10), std::nullopt);
}

} // namespace
} // namespace kestrix
