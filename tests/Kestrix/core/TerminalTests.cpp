#include "Kestrix/core/Terminal.h"
#include "Kestrix/model/AtomTable.h"
#include "Kestrix/model/TinyAtom.h"
#include "Kestrix/model/Utf8.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::testing;

namespace {
using Cell = std::pair<int64_t, int64_t>;
}

TEST(Terminal, SizesBelowTheMinimumAreRaised)
{
    Terminal terminal(nullptr, optionsOfSize(1, 0));
    EXPECT_EQ(terminal.screenSize(), Cell(2, 1));
    terminal.resizeScreen(1, 0);
    EXPECT_EQ(terminal.screenSize(), Cell(2, 1));
}

TEST(Terminal, ConstructionAppliesTheOptionsToBothBuffers)
{
    Terminal terminal(nullptr, optionsOfSize(120, 40));
    for (Buffer *each : {terminal.normalBuffer.get(), terminal.altBuffer.get()}) {
        EXPECT_EQ(each->cols(), 120);
        EXPECT_EQ(each->rows(), 40);
    }
    EXPECT_EQ(terminal.buffer->scrollTop(), 0);
    EXPECT_EQ(terminal.buffer->scrollBottom(), 39);
    EXPECT_EQ(terminal.buffer->marginLeft(), 0);
    EXPECT_EQ(terminal.buffer->marginRight(), 119);
    EXPECT_TRUE(terminal.wraparound);
    EXPECT_FALSE(terminal.isAlternateBufferActive());
    EXPECT_EQ(terminal.ansiColors.size(), 256u);
}

TEST(Terminal, ResetWithClearingKeepsTheAlternateScreen)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.activateAlternateScreen(std::nullopt);
    terminal.feedString("alt\r\n\n  x");
    ASSERT_TRUE(terminal.isAlternateBufferActive());
    terminal.resetState(true);
    EXPECT_FALSE(terminal.isAlternateBufferActive());
    EXPECT_EQ(terminal.cursorPosition(), Cell(3, 2));
    EXPECT_EQ(terminal.altBuffer->lines()[0].translateToString(true), "alt");
}

TEST(Terminal, ColourNoticesAndPaletteRebuilds)
{
    RecordingDelegate delegate;
    TerminalOptions xterm = optionsOfSize(10, 5);
    xterm.ansi256PaletteStrategy = Ansi256PaletteStrategy::xterm;
    Terminal plain(&delegate, xterm);
    const std::vector<Color> palette = plain.ansiColors;
    plain.setForegroundColor(Color::fromRgb8(1, 2, 3));
    EXPECT_EQ(delegate.foregroundNotices, 1);
    EXPECT_TRUE(delegate.paletteChanges.empty());
    EXPECT_EQ(plain.ansiColors, palette);

    RecordingDelegate labDelegate;
    Terminal lab(&labDelegate, optionsOfSize(10, 5));
    lab.setForegroundColor(Color::fromRgb8(200, 10, 10));
    EXPECT_EQ(labDelegate.foregroundNotices, 1);
    EXPECT_EQ(labDelegate.paletteChanges, std::vector<std::optional<int64_t>>{std::nullopt});

    // A delegate that stores the colour back from its own notice is not told again.
    labDelegate.storeBackgroundBack = true;
    lab.setBackgroundColor(Color::fromRgb8(0, 0, 40));
    EXPECT_EQ(labDelegate.backgroundNotices, 1);
    EXPECT_EQ(lab.backgroundColor(), Color::fromRgb8(0, 0, 40));
}

TEST(Terminal, BasePaletteNeedsSixteenColours)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    const std::vector<Color> before = terminal.installedColors;
    const std::vector<Color> eight(8, Color::fromRgb8(9, 9, 9));
    terminal.setBasePalette(eight);
    EXPECT_EQ(terminal.installedColors, before);
    const std::vector<Color> sixteen(16, Color::fromRgb8(9, 9, 9));
    terminal.setBasePalette(sixteen);
    EXPECT_EQ(terminal.ansiColors[15], Color::fromRgb8(9, 9, 9));
}

TEST(Terminal, FocusReportsUseTheChosenIntroducer)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5));
    terminal.setFocused(false);
    EXPECT_EQ(delegate.sent, "");
    terminal.sendFocus = true;
    terminal.setFocused(false);
    terminal.cc.send8bit = true;
    terminal.setFocused(true);
    EXPECT_EQ(delegate.sent, "\x1b[O\x9bI");
}

TEST(Terminal, GraphemeClustersGetCodesFromTheFirstClusterCode)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    EXPECT_EQ(terminal.cellCode("A"), 'A');
    EXPECT_EQ(terminal.cellCode("\r\n"), 10);
    EXPECT_EQ(terminal.cellCode("\u00e9"), 0xE9);
    EXPECT_EQ(terminal.cellCode("e\u0301"), 0x400001);
    EXPECT_EQ(terminal.cellCode("\U0001F600"), 0x400002);
    EXPECT_EQ(terminal.cellCode("e\u0301"), 0x400001);
    EXPECT_EQ(terminal.stringForCellCode(0x400001), "e\u0301");
    EXPECT_EQ(terminal.stringForCellCode(0xD800), " ");
    EXPECT_EQ(terminal.stringForCellCode(0x400999), " ");
    EXPECT_EQ(terminal.stringForCellCode(-5), " ");
    EXPECT_EQ(terminal.stringForCellCode(0x41), "A");
}

TEST(Terminal, FullClusterTableFallsBackToTheFirstScalar)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    std::string cluster = "e\u0301";
    for (size_t i = 0; i < Terminal::maximumClusterCount; ++i) {
        cluster[0] = static_cast<char>('a' + i % 26);
        std::string text = cluster + std::to_string(i);
        terminal.cellCode(text);
    }
    EXPECT_EQ(terminal.internedClusterCount(), Terminal::maximumClusterCount);
    EXPECT_EQ(terminal.cellCode("o\u0308"), 'o');
    EXPECT_EQ(terminal.internedClusterCount(), Terminal::maximumClusterCount);
}

namespace {

// A cluster of its own for each n below 26 * 112: a letter and one combining mark.
std::string distinctCluster(int n)
{
    std::string text(1, static_cast<char>('a' + n % 26));
    utf8::append(text, 0x300 + static_cast<uint32_t>(n / 26 % 112));
    return text;
}

std::string distinctClusters(int first, int count)
{
    std::string text;
    for (int n = first; n < first + count; ++n) {
        text += distinctCluster(n);
    }
    return text;
}

// Every line of both buffers, as cell texts and widths, from the oldest scrollback line on.
std::vector<std::string> everyLine(Terminal &terminal)
{
    std::vector<std::string> lines;
    for (Buffer *each : {terminal.normalBuffer.get(), terminal.altBuffer.get()}) {
        for (int64_t row = 0; row < each->lines().count(); ++row) {
            const BufferLine &line = each->lines()[row];
            std::string text;
            for (int64_t col = 0; col < line.dataSize(); ++col) {
                text += line[col].code == 0 ? std::string(" ") : terminal.stringForCellCode(line[col].code);
                text += std::to_string(line[col].width);
            }
            lines.push_back(text);
        }
        lines.emplace_back("--");
    }
    return lines;
}

// A terminal with a small cluster table next to one whose table never fills, fed the same bytes.
struct ClusterTwins {
    ClusterTwins(int64_t cols, int64_t rows, int64_t scrollback, size_t maximumClusters)
        : small(nullptr, optionsOfSize(cols, rows, scrollback)),
          reference(nullptr, optionsOfSize(cols, rows, scrollback))
    {
        small.setMaximumClusterCount(maximumClusters);
    }
    void feed(const std::string &text)
    {
        small.feedString(text);
        reference.feedString(text);
    }
    Terminal small;
    Terminal reference;
};

} // namespace

TEST(Terminal, PrintingReclaimsClustersThatLeftTheScreenAndScrollbackAndKeepsTheRest)
{
    // Ten lines in the ring; the table holds two lines' worth of clusters.
    ClusterTwins twins(12, 4, 6, 20);
    twins.feed(distinctClusters(0, 9) + "\r\n" + distinctClusters(9, 10) + "\r\n");
    EXPECT_EQ(twins.small.internedClusterCount(), 19u);
    for (int i = 0; i < 8; ++i) {
        twins.feed("x\r\n");
    }
    // The first line has left the ring. The next line's first cluster fills the table and stays
    // among the cells being collected while the second one makes room: both keep their text.
    twins.feed("\u00e9" + distinctClusters(19, 10));
    EXPECT_EQ(everyLine(twins.small), everyLine(twins.reference));
    EXPECT_EQ(rowText(twins.small, 3), "\u00e9" + distinctClusters(19, 10));
    EXPECT_EQ(twins.small.internedClusterCount(), 20u);
    // Once more with the second line: clusters freed before are handed out again.
    for (int i = 0; i < 9; ++i) {
        twins.feed("\r\ny");
    }
    twins.feed("\r\n" + distinctClusters(29, 10) + "\r\n" + distinctClusters(29, 3));
    EXPECT_EQ(everyLine(twins.small), everyLine(twins.reference));
    EXPECT_LT(twins.small.lastCharIndex(), Terminal::firstClusterCode + 21);
}

TEST(Terminal, EmojiSequencesKeepTheirTextAfterTheirCodesWereReclaimedAndHandedOut)
{
    // Six lines in the ring; between two family sequences the clusters of more lines than that
    // pass, so the family's code is freed and handed to another cluster in between.
    ClusterTwins twins(10, 4, 2, 64);
    const std::string family = "\U0001F468\u200d\U0001F469\u200d\U0001F467";
    int next = 0;
    for (int round = 0; round < 4; ++round) {
        twins.feed(family + "\r\n");
        for (int line = 0; line < 7; ++line) {
            twins.feed(distinctClusters(next, 8) + "\r\n");
            next += 8;
        }
    }
    twins.feed(family);
    EXPECT_EQ(everyLine(twins.small), everyLine(twins.reference));
}

TEST(Terminal, ClustersStillInUseAreNeverReclaimedSoNewOnesShowTheirFirstScalar)
{
    Terminal terminal(nullptr, optionsOfSize(10, 4, 6));
    terminal.setMaximumClusterCount(20);
    terminal.feedString(distinctClusters(0, 10) + "\r\n" + distinctClusters(10, 10) + "\r\n" +
                        distinctClusters(20, 10));
    EXPECT_EQ(rowText(terminal, 0), distinctClusters(0, 10));
    EXPECT_EQ(rowText(terminal, 1), distinctClusters(10, 10));
    EXPECT_EQ(rowText(terminal, 2), "uvwxyzabcd");
    // A cluster already held still gets its code.
    terminal.feedString("\r\n" + distinctClusters(5, 1));
    EXPECT_EQ(rowText(terminal, 3), distinctClusters(5, 1));
}

// Random printing, joining across reads, editing, resizing (with reflow) and screen switches, with a
// table that fills again and again but always has room for every cluster in the buffers: the small
// table's terminal must hold exactly the text of one whose table never fills.
TEST(Terminal, ReclaimingClustersNeverChangesTheTextOfAnyCell)
{
    constexpr int64_t scrollback = 8;
    constexpr int64_t widest = 14;
    constexpr int64_t tallest = 6;
    // Room for every cell of both buffers twice over.
    constexpr size_t maximumClusters = 2 * (widest * (tallest + scrollback) + widest * tallest + widest + 64);
    ClusterTwins twins(12, 5, scrollback, maximumClusters);
    std::mt19937 random(11);
    int next = 0;
    for (int step = 0; step < 3000; ++step) {
        std::string bytes;
        switch (random() % 16) {
        case 0:
            bytes = "\r\n";
            break;
        case 1:
            // A mark for the cell printed last, in a read of its own.
            utf8::append(bytes, 0x300 + random() % 112);
            break;
        case 2:
            bytes = "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb\xe4\xb8\xad";
            break;
        case 3:
            bytes = random() % 2 == 0 ? "\x1b[?1049h" : "\x1b[?1049l";
            break;
        case 4:
            twins.small.resizeScreen(8 + random() % (widest - 7), 3 + random() % (tallest - 2));
            twins.reference.resizeScreen(twins.small.screenSize().first, twins.small.screenSize().second);
            break;
        case 5:
            bytes = random() % 3 == 0 ? "\x1b[2J\x1b[3J" : random() % 2 == 0 ? "\x1b[2@" : "\x1b[3P";
            break;
        case 6:
            bytes = "\x1b[" + std::to_string(1 + random() % 6) + ";" + std::to_string(1 + random() % 14) + "H";
            break;
        default:
            for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) {
                bytes += distinctCluster(next++ % (26 * 112));
                if (random() % 4 == 0) {
                    utf8::append(bytes, 0x300 + random() % 112);
                }
            }
            break;
        }
        twins.feed(bytes);
        ASSERT_EQ(everyLine(twins.small), everyLine(twins.reference)) << "step " << step;
    }
    EXPECT_GT(next, static_cast<int>(2 * maximumClusters));
}

TEST(Terminal, TitlesAreBoundedAtACharacterBoundary)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5));
    std::string title(4095, 'a');
    title += "\u00e9\u00e9";
    terminal.feedString("\x1b]0;" + title + "\x07");
    EXPECT_EQ(terminal.terminalTitle, std::string(4095, 'a'));
    ASSERT_EQ(delegate.titles.size(), 1u);
    terminal.feedString("\x1b]2;\xff\xfe\x07");
    EXPECT_EQ(terminal.terminalTitle, "");
}

TEST(Terminal, AHugeTitleKeepsNoMoreMemoryThanItsLimit)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("\x1b]2;" + std::string(1 << 20, 'a') + "\x07");
    terminal.feedString("\x1b]1;" + std::string(1 << 20, 'b') + "\x07");
    EXPECT_EQ(terminal.terminalTitle.size(), Terminal::maximumTitleLength);
    EXPECT_LE(terminal.terminalTitle.capacity(), 2 * Terminal::maximumTitleLength);
    EXPECT_LE(terminal.iconTitle.capacity(), 2 * Terminal::maximumTitleLength);
}

TEST(Terminal, AtomPruningKeepsAtomsAnotherTerminalUses)
{
    Terminal first(nullptr, optionsOfSize(10, 5));
    Terminal second(nullptr, optionsOfSize(10, 5));
    const TinyAtom unused = *TinyAtom::create("prune-test-unused");
    const TinyAtom usedElsewhere = *TinyAtom::create("prune-test-used-elsewhere");
    const TinyAtom later = *TinyAtom::create("prune-test-later");
    CharData cell;
    cell.code = 'x';
    cell.payload = usedElsewhere;
    second.buffer->lines()[0].setCell(0, cell);

    first.pruneUnusedAtoms();
    EXPECT_FALSE(TinyAtom::lookup(unused.code).has_value());
    EXPECT_TRUE(TinyAtom::lookup(usedElsewhere.code).has_value());
    EXPECT_TRUE(TinyAtom::lookup(later.code).has_value());
}

TEST(Terminal, DefaultDelegateStoresColoursOnceAndAnswersWithThem)
{
    // Counts the notices but keeps the default behaviour of storing the colour back.
    struct CountingDelegate : TerminalDelegate {
        void terminalCursorColorDidChange(Terminal &source, std::optional<Color> color) override
        {
            ++notices;
            TerminalDelegate::terminalCursorColorDidChange(source, color);
        }
        int notices = 0;
    } delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5));
    terminal.setCursorColor(Color::fromRgb8(1, 2, 3));
    EXPECT_EQ(delegate.notices, 1);
    EXPECT_EQ(terminal.cursorColor(), Color::fromRgb8(1, 2, 3));
    terminal.feedString("\x1b]112\x07");
    EXPECT_EQ(terminal.cursorColor(), std::nullopt);
    EXPECT_EQ(delegate.notices, 2);

    terminal.setForegroundColor(Color::fromRgb8(4, 5, 6));
    EXPECT_EQ(delegate.terminalCurrentColors(terminal).foreground, Color::fromRgb8(4, 5, 6));
}

TEST(Terminal, UnknownSequencesAreLoggedOnlyWhenAsked)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    ::testing::internal::CaptureStdout();
    terminal.feedString("\x1b[5$w\x1b]4242;x\x07");
    terminal.silentLog = false;
    terminal.feedString("\x1b[1;2$w\x1b#9\x1b]4242;x\x07\x1b_Zq\x1b\\\x19");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Info: Kestrix: Unknown CSI Code (collect=[36] code=w pars=[1, 2])\n"
              "Info: Kestrix: Unknown ESC Code: ESC + 9 txt=[35]\n"
              "Info: Kestrix: Unknown OSC code: 4242\n"
              "Info: Kestrix: Unknown APC code: Z\n"
              "Info: Kestrix: Parsing error, state: kestrix::ParsingState\n");
}
