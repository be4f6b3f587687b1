#include "Kestrix/model/BufferLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {
namespace {

CharData cellOf(char32_t code, int8_t width = 1)
{
    CharData cell;
    cell.setValue(static_cast<int32_t>(code), width);
    return cell;
}

BufferLine lineOf(const std::string &text, int64_t cols)
{
    BufferLine line(cols);
    for (size_t i = 0; i < text.size(); ++i) {
        line.setCell(static_cast<int64_t>(i), cellOf(static_cast<unsigned char>(text[i])));
    }
    return line;
}

std::string textOf(const BufferLine &line)
{
    std::string text;
    for (int64_t i = 0; i < line.dataSize(); ++i) {
        text += line[i].code == 0 ? '.' : static_cast<char>(line[i].code);
    }
    return text;
}

class FakeImage : public TerminalImage {
public:
    int64_t pixelWidth() const override { return 10; }
    int64_t pixelHeight() const override { return 20; }
    int64_t col() const override { return col_; }
    void setCol(int64_t col) override { col_ = col; }

private:
    int64_t col_ = 0;
};

TEST(BufferLine, ConstructionFillsEveryCellAndStartsAtGenerationZero)
{
    CharData fill = cellOf(' ');
    fill.attribute.bg = Attribute::Color::ansi256(4);
    BufferLine line(5, fill, true);
    EXPECT_EQ(line.dataSize(), 5);
    EXPECT_TRUE(line.isWrapped);
    EXPECT_EQ(line.renderMode, BufferLine::RenderLineMode::single);
    EXPECT_EQ(line.fillCharacter(), fill);
    EXPECT_FALSE(line.images);
    EXPECT_EQ(line.generation, 0u);
    for (int64_t i = 0; i < 5; ++i) {
        EXPECT_EQ(line[i], fill);
    }
    EXPECT_EQ(BufferLine(3).fillCharacter(), CharData::nullCell);
}

TEST(BufferLine, CopiesAreDeepAndCarryTheirOwnSerial)
{
    BufferLine source = lineOf("ab", 4);
    source.renderMode = BufferLine::RenderLineMode::doubleWidth;
    source.images = BufferLine::ImageList{std::make_shared<FakeImage>()};
    BufferLine copy(source);
    EXPECT_NE(copy.serial(), source.serial());
    EXPECT_EQ(copy.generation, 0u);
    EXPECT_EQ(copy.renderMode, BufferLine::RenderLineMode::doubleWidth);
    ASSERT_TRUE(copy.images);
    EXPECT_EQ(copy.images->size(), 1u);
    copy.setCell(0, cellOf('z'));
    EXPECT_EQ(textOf(source), "ab..");
    EXPECT_EQ(textOf(copy), "zb..");
    EXPECT_NE(BufferLine(1).serial(), BufferLine(1).serial());
}

TEST(BufferLine, BecomingACopyTakesWhatACopyHasAndANewSerial)
{
    BufferLine source = lineOf("ab", 4);
    source.isWrapped = true;
    source.renderMode = BufferLine::RenderLineMode::doubleWidth;
    BufferLine target = lineOf("wxyz", 4);
    target.images = BufferLine::ImageList{std::make_shared<FakeImage>()};
    const uint64_t oldSerial = target.serial();
    target.becomeCopyOf(source);
    EXPECT_EQ(textOf(target), "ab..");
    EXPECT_EQ(target.trimmedLength(), 2);
    EXPECT_TRUE(target.isWrapped);
    EXPECT_EQ(target.renderMode, BufferLine::RenderLineMode::doubleWidth);
    EXPECT_FALSE(target.images);
    EXPECT_EQ(target.generation, 0u);
    EXPECT_NE(target.serial(), oldSerial);
    EXPECT_NE(target.serial(), source.serial());
    EXPECT_EQ(target.fillCharacter(), source.fillCharacter());
}

TEST(BufferLine, ReadsOutsideTheLineGiveTheLastOrTheNullCell)
{
    BufferLine line = lineOf("abc", 3);
    EXPECT_EQ(line[3].code, 'c');
    EXPECT_EQ(line[100].code, 'c');
    EXPECT_EQ(line[-1], CharData::nullCell);
    BufferLine empty(0);
    EXPECT_EQ(empty[0], CharData::nullCell);
    EXPECT_EQ(empty.trimmedLength(), 0);
    EXPECT_FALSE(empty.hasContent(0));
}

TEST(BufferLine, WritingPastTheEndWarnsOnceAndOverwritesTheLastCell)
{
    BufferLine line = lineOf("abc", 3);
    testing::internal::CaptureStdout();
    line.setCell(3, cellOf('x'));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        output,
        "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug\n");
    EXPECT_EQ(textOf(line), "abx");

    BufferLine empty(0);
    testing::internal::CaptureStdout();
    empty.setCell(0, cellOf('x'));
    empty.setCell(-1, cellOf('x'));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(empty.dataSize(), 0);
}

TEST(BufferLine, TrimmedLengthCountsBothColumnsOfAWideCharacter)
{
    BufferLine line(10);
    line.setCell(2, cellOf('a'));
    line.setCell(5, cellOf(0x4E2D, 2));
    line.setCell(6, cellOf(0, 0));
    EXPECT_EQ(line.trimmedLength(), 7);

    BufferLine styled(10);
    CharData blank;
    blank.attribute.bg = Attribute::Color::ansi256(1);
    styled.fill(blank);
    EXPECT_EQ(styled.trimmedLength(), 0);
    EXPECT_TRUE(styled.hasContent(3));
    EXPECT_TRUE(styled.hasAnyContent());
    EXPECT_FALSE(BufferLine(10).hasAnyContent());

    BufferLine wideAtEdge(4);
    wideAtEdge.setCell(3, cellOf(0x4E2D, 2));
    EXPECT_EQ(wideAtEdge.trimmedLength(), 4);
}

TEST(BufferLine, InsertCellsShiftsWithinTheMarginOnly)
{
    struct Case {
        int64_t pos, n, rightMargin;
        const char *expected;
    };
    const Case cases[] = {
        {2, 2, 7, "ab..cdefij"},  // cells past the margin are lost, right of it untouched
        {2, 6, 7, "ab......ij"},  // n reaches the margin: fill only
        {2, 20, 7, "ab......ij"}, // n beyond the margin
        {9, 1, 7, "abcdefg.ij"},  // position past the margin is clamped to it
        {0, 1, 20, ".abcdefghi"}, // margin past the end is clamped to the line
        {-3, 1, 9, ".abcdefghi"}, // negative position is clamped to 0
        {3, 0, 9, "abcdefghij"},  {3, 2, -1, "abcdefghij"}, // no margin: nothing to do
    };
    for (const Case &c : cases) {
        BufferLine line = lineOf("abcdefghij", 10);
        uint64_t before = line.generation;
        line.insertCells(c.pos, c.n, c.rightMargin, CharData::nullCell);
        EXPECT_EQ(textOf(line), c.expected) << "pos " << c.pos << " n " << c.n << " margin " << c.rightMargin;
        EXPECT_NE(line.generation, before);
    }
}

TEST(BufferLine, DeleteCellsPullsCellsLeftWithinTheMargin)
{
    struct Case {
        int64_t pos, n, rightMargin;
        const char *expected;
    };
    const Case cases[] = {
        {2, 1, 9, "abdefghij.klmnopqrst"},   {2, 3, 9, "abfghij...klmnopqrst"},
        {2, 8, 9, "ab........klmnopqrst"},   {12, 1, 9, "abcdefghijklmnopqrst"}, // past the margin: nothing
        {18, 5, 40, "abcdefghijklmnopqr.."},
    };
    for (const Case &c : cases) {
        BufferLine line = lineOf("abcdefghijklmnopqrst", 20);
        line.deleteCells(c.pos, c.n, c.rightMargin, CharData::nullCell);
        EXPECT_EQ(textOf(line), c.expected) << "pos " << c.pos << " n " << c.n << " margin " << c.rightMargin;
    }
}

// Blank erases past the text write nothing; a later clear must still blank every cell that holds
// something, coloured blanks included.
TEST(BufferLine, ErasesPastTheTextKeepLaterClearsComplete)
{
    CharData coloured;
    coloured.attribute.bg = Attribute::Color::ansi256(4);
    BufferLine line = lineOf("abcdef", 10);
    line.replaceCells(3, 10, CharData::nullCell);
    EXPECT_EQ(textOf(line), "abc.......");
    line.replaceCells(7, 10, coloured);
    line.replaceCells(9, 10, CharData::nullCell);
    line.replaceCells(5, 6, CharData::nullCell);
    EXPECT_EQ(line[7], coloured);
    EXPECT_EQ(line[8], coloured);
    EXPECT_EQ(line[9], CharData::nullCell);
    line.clear(Attribute());
    for (int64_t i = 0; i < 10; ++i) {
        EXPECT_EQ(line[i], CharData::nullCell) << "cell " << i;
    }
}

TEST(BufferLine, RangeWritesAreClampedToTheLine)
{
    BufferLine line = lineOf("abcdef", 6);
    line.replaceCells(4, 100, cellOf('x'));
    EXPECT_EQ(textOf(line), "abcdxx");
    line.replaceCells(-2, 1, cellOf('y'));
    EXPECT_EQ(textOf(line), "ybcdxx");
    uint64_t before = line.generation;
    line.replaceCells(3, 3, cellOf('z'));
    EXPECT_EQ(textOf(line), "ybcdxx");
    EXPECT_NE(line.generation, before);

    line.fill(cellOf('q'), 5, 10);
    EXPECT_EQ(textOf(line), "ybcdxq");
    line.fill(cellOf('r'), 1, 2);
    EXPECT_EQ(textOf(line), "yrrdxq");
    line.fill(cellOf('s'), 2, -4);
    EXPECT_EQ(textOf(line), "yrrdxq");
    line.fill(cellOf('t'));
    EXPECT_EQ(textOf(line), "tttttt");
}

TEST(BufferLine, CopyFromHandlesOverlapAndClampsToBothLines)
{
    BufferLine line = lineOf("abcdefgh", 8);
    line.copyFrom(line, 0, 2, 4);
    EXPECT_EQ(textOf(line), "ababcdgh");
    line.copyFrom(line, 2, 0, 6);
    EXPECT_EQ(textOf(line), "abcdghgh");

    BufferLine target(4);
    target.copyFrom(lineOf("xyz", 3), 1, 2, 10);
    EXPECT_EQ(textOf(target), "..yz");
    target.copyFrom(lineOf("xyz", 3), 5, 0, 2);
    target.copyFrom(lineOf("xyz", 3), -1, 0, 2);
    EXPECT_EQ(textOf(target), "..yz");
}

TEST(BufferLine, ResizeKeepsCellsAndChangesGenerationOnlyWhenTheWidthChanges)
{
    BufferLine line = lineOf("abcd", 4);
    uint64_t before = line.generation;
    line.resize(4, cellOf('-'));
    EXPECT_EQ(line.generation, before);
    line.resize(6, cellOf('-'));
    EXPECT_EQ(textOf(line), "abcd--");
    EXPECT_NE(line.generation, before);
    line.resize(2, cellOf('-'));
    EXPECT_EQ(textOf(line), "ab");
    line.resize(-5, cellOf('-'));
    EXPECT_EQ(line.dataSize(), 0);
}

TEST(BufferLine, ClearEmptiesCellsAndImagesButKeepsWrapAndRenderMode)
{
    BufferLine line = lineOf("abc", 3);
    line.isWrapped = true;
    line.renderMode = BufferLine::RenderLineMode::doubledTop;
    line.images = BufferLine::ImageList{std::make_shared<FakeImage>()};
    uint64_t before = line.generation;
    Attribute attribute;
    attribute.bg = Attribute::Color::ansi256(2);
    line.clear(attribute);
    EXPECT_EQ(line.generation, before + 2);
    EXPECT_TRUE(line.isWrapped);
    EXPECT_EQ(line.renderMode, BufferLine::RenderLineMode::doubledTop);
    EXPECT_FALSE(line.images);
    for (int64_t i = 0; i < 3; ++i) {
        EXPECT_EQ(line[i].code, 0);
        EXPECT_EQ(line[i].width, 1);
        EXPECT_EQ(line[i].attribute, attribute);
    }
}

namespace {

// What a reader learns of a line: the summaries first (they are the reads that look least at the
// cells), then every byte of every cell.
std::string lineImage(const BufferLine &line)
{
    std::string image = std::to_string(line.trimmedLength()) + (line.hasAnyContent() ? "c|" : "e|");
    image.append(reinterpret_cast<const char *>(line.cells()), static_cast<size_t>(line.dataSize()) * sizeof(CharData));
    return image;
}

void writePlain(BufferLine &line, int64_t col, std::string_view text, const Attribute &attribute = Attribute())
{
    line.writeAscii(col, reinterpret_cast<const uint8_t *>(text.data()), static_cast<int64_t>(text.size()),
                    attribute);
}

// A wide character written in place at column 13 into `cells`, as the print path writes it.
void writeWideInPlace(BufferLine &line, CharData *cells)
{
    cells[13] = cellOf(U'\u4e2d', 2);
    cells[14] = cellOf(0, 0);
    line.noteCellsWritten(15);
}

} // namespace

// A line cleared after plain or coloured text keeps its old cells until something needs them:
// whatever it held, whatever is printed or done next, and whether anything was printed after the
// clear, it reads and changes exactly as a line that never held that text.
TEST(BufferLine, ALineClearedAfterPlainTextActsAsAFreshLine)
{
    constexpr int64_t cols = 24;
    Attribute red;
    red.fg = Attribute::Color::ansi256(1);
    CharData redBlank;
    redBlank.attribute = red;
    const BufferLine other = [&] {
        BufferLine line(cols);
        writePlain(line, 0, "the other line of text!!", red);
        return line;
    }();
    using Operation = std::function<std::string(BufferLine &)>;
    const std::pair<const char *, Operation> operations[] = {
        {"nothing", [](BufferLine &) { return std::string(); }},
        {"cell reads",
         [](BufferLine &line) {
             std::string codes;
             for (int64_t i = 0; i < cols; ++i) {
                 codes += std::to_string(line[i].code) + (line.hasContent(i) ? "+" : "-");
             }
             return codes;
         }},
        {"cell copy", [](BufferLine &line) { return std::to_string(line.getData()[20].code); }},
        {"text",
         [](BufferLine &line) {
             return line.translateToString(true) + "|" + line.translateToString(false, 10, 22) + "|" +
                    line.debugDescription();
         }},
        {"wrapped length", [&](BufferLine &line) { return std::to_string(line.wrappedTrimmedLength(&other, cols)); }},
        {"copied", [](BufferLine &line) { return lineImage(BufferLine(line)); }},
        {"copied into another",
         [&](BufferLine &line) {
             BufferLine target(other);
             target.becomeCopyOf(line);
             BufferLine whole(other);
             whole.copyFrom(line);
             BufferLine part(other);
             part.copyFrom(line, 2, 0, 20);
             return lineImage(target) + lineImage(whole) + lineImage(part);
         }},
        {"copied from another", [&](BufferLine &line) { line.copyFrom(other, 0, 6, 4); return std::string(); }},
        {"becomes another", [&](BufferLine &line) { line.becomeCopyOf(other); return std::string(); }},
        {"cells inserted", [](BufferLine &line) { line.insertCells(1, 3, cols - 1, CharData::nullCell); return std::string(); }},
        {"cells deleted", [](BufferLine &line) { line.deleteCells(0, 2, cols - 1, CharData::nullCell); return std::string(); }},
        {"erased to the end", [](BufferLine &line) { line.replaceCells(3, cols, CharData::nullCell); return std::string(); }},
        {"erased in colour", [&](BufferLine &line) { line.fill(redBlank, 15, 5); return std::string(); }},
        {"filled", [&](BufferLine &line) { line.fill(CharData::nullCell); return std::string(); }},
        {"grown", [](BufferLine &line) { line.resize(cols + 6, CharData::nullCell); return std::string(); }},
        {"shrunk", [](BufferLine &line) { line.resize(12, CharData::nullCell); return std::string(); }},
        {"one cell set", [](BufferLine &line) { line.setCell(16, cellOf('Q')); return std::string(); }},
        {"wide cell written in place",
         [](BufferLine &line) {
             writeWideInPlace(line, line.writableCells());
             return std::string();
         }},
        {"wide cell written in place further on",
         [](BufferLine &line) {
             writeWideInPlace(line, line.cellsToWriteFrom(13));
             return std::string();
         }},
        {"cells written in place from the start",
         [](BufferLine &line) {
             CharData *cells = line.cellsToWriteFrom(0);
             cells[0] = cellOf('p');
             cells[1] = cellOf(U'\u4e2d', 2);
             cells[2] = cellOf(0, 0);
             line.noteCellsWritten(3);
             return std::string();
         }},
        {"plain text further on", [](BufferLine &line) { writePlain(line, 19, "far"); return std::string(); }},
        {"plain text at the start", [](BufferLine &line) { writePlain(line, 0, "x"); return std::string(); }},
        {"text in colour", [&](BufferLine &line) { writePlain(line, 4, "hue", red); return std::string(); }},
        {"text past the end", [](BufferLine &line) { writePlain(line, cols - 2, "over"); return std::string(); }},
        {"cleared again", [](BufferLine &line) { line.clear(Attribute()); writePlain(line, 1, "y"); return std::string(); }},
        {"cleared in colour", [&](BufferLine &line) { line.clear(red); return std::string(); }},
    };
    // What the line held before its clear: plain text, text partly in colour, an erase in colour
    // to the end, a wide character among coloured text. The colours differ from the default in
    // every word of a cell.
    Attribute vivid;
    vivid.fg = Attribute::Color::trueColor(1, 2, 3);
    vivid.bg = Attribute::Color::ansi256(200);
    vivid.style = CharacterStyle::bold | CharacterStyle::underline;
    vivid.underlineStyle = UnderlineStyle::curly;
    vivid.underlineColor = Attribute::Color::trueColor(9, 8, 7);
    CharData vividBlank;
    vividBlank.attribute = vivid;
    using Print = std::function<void(BufferLine &)>;
    const std::pair<const char *, Print> helds[] = {
        {"plain text", [](BufferLine &line) { writePlain(line, 0, "plain text across a row"); }},
        {"coloured text",
         [&](BufferLine &line) {
             writePlain(line, 0, "coloured", vivid);
             writePlain(line, 8, " text across a row");
         }},
        {"an erase in colour",
         [&](BufferLine &line) {
             writePlain(line, 0, "short");
             line.fill(vividBlank, 5, cols - 5);
         }},
        {"a wide character",
         [&](BufferLine &line) {
             CharData *cells = line.writableCells();
             cells[3] = cellOf(U'\u4e2d', 2);
             cells[4] = cellOf(0, 0);
             line.noteCellsWritten(5);
             writePlain(line, 5, "and more in colour", vivid);
         }},
    };
    // What each line got after its clear: nothing, text from the start, text after a gap (as a
    // tab leaves), plain or coloured, or another round of text and clear first. The fresh line
    // gets only what followed the last clear.
    struct History {
        const char *name;
        std::optional<Attribute> secondRound;
        Print print;
    };
    const History histories[] = {
        {"nothing", std::nullopt, [](BufferLine &) {}},
        {"short text", std::nullopt, [](BufferLine &line) { writePlain(line, 0, "ab"); }},
        {"text after a gap", std::nullopt, [](BufferLine &line) { writePlain(line, 9, "tab"); writePlain(line, 14, "s"); }},
        {"coloured text after a gap", std::nullopt,
         [&](BufferLine &line) {
             writePlain(line, 9, "tab", red);
             writePlain(line, 14, "s");
         }},
        {"coloured text from the start", std::nullopt,
         [&](BufferLine &line) {
             writePlain(line, 0, "ab", red);
             writePlain(line, 2, "cd");
         }},
        {"two rounds", Attribute(), [](BufferLine &line) { writePlain(line, 5, "mid"); }},
        {"two rounds, the second in colour", vivid, [](BufferLine &line) { writePlain(line, 5, "mid"); }},
    };
    for (const auto &[heldName, held] : helds) {
        for (const History &history : histories) {
            for (const auto &[operationName, operation] : operations) {
                SCOPED_TRACE(std::string(heldName) + ", " + history.name + ", then " + operationName);
                BufferLine cleared(cols);
                held(cleared);
                cleared.clear(Attribute());
                if (history.secondRound) {
                    writePlain(cleared, 0, "longer text than before", *history.secondRound);
                    cleared.clear(Attribute());
                }
                history.print(cleared);
                BufferLine fresh(cols);
                history.print(fresh);
                const std::string expected = operation(fresh);
                EXPECT_EQ(operation(cleared), expected);
                EXPECT_EQ(lineImage(cleared), lineImage(fresh));
            }
        }
    }
}

TEST(BufferLine, CopyFromLineTakesCellsAndWrapButKeepsRenderModeAndImages)
{
    BufferLine source = lineOf("abcdef", 6);
    source.isWrapped = true;
    BufferLine target = lineOf("xy", 2);
    target.renderMode = BufferLine::RenderLineMode::doubleWidth;
    target.copyFrom(source);
    EXPECT_EQ(textOf(target), "abcdef");
    EXPECT_TRUE(target.isWrapped);
    EXPECT_EQ(target.renderMode, BufferLine::RenderLineMode::doubleWidth);
    EXPECT_EQ(target.generation, 2u + 2u);
}

TEST(BufferLine, WriteAsciiStoresPlainCellsAndRepairsAnOverrun)
{
    Attribute attribute;
    attribute.style = CharacterStyle::bold;
    BufferLine line(5);
    const uint8_t bytes[] = {'h', 'e', 'l', 'l', 'o', '!', '?'};
    line.writeAscii(1, bytes, 3, attribute);
    EXPECT_EQ(textOf(line), ".hel.");
    EXPECT_EQ(line[2].attribute, attribute);
    EXPECT_EQ(line[2].width, 1);

    testing::internal::CaptureStdout();
    line.writeAscii(3, bytes, 7, attribute);
    EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
    EXPECT_EQ(textOf(line), ".heh?");
}

// Runs of text and clears put cells together word by word from the attribute's fields: every field
// must land where a cell built field by field has it.
TEST(BufferLine, AsciiRunsAndClearsCarryEveryAttributeField)
{
    Attribute everything;
    everything.fg = Attribute::Color::trueColor(1, 2, 3);
    everything.bg = Attribute::Color::ansi256(200);
    everything.style = CharacterStyle::bold | CharacterStyle::italic | CharacterStyle::underline;
    everything.underlineStyle = UnderlineStyle::curly;
    everything.underlineColor = Attribute::Color::trueColor(9, 8, 7);
    Attribute inverted;
    inverted.fg = Attribute::Color::defaultInvertedColor();
    inverted.underlineColor = Attribute::Color::ansi256(255);
    Attribute backgroundOnly;
    backgroundOnly.bg = Attribute::Color::trueColor(255, 0, 128);

    for (const Attribute &attribute : {Attribute(), everything, inverted, backgroundOnly}) {
        SCOPED_TRACE(attribute.sgrParameters());
        BufferLine line(9);
        const uint8_t text[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
        line.writeAscii(0, text, 9, attribute);
        for (int64_t i = 0; i < 9; ++i) {
            CharData expected;
            expected.code = text[i];
            expected.attribute = attribute;
            EXPECT_EQ(line[i], expected) << "cell " << i;
        }
        line.clear(attribute);
        CharData empty;
        empty.attribute = attribute;
        for (int64_t i = 0; i < 9; ++i) {
            EXPECT_EQ(line[i], empty) << "cell " << i;
        }
        EXPECT_EQ(line.hasAnyContent(), !attribute.isPlainDefault());
    }
}

// Plain text skips writing the attribute where a line is known to be blank: whatever the line went
// through, the text's cells come out plain and the others stay.
TEST(BufferLine, PlainTextReplacesWhateverTheLineHeld)
{
    static const Attribute red = [] {
        Attribute attribute;
        attribute.fg = Attribute::Color::ansi256(1);
        attribute.bg = Attribute::Color::ansi256(2);
        return attribute;
    }();
    static const CharData redBlank = [] {
        CharData cell;
        cell.attribute = red;
        return cell;
    }();
    static const uint8_t crosses[] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    const struct {
        const char *history;
        BufferLine (*make)();
    } cases[] = {
        {"fresh", [] { return BufferLine(8); }},
        {"made in colour", [] { return BufferLine(8, redBlank); }},
        {"written in colour",
         [] {
             BufferLine line(8);
             line.writeAscii(0, crosses, 8, red);
             return line;
         }},
        {"cleared in colour",
         [] {
             BufferLine line(8);
             line.clear(red);
             return line;
         }},
        {"cleared plain after colour",
         [] {
             BufferLine line(8);
             line.writeAscii(0, crosses, 8, red);
             line.clear(Attribute());
             return line;
         }},
        {"erased in colour at the end",
         [] {
             BufferLine line(8);
             line.replaceCells(5, 8, redBlank);
             return line;
         }},
        {"one cell set at the end",
         [] {
             BufferLine line(8);
             line.setCell(7, redBlank);
             return line;
         }},
        {"cells inserted in colour",
         [] {
             BufferLine line(8);
             line.insertCells(6, 2, 7, redBlank);
             return line;
         }},
        {"cells deleted in colour",
         [] {
             BufferLine line(8);
             line.deleteCells(0, 2, 7, redBlank);
             return line;
         }},
        {"copied from a line in colour",
         [] {
             BufferLine line(8);
             line.copyFrom(BufferLine(8, redBlank), 4, 4, 4);
             return line;
         }},
        {"grown in colour",
         [] {
             BufferLine line(4);
             line.resize(8, redBlank);
             return line;
         }},
    };
    const uint8_t text[] = {'a', 'b', 'c'};
    for (const auto &c : cases) {
        for (int64_t col : {0, 2, 5}) {
            SCOPED_TRACE(std::string(c.history) + ", text at " + std::to_string(col));
            BufferLine line = c.make();
            std::vector<CharData> expected = line.getData();
            for (int64_t i = 0; i < 3; ++i) {
                expected[static_cast<size_t>(col + i)] = cellOf(text[i]);
            }
            line.writeAscii(col, text, 3, Attribute());
            EXPECT_EQ(line.getData(), expected);
        }
    }
}

TEST(BufferLine, TranslateToStringTrimsAndSkipsContinuationCells)
{
    BufferLine line = lineOf("ab", 5);
    EXPECT_EQ(line.translateToString(true), "ab");
    EXPECT_EQ(line.translateToString(false), std::string("ab\0\0\0", 5));
    EXPECT_EQ(line.translateToString(false, 1, 3), std::string("b\0", 2));
    EXPECT_EQ(line.translateToString(true, 4, 5), "");
    EXPECT_EQ(line.translateToString(false, 3, 1), "");

    BufferLine wide(5);
    wide.setCell(0, cellOf(0x4E2D, 2));
    wide.setCell(1, cellOf(0, 0));
    wide.setCell(2, cellOf('x'));
    EXPECT_EQ(wide.translateToString(true, 0, -1, true), "\xE4\xB8\xAD"
                                                         "x");
    EXPECT_EQ(wide.translateToString(true, 1, -1, true), "x");
    auto provider = [](const CharData &cell) { return cell.code == 0 ? std::string("_") : std::string("#"); };
    EXPECT_EQ(wide.translateToString(false, 0, -1, false, provider), "#_#__");
    EXPECT_EQ(wide.debugDescription(), std::string("\xE4\xB8\xAD\0x\0\0", 7));
}

} // namespace
} // namespace kestrix
