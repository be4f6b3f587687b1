#include "Kestrix/model/Buffer.h"
#include "tests/Kestrix/model/ImageStub.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Characters from U+2E80 on are wide in these tests.
int8_t widthOf(char32_t code)
{
    return code >= 0x2E80 ? 2 : 1;
}

CharData cellOf(char32_t code)
{
    CharData cell;
    cell.setValue(static_cast<int32_t>(code), widthOf(code));
    return cell;
}

// A buffer written the way a terminal writes it: text wraps at the right edge and a new line at the
// bottom scrolls the screen into the scrollback.
struct ReflowBuffer {
    explicit ReflowBuffer(int64_t cols, int64_t rows = 5, std::optional<int64_t> scrollback = 100)
        : buffer(cols, rows, 8, scrollback)
    {
        buffer.fillViewportRows();
        buffer.modes().wraparound = true;
        buffer.scroll = [this](bool wrapped) { scrollUp(wrapped); };
    }

    void scrollUp(bool wrapped)
    {
        CircularBufferLineList &lines = buffer.lines();
        if (lines.isFull()) {
            lines.recycle(Attribute());
        } else {
            lines.push(buffer.getBlankLine(Attribute()));
            buffer.setYBase(buffer.yBase() + 1);
        }
        lines[buffer.yBase() + buffer.scrollBottom()].isWrapped = wrapped;
        buffer.setYDisp(buffer.yBase());
    }

    void write(std::u32string_view text)
    {
        for (char32_t code : text) {
            buffer.putCharacter(cellOf(code));
        }
    }

    void newLine()
    {
        buffer.setX(0);
        if (buffer.y() == buffer.scrollBottom()) {
            scrollUp(false);
        } else {
            buffer.setY(buffer.y() + 1);
        }
    }

    // Each text on a line of its own, the cursor left at the end of the last one.
    void writeLines(const std::vector<std::u32string> &texts)
    {
        bool first = true;
        for (const std::u32string &text : texts) {
            if (!first) {
                newLine();
            }
            first = false;
            write(text);
        }
    }

    std::string lineText(int64_t row)
    {
        const BufferLine &line = buffer.lines()[row];
        std::string text;
        for (int64_t col = 0; col < std::min(line.trimmedLength(), buffer.cols()); ++col) {
            if (line[col].width != 0) {
                text += line[col].code == 0 ? std::string(" ") : CharData::stringFromScalar(line[col].code);
            }
        }
        return text;
    }

    // The screen rows, a '+' in front of each wrapped one.
    std::string screen()
    {
        std::string text;
        for (int64_t row = 0; row < buffer.rows(); ++row) {
            int64_t line = buffer.yBase() + row;
            text += (buffer.lines()[line].isWrapped ? "+" : "") + lineText(line) + "|";
        }
        return text;
    }

    // Every line of the ring, scrollback included.
    std::string allLines()
    {
        std::string text;
        for (int64_t row = 0; row < buffer.lines().count(); ++row) {
            text += (buffer.lines()[row].isWrapped ? "+" : "") + lineText(row) + "|";
        }
        return text;
    }

    // The cursor's screen row and the text at its row.
    std::string cursorLine() { return lineText(buffer.yBase() + buffer.y()); }

    Buffer buffer;
};

std::u32string repeated(std::u32string_view pattern, size_t length)
{
    std::u32string text;
    while (text.size() < length) {
        text += pattern;
    }
    text.resize(length);
    return text;
}

std::string utf8(std::u32string_view text)
{
    std::string result;
    for (char32_t code : text) {
        result += CharData::stringFromScalar(static_cast<int32_t>(code));
    }
    return result;
}

TEST(BufferReflow, ALineWrappedAtEightyBecomesOneLineAtAHundredAndThreeAtForty)
{
    const std::u32string text = repeated(U"0123456789", 100);
    const std::string whole = utf8(text);
    struct Case {
        const char *name;
        int64_t scrollbackLines; // lines written before, so many go into the scrollback
        int64_t newCols;
        std::string screen;
        int64_t y;
        int64_t yBase;
    };
    const std::string narrowed =
        utf8(text.substr(0, 40)) + "|+" + utf8(text.substr(40, 40)) + "|+" + utf8(text.substr(80));
    const Case cases[] = {
        // The emptied line leaves and the rows below move up, the cursor with them.
        {"wider, no scrollback yet", 0, 100, whole + "|$|||||", 1, 0},
        // The scrollback comes down one line into view instead.
        {"wider, with scrollback", 6, 100, "c|d|e|f|" + whole + "|$|", 5, 2},
        // Two new wrapped lines go in below the group: the cursor moves down over blank lines.
        {"narrower, no scrollback yet", 0, 40, narrowed + "|$|||", 3, 0},
        // The screen moves down over the scrollback instead.
        {"narrower, with scrollback", 6, 40, "e|f|" + narrowed + "|$|", 5, 4},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        ReflowBuffer r(80, 6);
        for (int64_t i = 0; i < each.scrollbackLines; ++i) {
            r.write(std::u32string(1, U'a' + static_cast<char32_t>(i)));
            r.newLine();
        }
        r.write(text);
        r.newLine();
        r.write(U"$");
        r.buffer.resize(each.newCols, 6);
        EXPECT_EQ(r.screen(), each.screen);
        EXPECT_EQ(r.buffer.y(), each.y);
        EXPECT_EQ(r.buffer.yBase(), each.yBase);
        EXPECT_EQ(r.buffer.yDisp(), r.buffer.yBase());
        EXPECT_EQ(r.cursorLine(), "$");
        EXPECT_EQ(r.buffer.lines().count(), r.buffer.yBase() + 6);
    }
}

TEST(BufferReflow, AWideCharacterNeverStraddlesTheNewEdge)
{
    struct Case {
        const char *name;
        int64_t cols;
        std::u32string text;
        int64_t newCols;
        std::string lines;
        // Cells of the first line that belong to the text: one less where a wide character left.
        int64_t firstLength;
    };
    const Case cases[] = {
        {"narrower", 10, U"abcd中efghij", 5, "abcd|+中efg|+hij", 4},
        {"wider", 5, U"abcdef中gh", 7, "abcdef|+中gh", 6},
        {"wider, moved back", 5, U"abcd中efg", 7, "abcd中e|+fg", 7},
        {"to two columns", 6, U"a中中b", 2, "a|+中|+中|+b", 1},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        ReflowBuffer r(each.cols);
        r.writeLines({each.text, U"$"});
        r.buffer.resize(each.newCols, 5);
        std::string lines;
        for (int64_t row = 0; r.buffer.lines()[row].trimmedLength() > 0 && r.lineText(row) != "$"; ++row) {
            lines += (row > 0 ? "|" : "") + std::string(r.buffer.lines()[row].isWrapped ? "+" : "") +
                     r.lineText(row);
        }
        EXPECT_EQ(lines, each.lines);
        EXPECT_EQ(r.buffer.wrappedLineTrimmedLength(0, each.newCols), each.firstLength);
        if (each.firstLength < each.newCols) {
            EXPECT_EQ(r.buffer.lines()[0][each.firstLength], CharData::nullCell);
        }
    }
}

TEST(BufferReflow, TheSavedRowStaysOnTheScreen)
{
    ReflowBuffer wider(10, 3);
    wider.writeLines({U"0123456789ab", U"$"});
    wider.buffer.savedY = 0;
    wider.buffer.resize(20, 3);
    EXPECT_EQ(wider.buffer.savedY, 0);

    ReflowBuffer narrower(10, 3);
    narrower.writeLines({U"0123456789ab", U"$"});
    narrower.buffer.savedY = 2;
    narrower.buffer.resize(3, 3);
    EXPECT_EQ(narrower.buffer.savedY, 2);
    EXPECT_EQ(narrower.cursorLine(), "$");
}

TEST(BufferReflow, TheCursorsGroupIsOnlyCut)
{
    ReflowBuffer r(10);
    r.writeLines({U"0123456789abc"});
    r.buffer.setX(1);
    r.buffer.setY(0); // a shell editing the start of its long command line
    r.buffer.resize(5, 5);
    EXPECT_EQ(r.screen(), "01234|+abc||||");
    r.buffer.resize(20, 5);
    EXPECT_EQ(r.screen(), "01234|+abc||||");
}

TEST(BufferReflow, TheAlternateScreenIsNeverReflowed)
{
    ReflowBuffer r(10, 5, std::nullopt);
    r.writeLines({U"0123456789abc", U"$"});
    r.buffer.resize(20, 5);
    EXPECT_EQ(r.screen(), "0123456789|+abc|$|||");
    r.buffer.resize(4, 5);
    EXPECT_EQ(r.screen(), "0123|+abc|$|||");
}

// A program moved the cursor up: the lines below it hold text.
TEST(BufferReflow, TextBelowTheCursorSurvivesAndTheCursorKeepsItsLine)
{
    struct Case {
        const char *name;
        std::vector<std::u32string> lines;
        int64_t cursorRow;
        int64_t newCols;
        std::string all;
        int64_t y;
    };
    const Case cases[] = {
        {"narrower group above, full screen below",
         {U"0123456789AB", U"x", U"y", U"z"},
         2,
         5,
         "01234|+56789|+AB|x|y|z|",
         2},
        {"narrower group below, blank lines at the bottom",
         {U"p", U"0123456789AB"},
         0,
         5,
         "p|01234|+56789|+AB||",
         0},
        {"narrower group below, the screen moves down",
         {U"a", U"b", U"p", U"0123456789AB"},
         2,
         5,
         "a|b|p|01234|+56789|+AB|",
         1},
        {"narrower group below that cannot fit is cut",
         {U"p", repeated(U"0123456789", 40)},
         0,
         5,
         "p|01234|+01234|+01234|+01234|",
         0},
        {"wider group below: the screen stays",
         {U"a", U"b", U"p", U"0123456789AB"},
         2,
         20,
         "a|b|p|0123456789AB||",
         2},
        {"wider group above, text below",
         {U"0123456789AB", U"x", U"y", U"z"},
         2,
         20,
         "0123456789AB|x|y|z||",
         1},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        ReflowBuffer r(10);
        r.writeLines(each.lines);
        const std::string cursorText = r.lineText(each.cursorRow);
        r.buffer.setY(each.cursorRow);
        r.buffer.resize(each.newCols, 5);
        EXPECT_EQ(r.allLines(), each.all);
        EXPECT_EQ(r.buffer.y(), each.y);
        EXPECT_EQ(r.cursorLine(), cursorText.substr(0, static_cast<size_t>(each.newCols)));
        EXPECT_EQ(r.buffer.lines().count(), r.buffer.yBase() + 5);
    }
}

TEST(BufferReflow, NewLineLengthsAlwaysAdvanceEvenAtOneColumn)
{
    ReflowBuffer r(6);
    r.writeLines({U"中中中中", U"$"});
    ASSERT_EQ(r.allLines(), "中中中|+中|$|||");
    std::vector<BufferLine *> group = {&r.buffer.lines()[0], &r.buffer.lines()[1]};
    EXPECT_EQ(Buffer::reflowNewLineLengths(group, 6, 2), (std::vector<int64_t>{2, 2, 2, 2}));
    EXPECT_EQ(Buffer::reflowNewLineLengths(group, 6, 3), (std::vector<int64_t>{2, 2, 2, 2}));
    // A wide character fits no line of one column; the lengths still end.
    EXPECT_EQ(Buffer::reflowNewLineLengths(group, 6, 1), std::vector<int64_t>(8, 1));

    // A buffer of one column is only cut, never reflowed; back at two columns it reflows again.
    r.buffer.resize(1, 5);
    EXPECT_EQ(r.buffer.lines().count(), 5);
    r.buffer.resize(2, 5);
    r.buffer.resize(6, 5);
    EXPECT_EQ(r.cursorLine(), "$");
}

TEST(BufferReflow, CellsMoveWholeWithPayloadsAndClustersAndImagesStayCounted)
{
    ReflowBuffer r(10);
    CharData link = cellOf(U'L');
    link.payload = TinyAtom{7};
    link.attribute.style = CharacterStyle::bold;
    CharData cluster;
    cluster.setValue(0x400001, 2);
    r.write(U"0123456");
    r.buffer.putCharacter(link);
    r.write(U"89");
    r.buffer.putCharacter(cluster);
    r.write(U"bc");
    r.newLine();
    r.buffer.appendLineImage(std::make_shared<ImageStub>(), 1);
    r.write(U"$");

    r.buffer.resize(4, 5);
    EXPECT_EQ(r.allLines(), "0123|+456L|+89 |+bc|$|");
    EXPECT_EQ(r.buffer.lines()[1][3], link);
    EXPECT_EQ(r.buffer.lines()[2][2], cluster);
    EXPECT_EQ(r.buffer.lines()[2][3].width, 0);
    // The image stays on the line it was anchored on.
    EXPECT_TRUE(r.buffer.lines()[1].images.has_value());
    EXPECT_EQ(r.buffer.linesWithImagesCount(), 1);

    // Wider, the line with the image empties but stays, as a line of its own.
    r.buffer.resize(20, 5);
    EXPECT_EQ(r.allLines(), "0123456L89 bc||$|||");
    EXPECT_EQ(r.buffer.lines()[0][7], link);
    EXPECT_EQ(r.buffer.lines()[0][10], cluster);
    EXPECT_TRUE(r.buffer.lines()[1].images.has_value());
    EXPECT_EQ(r.buffer.linesWithImagesCount(), 1);
}

TEST(BufferReflow, NarrowingAFullScrollbackKeepsTheNewestTextAndBoundsTheRing)
{
    ReflowBuffer r(200, 5, 20);
    std::u32string text;
    for (int i = 0; i < 30; ++i) {
        text += repeated(std::u32string(1, U'a' + static_cast<char32_t>(i % 26)), 200);
    }
    r.writeLines({text, U"$"});
    ASSERT_TRUE(r.buffer.lines().isFull());
    r.buffer.resize(2, 5);
    EXPECT_EQ(r.buffer.lines().count(), r.buffer.lines().maxLength());
    EXPECT_LE(r.buffer.lines().allocatedSlots(), r.buffer.lines().maxLength());
    EXPECT_EQ(r.cursorLine(), "$");
    EXPECT_EQ(r.buffer.y(), 4);
    // Above the cursor: the end of the text, two cells a line.
    EXPECT_EQ(r.lineText(r.buffer.yBase() + 3), "dd");
    EXPECT_TRUE(r.buffer.lines()[r.buffer.yBase() + 3].isWrapped);
    EXPECT_EQ(r.lineText(0), "dd");

    r.buffer.resize(200, 5);
    EXPECT_EQ(r.cursorLine(), "$");
    EXPECT_EQ(r.lineText(r.buffer.yBase() + r.buffer.y() - 1), std::string(48, 'd'));
}

} // namespace
} // namespace kestrix
